#include "app/ExecutableDirectory.h"

#include <unistd.h>

#include <vector>

std::string executableDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(length));
            const size_t slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2); // the path may have been cut: try a larger buffer
    }
}
