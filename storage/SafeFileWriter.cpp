#include "storage/SafeFileWriter.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "storage/PathParts.h"

namespace {

[[noreturn]] void fail(FileFailure::Step step, int err) {
    throw FileFailure{step, err};
}

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The file a symbolic link leads to, or the path itself.
std::string resolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path; // a dangling link: the link itself is replaced
    return resolved;
}

std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long mix = static_cast<unsigned long>(now.tv_nsec) ^ (counter.fetch_add(1) * 2654435761u);
    return std::to_string(::getpid()) + "-" + std::to_string(mix % 1000000007u);
}

// Best effort: makes the rename itself durable.
void syncDirectory(const std::string& dir) {
    UniqueFd fd(openRetrying(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

} // namespace

SafeFileWriter::SafeFileWriter(const std::string& path, const FileCalls& calls)
    : calls_(calls), target_(resolveLink(path)) {
    if (path.empty() || path.find('\0') != std::string::npos)
        fail(FileFailure::Step::Create, ENOENT);

    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        fail(FileFailure::Step::Create, EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        fd_ = UniqueFd(openRetrying(target_.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd_.valid())
            fail(FileFailure::Step::Create, errno);
        return;
    }
    if (exists) {
        // A file that may not be written (read-only, immutable, on a read-only mount)
        // must not be replaced behind its back.
        UniqueFd probe(openRetrying(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
        if (!probe.valid())
            fail(FileFailure::Step::Create, errno);
    }

    // Short enough to stay within the file-name limit whatever the target's name.
    const std::string dir = pathparts::directoryOf(target_);
    const std::string base = pathparts::nameOf(target_).substr(0, 100);
    for (int attempt = 0; attempt < 100 && !fd_.valid(); ++attempt) {
        temp_ = dir + "/." + base + ".tmp" + uniqueSuffix();
        // 0666 lets the umask decide a new file's permissions, as for any created file.
        fd_ = UniqueFd(openRetrying(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
        if (!fd_.valid() && errno != EEXIST) {
            const int err = errno;
            temp_.clear();
            fail(FileFailure::Step::Create, err);
        }
    }
    if (!fd_.valid()) {
        temp_.clear();
        fail(FileFailure::Step::Create, EEXIST);
    }
    if (exists) {
        // Owner first: changing it may clear set-id bits that the mode then restores.
        // An ordinary user may not give a file away; the file is still written, but a
        // copy that stays ours must not carry the other owner's set-id bits.
        mode_t mode = existing.st_mode & 07777;
        if (::fchown(fd_.get(), existing.st_uid, existing.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        if (::fchmod(fd_.get(), mode) != 0) {
            // The new file keeps the permissions the umask gave it; its content is what counts.
        }
    }
}

SafeFileWriter::~SafeFileWriter() {
    fd_.reset();
    if (!committed_ && !temp_.empty())
        ::unlink(temp_.c_str());
}

void SafeFileWriter::write(const void* data, size_t size) {
    ssize_t written;
    do {
        written = calls_.write(fd_.get(), data, size);
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        fail(FileFailure::Step::Write, errno);
    if (static_cast<size_t>(written) < size)
        fail(FileFailure::Step::Write, 0);
}

void SafeFileWriter::commit() {
    if (!temp_.empty() && calls_.fsync(fd_.get()) != 0)
        fail(FileFailure::Step::Write, errno);
    if (const int err = fd_.close(); err != 0)
        fail(FileFailure::Step::Write, err);
    if (temp_.empty()) {
        committed_ = true;
        return;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        fail(FileFailure::Step::Replace, errno);
    committed_ = true;
    syncDirectory(pathparts::directoryOf(target_));
}
