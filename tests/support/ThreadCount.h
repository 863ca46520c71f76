// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The threads of this process, from /proc: tests that must see every thread they
// started end again count the threads that were not there before. A thread that ended
// just before that set was taken may still be listed in it for a moment (long enough
// to see under an emulator, which ends its own thread after the guest's join has
// returned): counting by identity, its leaving takes nothing off the count.
#include "tests/support/WaitUntil.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include <unistd.h>

namespace testsupport {

inline std::set<pid_t> threadIds() {
    std::set<pid_t> ids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(static_cast<pid_t>(std::stol(task.path().filename().string())));
    }
    return ids;
}

// How many threads are listed now that were not in `before`.
inline size_t threadsSince(const std::set<pid_t>& before) {
    const std::set<pid_t> now = threadIds();
    return static_cast<size_t>(
        std::count_if(now.begin(), now.end(), [&](pid_t id) { return !before.contains(id); }));
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
