// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// "Run on the main thread and wait", safe against a main thread that is itself waiting
// for the asking thread to end.
//
// Worker threads queue requests; the main thread runs them when it drains the queue.
// The application installs a wake-up poster that makes its event loop call drain()
// soon (any thread may call the poster), e.g. with Qt:
//   MainThreadQueue::instance().setWakeUpPoster([] {
//       QMetaObject::invokeMethod(qApp, [] { MainThreadQueue::instance().drain(); },
//                                 Qt::QueuedConnection); });
// Tests without an event loop pump the queue with drain() or serveFor().
// A main thread that waits for a worker to end uses serveUntil(), which keeps running
// queued requests while it waits, so a worker blocked in runAndWait() can finish.
//
// Every request names an owner (any address). cancel(owner) drops the owner's pending
// requests; an owner calls it before it goes away, so no request runs on a freed object.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace veldora::base {

class MainThreadQueue {
  public:
    using Call = std::function<void()>;
    using Poster = std::function<void()>;

    // The process-wide queue, destroyed at exit. It has no main thread until the
    // program's start names one with setMainThread(); until then every runAndWait queues.
    static MainThreadQueue& instance();
    // Requests still queued are dropped: their waiters get false.
    ~MainThreadQueue();
    MainThreadQueue(const MainThreadQueue&) = delete;
    MainThreadQueue& operator=(const MainThreadQueue&) = delete;

    // Main thread, at start-up. Called with no lock held, from whichever thread queues.
    void setWakeUpPoster(Poster poster);
    // Main thread, at start-up: where an exception leaving a request goes (empty: stderr).
    void setErrorReporter(std::function<void(std::exception_ptr)> reporter);
    // At the program's start: makes the calling thread the main thread.
    void setMainThread();
    bool isMainThread() const;

    // Any thread: runs `call` on the main thread and blocks until it has run (true) or
    // was cancelled (false). On the main thread itself it runs `call` at once.
    bool runAndWait(const void* owner, Call call);
    // Any thread: queues `call` without waiting.
    void post(const void* owner, Call call);
    // Main thread: drops the owner's pending requests; their waiters get false.
    void cancel(const void* owner);

    // Main thread: runs the requests queued so far (and any they queue); returns how many
    // ran. An exception leaving a request goes to the error reporter.
    int drain();
    // Main thread: runs requests as they come until `finished()` holds (then returns at
    // once, leaving later requests for drain()). `finished` is
    // checked under the queue's lock; whoever makes it true calls wakeWaiters() after.
    void serveUntil(const std::function<bool()>& finished);
    // Main thread: runs requests as they come for `duration`; returns how many ran.
    int serveFor(std::chrono::milliseconds duration);
    // Any thread: makes serveUntil() look at its condition again.
    void wakeWaiters();

    // Requests queued and not yet started (for tests).
    size_t pending() const;

  private:
    struct Request {
        const void* owner;
        Call call;
        std::shared_ptr<int> outcome; // for runAndWait: 0 waiting, 1 ran, 2 cancelled
    };

    MainThreadQueue() = default;
    void enqueue(Request request);
    bool runOne(std::unique_lock<std::mutex>& lock);
    void reportError(const std::exception_ptr& error) noexcept;

    mutable std::mutex mutex_;
    std::condition_variable queued_;   // a request came, or a waiter's condition changed
    std::condition_variable finished_; // a runAndWait request ran or was cancelled
    std::deque<Request> requests_;
    Poster poster_;
    std::function<void(std::exception_ptr)> errorReporter_;
    std::thread::id mainThread_; // none until setMainThread()
};

} // namespace veldora::base
