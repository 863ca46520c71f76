// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/MainThreadQueue.h"

#include <algorithm>
#include <utility>

#include <cstdio>

namespace veldora::base {

MainThreadQueue& MainThreadQueue::instance() {
    // Destroyed at exit, after everything made later. Every notification thread is
    // joined by its owner on the main thread, so none can reach the queue after that.
    static MainThreadQueue queue;
    return queue;
}

MainThreadQueue::~MainThreadQueue() {
    // Requests still queued never run; their waiters go on. What they hold (a thread
    // handed over to be joined) is freed outside the lock, as it may use the queue.
    std::deque<Request> left;
    {
        std::lock_guard lock(mutex_);
        left.swap(requests_);
        for (Request& request : left)
            if (request.outcome)
                *request.outcome = 2;
    }
    finished_.notify_all();
    left.clear();
}

void MainThreadQueue::setWakeUpPoster(Poster poster) {
    std::lock_guard lock(mutex_);
    poster_ = std::move(poster);
}

void MainThreadQueue::setErrorReporter(std::function<void(std::exception_ptr)> reporter) {
    std::lock_guard lock(mutex_);
    errorReporter_ = std::move(reporter);
}

void MainThreadQueue::setMainThread() {
    std::lock_guard lock(mutex_);
    mainThread_ = std::this_thread::get_id();
}

bool MainThreadQueue::isMainThread() const {
    std::lock_guard lock(mutex_);
    return mainThread_ == std::this_thread::get_id();
}

void MainThreadQueue::enqueue(Request request) {
    Poster poster;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
        poster = poster_;
    }
    queued_.notify_all();
    if (poster)
        poster();
}

bool MainThreadQueue::runAndWait(const void* owner, Call call) {
    if (isMainThread()) {
        call();
        return true;
    }
    auto outcome = std::make_shared<int>(0);
    enqueue(Request{owner, std::move(call), outcome});
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return *outcome != 0; });
    return *outcome == 1;
}

void MainThreadQueue::post(const void* owner, Call call) {
    enqueue(Request{owner, std::move(call), nullptr});
}

void MainThreadQueue::cancel(const void* owner) {
    std::deque<Request> dropped; // freed after the lock is let go
    {
        std::lock_guard lock(mutex_);
        std::deque<Request> kept;
        for (Request& request : requests_) {
            if (request.owner != owner) {
                kept.push_back(std::move(request));
                continue;
            }
            if (request.outcome)
                *request.outcome = 2;
            dropped.push_back(std::move(request));
        }
        requests_.swap(kept);
    }
    finished_.notify_all();
}

// Called without the lock: the reporter may use the queue.
void MainThreadQueue::reportError(const std::exception_ptr& error) noexcept {
    std::function<void(std::exception_ptr)> reporter;
    {
        std::lock_guard lock(mutex_);
        reporter = errorReporter_;
    }
    try {
        if (reporter) {
            reporter(error);
            return;
        }
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veldora: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "veldora: unknown error in a main-thread request\n");
    }
}

// Takes the first request, runs it without the lock, and tells its waiter.
bool MainThreadQueue::runOne(std::unique_lock<std::mutex>& lock) {
    if (requests_.empty())
        return false;
    Request request = std::move(requests_.front());
    requests_.pop_front();
    lock.unlock();
    try {
        request.call();
    } catch (...) {
        reportError(std::current_exception());
    }
    request.call = nullptr; // destroy what it holds before the waiter goes on
    lock.lock();
    if (request.outcome) {
        *request.outcome = 1;
        finished_.notify_all();
    }
    return true;
}

int MainThreadQueue::drain() {
    int ran = 0;
    std::unique_lock lock(mutex_);
    while (runOne(lock))
        ++ran;
    return ran;
}

void MainThreadQueue::serveUntil(const std::function<bool()>& finished) {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [&] { return !requests_.empty() || finished(); });
        // Leave as soon as the condition holds: other owners' requests wait for drain(),
        // so a busy worker elsewhere cannot keep this wait going.
        if (finished())
            return;
        runOne(lock);
    }
}

int MainThreadQueue::serveFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    int ran = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!queued_.wait_until(lock, deadline, [&] { return !requests_.empty(); }))
            return ran;
        if (runOne(lock))
            ++ran;
    }
}

void MainThreadQueue::wakeWaiters() {
    // Passing through the lock orders this wake after a waiter's check of its condition.
    std::unique_lock lock(mutex_);
    lock.unlock();
    queued_.notify_all();
}

size_t MainThreadQueue::pending() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

} // namespace veldora::base
