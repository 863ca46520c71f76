// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Writes a file so that a failure never destroys what was there before, wherever
// that can be done without refusing a save the file system allows:
// - The target is opened first, through the system's own path lookup: a symbolic link
//   is followed (a dangling one creates the file it names, a loop fails with ELOOP), and
//   a file that may not be written is refused before anything changes.
// - The new content goes to a temporary file beside the (link-resolved) target, is
//   flushed to the device and only then renamed over it, carrying the old file's owner
//   and mode. The link itself is left as it is.
// - Where no temporary file can be made beside the target (a folder the user may not
//   write) or the replacement could not keep the old owner and mode (another user's
//   file), an existing target is truncated and written in place instead, as a plain
//   create-or-truncate would: the save goes through, but a failure part-way leaves
//   what was written. A full disk never takes that road: the old file is kept.
// - A target that exists but is not a regular file (a device such as /dev/null) is
//   written in place, as there is nothing there to protect.
// A file this writer created (the target of a dangling link) is removed again when
// the save fails. Known limit: replacing a file breaks its other hard links.
// Qt-free; one writer is used by one thread.
#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

#include "base/UniqueFd.h"
#include "storage/FileCalls.h"

namespace veldora::storage {

// Why a SafeFileWriter step failed; the callers turn it into their own exception.
struct FileFailure {
    enum class Step {
        Create,  // the target cannot be written or the temporary file cannot be made
        Write,   // writing or flushing the content failed
        Replace, // the complete file could not be renamed over the target
    };
    Step step;
    int err; // errno of the failed call; 0 when a write stored fewer bytes than asked
};

class SafeFileWriter {
  public:
    // Checks that the target may be written and makes the temporary file, or truncates
    // the target when it is written in place. Throws FileFailure (Create).
    explicit SafeFileWriter(const std::string& path, const FileCalls& calls = FileCalls::system());
    // Removes the temporary file, and a target this writer created, unless commit()
    // succeeded.
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Appends `size` bytes. Throws FileFailure (Write).
    void write(const void* data, size_t size);

    // Flushes, closes and renames the file into place. Throws FileFailure (Write for a
    // failed flush or close, Replace for a failed rename).
    void commit();

    // True when the content goes straight into the target (no temporary file).
    bool inPlace() const { return temp_.empty(); }

  private:
    // Makes the temporary file; 0, or the errno that made it impossible.
    int makeTemporary(const struct stat* existing);
    void removeCreatedTarget();

    FileCalls calls_;
    std::string target_;      // the file that is replaced (a symbolic link resolved)
    std::string temp_;        // empty when writing in place
    base::UniqueFd fd_;       // the file being written
    base::UniqueFd targetFd_; // the existing target, open for writing, kept for the fallback
    bool created_ = false;    // the target did not exist: this writer made it (a dangling link)
    dev_t createdDev_ = 0;
    ino_t createdIno_ = 0;
    bool committed_ = false;
    mode_t setIdMode_ = 0; // the replaced file's mode, when it has set-id bits to restore
};

} // namespace veldora::storage
