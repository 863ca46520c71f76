// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/TraceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "base/FileOpen.h"
#include "base/LittleEndian.h"
#include "base/UniqueFd.h"
#include "storage/IoError.h"
#include "storage/SafeFileWriter.h"

namespace veldora::storage {

namespace {

constexpr size_t kHalfBytes = kTraceFileBytes / 2;

// An empty name would otherwise mean the standard input or output.
void checkName(const std::string& path) {
    if (!base::isUsablePath(path))
        throw ioerror::error(ioerror::kInvalidFilename);
}

} // namespace

TraceFileBytes encodeTraceFile(const display::TraceArray& x, const display::TraceArray& y) {
    TraceFileBytes bytes{};
    for (int i = 0; i < display::kStoredPoints; ++i) {
        base::writeLe32(&bytes[4 * i], static_cast<uint32_t>(x[i]));
        base::writeLe32(&bytes[kHalfBytes + 4 * i], static_cast<uint32_t>(y[i]));
    }
    return bytes;
}

void decodeTraceFile(const TraceFileBytes& bytes, display::TraceArray& x, display::TraceArray& y) {
    for (int i = 0; i < display::kStoredPoints; ++i) {
        x[i] = static_cast<int32_t>(base::readLe32(&bytes[4 * i]));
        y[i] = static_cast<int32_t>(base::readLe32(&bytes[kHalfBytes + 4 * i]));
    }
}

void writeTraceFile(const std::string& path, const display::TraceArray& x, const display::TraceArray& y,
                    const FileCalls& calls) {
    checkName(path);
    const TraceFileBytes bytes = encodeTraceFile(x, y);
    try {
        SafeFileWriter file(path, calls);
        file.write(bytes.data(), kHalfBytes);
        file.write(bytes.data() + kHalfBytes, kHalfBytes);
        file.commit();
    } catch (const FileFailure& failure) {
        if (failure.err == 0)
            throw ioerror::error(ioerror::kDiskFull);
        throw ioerror::fromErrno(failure.err, path);
    }
}

void readTraceFile(const std::string& path, display::TraceArray& x, display::TraceArray& y) {
    checkName(path);
    // For reading only: a reference trace kept read-only, or on read-only media, loads.
    // Non-blocking, so that a pipe or terminal named by mistake cannot hang the
    // program; it has no effect on regular files.
    base::UniqueFd fd(base::openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        throw ioerror::fromErrno(errno, path);

    // Everything is read before anything is assigned, so a short file changes nothing.
    TraceFileBytes bytes{};
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ioerror::fromErrno(errno, path);
        if (n == 0)
            throw ioerror::error(ioerror::kReadBeyondEnd);
        got += static_cast<size_t>(n);
    }
    if (const int err = fd.close(); err != 0)
        throw ioerror::fromErrno(err, path);
    decodeTraceFile(bytes, x, y);
}

} // namespace veldora::storage
