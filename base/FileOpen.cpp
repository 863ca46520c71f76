#include "base/FileOpen.h"

#include <cerrno>
#include <fcntl.h>

namespace veldora::base {

bool isUsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

int openRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace veldora::base
