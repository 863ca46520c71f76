#pragma once
// Writes a file so that a failure never destroys what was there before: the new
// content goes to a temporary file in the same directory, is flushed to the device,
// and only then renamed over the target. An existing file keeps its permissions and
// (where allowed) its owner; a symbolic link is followed and the file it names is
// replaced. A target that exists but is not a regular file (a device such as
// /dev/null) is written in place, as there is nothing there to protect.
// Known limit: replacing a file breaks its other hard links.
// Qt-free; one writer is used by one thread.
#include <cstddef>
#include <string>

#include "storage/FileCalls.h"
#include "storage/UniqueFd.h"

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
    // Checks that an existing target may be written and creates the temporary file.
    // Throws FileFailure (Create).
    explicit SafeFileWriter(const std::string& path, const FileCalls& calls = FileCalls::system());
    // Removes the temporary file unless commit() succeeded.
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Appends `size` bytes. Throws FileFailure (Write).
    void write(const void* data, size_t size);

    // Flushes, closes and renames the file into place. Throws FileFailure (Write for a
    // failed flush or close, Replace for a failed rename).
    void commit();

  private:
    FileCalls calls_;
    std::string target_; // the file that is replaced (a symbolic link resolved)
    std::string temp_;   // empty when writing in place
    UniqueFd fd_;
    bool committed_ = false;
};
