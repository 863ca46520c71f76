// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/SafeFileWriter.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "base/FileOpen.h"
#include "storage/PathParts.h"

namespace veldora::storage {

namespace {

[[noreturn]] void fail(FileFailure::Step step, int err) {
    throw FileFailure{step, err};
}

// The file an existing symbolic link leads to, or the path itself when it is no link.
// Empty, with errno set, when the link cannot be resolved.
std::string resolveLink(const std::string& path) {
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return {};
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
    base::UniqueFd fd(base::openRetrying(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

// Writing in place truncates the old file first: where the disk is full the new
// content would not fit either, so the old file is kept and the save refused.
bool diskFull(int err) {
    return err == ENOSPC || err == EDQUOT;
}

} // namespace

SafeFileWriter::SafeFileWriter(const std::string& path, const FileCalls& calls) : calls_(calls) {
    if (!base::isUsablePath(path))
        fail(FileFailure::Step::Create, ENOENT);

    // The system's own lookup vets the target as a plain open would: links followed or
    // found looping, write permission, read-only mounts, protected links in sticky
    // folders. Non-blocking, so that a pipe without a reader cannot hang the program.
    const int openFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    targetFd_ = base::UniqueFd(base::openRetrying(path.c_str(), openFlags));
    if (!targetFd_.valid()) {
        if (errno != ENOENT)
            fail(FileFailure::Step::Create, errno);
        struct stat link = {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            // A dangling link: the file it names is created, as an open for writing does.
            targetFd_ = base::UniqueFd(base::openRetrying(path.c_str(), openFlags | O_CREAT, 0666));
            if (!targetFd_.valid())
                fail(FileFailure::Step::Create, errno);
            created_ = true;
        }
    }

    struct stat existing = {};
    if (targetFd_.valid()) {
        if (::fstat(targetFd_.get(), &existing) != 0)
            fail(FileFailure::Step::Create, errno);
        if (!S_ISREG(existing.st_mode)) {
            fd_ = std::move(targetFd_);
            return;
        }
        createdDev_ = existing.st_dev;
        createdIno_ = existing.st_ino;
        target_ = resolveLink(path);
        if (target_.empty()) {
            const int err = errno;
            removeCreatedTarget();
            fail(FileFailure::Step::Create, err);
        }
    } else {
        target_ = path; // a new file; a missing folder is reported by the temporary file
    }

    // A file this writer just created has nothing of another's to keep.
    const int err = makeTemporary(targetFd_.valid() && !created_ ? &existing : nullptr);
    if (err == 0) {
        targetFd_.reset();
        return;
    }
    if (!targetFd_.valid() || diskFull(err)) {
        removeCreatedTarget();
        fail(FileFailure::Step::Create, err);
    }
    if (::ftruncate(targetFd_.get(), 0) != 0)
        fail(FileFailure::Step::Create, errno);
    fd_ = std::move(targetFd_);
}

int SafeFileWriter::makeTemporary(const struct stat* existing) {
    // Short enough to stay within the file-name limit whatever the target's name.
    const std::string dir = pathparts::directoryOf(target_);
    const std::string base = pathparts::nameOf(target_).substr(0, 100);
    for (int attempt = 0; attempt < 100 && !fd_.valid(); ++attempt) {
        temp_ = dir;
        temp_.append("/.").append(base).append(".tmp").append(uniqueSuffix());
        // 0666 lets the umask decide a new file's permissions, as for any created file.
        fd_ = base::UniqueFd(
            base::openRetrying(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
        if (!fd_.valid() && errno != EEXIST) {
            const int err = errno;
            temp_.clear();
            return err;
        }
    }
    if (!fd_.valid()) {
        temp_.clear();
        return EEXIST;
    }
    if (existing != nullptr) {
        // Owner first: changing it may clear set-id bits that the mode then restores.
        // Only root may give a file away, so another user's file (or a group this user
        // is not in, or a file system without owners) cannot be replaced as it was: the
        // caller writes it in place instead, which keeps its owner, mode and links.
        if (::fchown(fd_.get(), existing->st_uid, existing->st_gid) != 0 ||
            ::fchmod(fd_.get(), existing->st_mode & 07777) != 0) {
            const int err = errno;
            fd_.reset();
            ::unlink(temp_.c_str());
            temp_.clear();
            return err;
        }
        if ((existing->st_mode & (S_ISUID | S_ISGID)) != 0)
            setIdMode_ = existing->st_mode & 07777;
    }
    return 0;
}

void SafeFileWriter::removeCreatedTarget() {
    if (!created_)
        return;
    created_ = false;
    // Only the very file made here: someone may have put another in its place since.
    struct stat st = {};
    if (!target_.empty() && ::lstat(target_.c_str(), &st) == 0 && st.st_dev == createdDev_ &&
        st.st_ino == createdIno_)
        ::unlink(target_.c_str());
}

SafeFileWriter::~SafeFileWriter() {
    fd_.reset();
    targetFd_.reset();
    if (committed_)
        return;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    removeCreatedTarget();
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
    // A write by a user without CAP_FSETID clears the set-id bits: set them again.
    if (!temp_.empty() && setIdMode_ != 0 && ::fchmod(fd_.get(), setIdMode_) != 0)
        fail(FileFailure::Step::Write, errno);
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

} // namespace veldora::storage
