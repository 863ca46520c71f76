// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How many threads this process has now, from /proc: tests that must see every thread
// they started end again compare it before and after.
#include "tests/support/WaitUntil.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include <unistd.h>

namespace testsupport {

inline size_t threadCount() {
    namespace fs = std::filesystem;
    return static_cast<size_t>(
        std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

// A call on a thread of its own (std::async) that a thread count may follow: the kernel
// still lists a thread in /proc a moment after join has returned for it, so settle()
// waits for the call and then for its thread to leave /proc.
template <class Result> struct OwnThreadCall {
    std::future<Result> result;
    std::shared_ptr<std::atomic<pid_t>> tid;

    bool returnedWithin(std::chrono::milliseconds wait) {
        return result.wait_for(wait) == std::future_status::ready;
    }
    void settle() {
        result.wait();
        const std::string task = "/proc/self/task/" + std::to_string(tid->load());
        waitUntil([&] { return !std::filesystem::exists(task); });
    }
};

template <class Call> auto callOnItsOwnThread(Call call) {
    auto tid = std::make_shared<std::atomic<pid_t>>(0);
    auto result = std::async(std::launch::async, [call = std::move(call), tid]() mutable {
        tid->store(gettid());
        return call();
    });
    return OwnThreadCall<decltype(call())>{std::move(result), std::move(tid)};
}

} // namespace testsupport
