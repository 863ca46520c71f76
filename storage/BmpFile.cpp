// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/BmpFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/Errors.h"
#include "base/FileOpen.h"
#include "base/UniqueFd.h"
#include "storage/BmpHeader.h"
#include "storage/SafeFileWriter.h"

namespace veldora::storage {

namespace {

// A 32-bit picture of the largest size the decoder accepts, with room for headers.
constexpr size_t kMaxFileBytes = 4 * bmp::kMaxPixels + (1u << 20);

} // namespace

display::Bitmap readBmpFile(const std::string& path) {
    const auto cannotOpen = [&] { return base::EFOpenError("Cannot open file " + path); };
    if (!base::isUsablePath(path))
        throw cannotOpen();
    // Non-blocking, so that a pipe named by mistake cannot hang the program.
    const base::UniqueFd fd(base::openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st = {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw cannotOpen();

    std::vector<unsigned char> bytes;
    if (S_ISREG(st.st_mode))
        bytes.reserve(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), kMaxFileBytes) + 1);
    unsigned char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw cannotOpen();
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > kMaxFileBytes)
            bmp::invalid();
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return decodeBmp(bytes.data(), bytes.size());
}

void writeBmpFile(const std::string& path, const display::Bitmap& picture, const FileCalls& calls) {
    const std::string content = encodeBmp(picture);
    try {
        SafeFileWriter file(path, calls);
        file.write(content.data(), content.size());
        file.commit();
    } catch (const FileFailure& failure) {
        if (failure.step == FileFailure::Step::Write)
            throw base::EWriteError("Stream write error");
        throw base::EFCreateError("Cannot create file " + path);
    }
}

} // namespace veldora::storage
