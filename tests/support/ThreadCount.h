#pragma once
// How many threads this process has now, from /proc: tests that must see every thread
// they started end again compare it before and after.
#include <cstddef>
#include <filesystem>
#include <iterator>

namespace testsupport {

inline size_t threadCount() {
    namespace fs = std::filesystem;
    return static_cast<size_t>(
        std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

} // namespace testsupport
