// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/IoError.h"

#include <cerrno>
#include <sys/stat.h>

#include "storage/PathParts.h"

namespace veldora::storage {

namespace ioerror {

std::string messageFor(int code) {
    switch (code) {
    case kFileNotFound:
        return "File not found";
    case kInvalidFilename:
        return "Invalid filename";
    case kTooManyOpenFiles:
        return "Too many open files";
    case kAccessDenied:
        return "File access denied";
    case kReadBeyondEnd:
        return "Read beyond end of file";
    case kDiskFull:
        return "Disk full";
    case kInvalidNumericInput:
        return "Invalid numeric input";
    default:
        return "I/O error " + std::to_string(code);
    }
}

base::EInOutError error(int code) {
    return base::EInOutError(code, messageFor(code));
}

bool parentDirectoryExists(const std::string& path) {
    struct stat st = {};
    return ::stat(pathparts::directoryOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int codeFromErrno(int err, const std::string& path) {
    switch (err) {
    case ENOENT:
        // Linux says ENOENT for a missing directory as well; Windows tells them apart.
        return parentDirectoryExists(path) ? kFileNotFound : kInvalidFilename;
    case ENOTDIR:
    case ENAMETOOLONG:
        return kInvalidFilename;
    case EMFILE:
    case ENFILE:
        return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return kAccessDenied;
    case EBADF:
        return kInvalidHandle;
    case ENOMEM:
        return 8;
    case EXDEV:
        return 17;
    case ENXIO:
    case ENODEV:
        return 21;
    case ETXTBSY:
        return 32;
    case ENOSYS:
    case EOPNOTSUPP:
        return 50;
    case ESTALE:
    case ENOTCONN:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ECONNRESET:
        return 59;
    case EEXIST:
        return 80;
    case EINVAL:
        return 87;
    case EPIPE:
        return 109;
    case ENOSPC:
    case EDQUOT:
        return 112;
    case ENOTEMPTY:
        return 145;
    case EBUSY:
        return 170;
    case EFBIG:
        return 223;
    case EAGAIN:
        return 232;
    case EINTR:
        return 995;
    case EIO:
        return 1117;
    case ELOOP:
        return 1921;
    default:
        return 31;
    }
}

base::EInOutError fromErrno(int err, const std::string& path) {
    return error(codeFromErrno(err, path));
}

} // namespace ioerror

} // namespace veldora::storage
