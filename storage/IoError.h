// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Checked file input and output: the numeric codes a trace-file failure carries and
// the message shown for each, plus the translation of this platform's errno values
// into those (Windows-numbered) codes. Qt-free; any thread.
#include <string>

#include "base/Errors.h"

namespace veldora::storage {

namespace ioerror {

constexpr int kFileNotFound = 2;
constexpr int kInvalidFilename = 3; // the path (its directory) was not found
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kInvalidHandle = 6;
constexpr int kReadBeyondEnd = 100; // a read returned fewer bytes than asked
constexpr int kDiskFull = 101;      // a write stored fewer bytes than asked
constexpr int kInvalidNumericInput = 106;

// "File not found", ..., or "I/O error <code>" for a code without a text of its own.
std::string messageFor(int code);

// The exception for a code, with its message.
base::EInOutError error(int code);

// Maps errno to the nearest Windows error code:
//   ENOENT                       2  (3 when the path's directory does not exist)
//   ENOTDIR, ENAMETOOLONG        3
//   EMFILE, ENFILE               4
//   EACCES, EPERM, EROFS, EISDIR 5  (Windows refuses a directory as a file with 5)
//   EBADF                        6
//   ENOMEM                       8
//   EXDEV                       17
//   ENXIO, ENODEV               21  (device not ready)
//   ETXTBSY                     32  (sharing violation)
//   ENOSYS, EOPNOTSUPP          50  (not supported)
//   ESTALE, ENOTCONN, ENETDOWN,
//   ENETUNREACH, EHOSTDOWN,
//   EHOSTUNREACH, ECONNRESET    59  (unexpected network error)
//   EEXIST                      80
//   EINVAL                      87  (invalid parameter)
//   EPIPE                      109  (broken pipe)
//   ENOSPC, EDQUOT             112  (disk full)
//   ENOTEMPTY                  145
//   EBUSY                      170
//   EFBIG                      223  (file too large)
//   EAGAIN                     232  (no data: a pipe or device with nothing to read)
//   EINTR                      995  (operation aborted)
//   EIO                       1117  (I/O device error)
//   ELOOP                     1921  (the name cannot be resolved: symbolic link loop)
//   anything else               31  (a device is not functioning)
// `path` is the path the failing call was given; it only matters for ENOENT.
int codeFromErrno(int err, const std::string& path);

// error(codeFromErrno(err, path)).
base::EInOutError fromErrno(int err, const std::string& path);

// True when the directory part of `path` exists and is a directory ("." for a bare
// name). Used to tell a missing file from a missing directory.
bool parentDirectoryExists(const std::string& path);

} // namespace ioerror

} // namespace veldora::storage
