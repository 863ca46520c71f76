#include "storage/TraceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "storage/IoError.h"
#include "storage/SafeFileWriter.h"
#include "storage/UniqueFd.h"

namespace {

constexpr size_t kHalfBytes = kTraceFileBytes / 2;

void putLe32(uint8_t* out, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v >> 16);
    out[3] = static_cast<uint8_t>(v >> 24);
}

int32_t getLe32(const uint8_t* in) {
    return static_cast<int32_t>(static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
                                static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24);
}

// An empty name would otherwise mean the standard input or output.
void checkName(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        throw ioerror::error(ioerror::kInvalidFilename);
}

} // namespace

TraceFileBytes encodeTraceFile(const TraceArray& x, const TraceArray& y) {
    TraceFileBytes bytes{};
    for (int i = 0; i < kStoredPoints; ++i) {
        putLe32(&bytes[4 * i], x[i]);
        putLe32(&bytes[kHalfBytes + 4 * i], y[i]);
    }
    return bytes;
}

void decodeTraceFile(const TraceFileBytes& bytes, TraceArray& x, TraceArray& y) {
    for (int i = 0; i < kStoredPoints; ++i) {
        x[i] = getLe32(&bytes[4 * i]);
        y[i] = getLe32(&bytes[kHalfBytes + 4 * i]);
    }
}

void writeTraceFile(const std::string& path, const TraceArray& x, const TraceArray& y,
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

void readTraceFile(const std::string& path, TraceArray& x, TraceArray& y) {
    checkName(path);
    // Non-blocking, so that a pipe or terminal named by mistake cannot hang the
    // program; it has no effect on regular files.
    UniqueFd fd;
    do {
        fd = UniqueFd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    } while (!fd.valid() && errno == EINTR);
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
