// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The notification thread of a capturing stream: waits on an auto-reset event until the
// next mark (marks WaitMilliseconds apart, so polls come every WaitMilliseconds however
// long each takes); after each time-out it has the main thread run PollCapture and waits
// until it has run; a signalled event ends it.
//
// Threads: construction, Resume, PollCapture, End and destruction happen on the main
// thread; only the body runs on the thread itself, and it touches nothing but the
// event, its end flag and the main-thread queue.
//
// Life: its owner (the stream) ends it on the main thread, and the thread is always
// joined there. The destructor signals the event and waits for the body while serving
// the main-thread queue, so a body blocked in its request for PollCapture can finish,
// then joins. From inside its own PollCapture (a handler that stops, restarts or frees
// its stream) the body cannot be waited for, as it waits for that very poll: End()
// then hands the object to a request posted to the main thread, which joins it once
// the poll has returned. After a failing handler the thread asks its owner, by a posted
// request, to end it; the owner's end stops the stream.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "base/AutoResetEvent.h"

namespace veldora::capture {

class TSoundCaptureStream;

class TSoundCaptureStreamNotify {
  public:
    // Created suspended: the creator stores it, then calls Resume.
    // WaitMilliseconds = Min(BufferMilliseconds div 4, 50). `failed` runs on the main
    // thread, in a request of its own, after a poll whose handler raised, unless the
    // owner has ended the thread by then.
    TSoundCaptureStreamNotify(TSoundCaptureStream& stream, std::function<void()> failed);
    // Signals the event, waits for the body to end (serving the main-thread queue) and
    // joins it. Never from inside its own PollCapture: use End().
    ~TSoundCaptureStreamNotify();
    TSoundCaptureStreamNotify(const TSoundCaptureStreamNotify&) = delete;
    TSoundCaptureStreamNotify& operator=(const TSoundCaptureStreamNotify&) = delete;

    // Main thread: ends `thread` (null: nothing). Outside its poll it is joined at once;
    // inside, a request posted to the main thread joins it when the poll has returned.
    // Either way the thread touches its stream no more.
    static void End(std::unique_ptr<TSoundCaptureStreamNotify> thread);

    void Resume();
    // Milliseconds of each wait, fixed at creation.
    int GetWaitMilliseconds() const { return WaitMilliseconds; }
    // Main thread: calls the handler when bytes wait. A handler that raises is reported
    // once through reportCaptureError, the event is signalled so the body ends, and
    // `failed` is posted to the main thread.
    void PollCapture();

    TSoundCaptureStream& Stream; // not owned; not touched after End

  private:
    void Execute();

    const int WaitMilliseconds;
    const std::function<void()> Failed;
    base::AutoResetEvent event_;
    std::atomic<bool> finished_{false}; // set by the body as it ends
    // Main thread only:
    bool polling_ = false; // inside PollCapture
    bool ended_ = false;   // the owner let go: no more polls, no failure request
    bool failed_ = false;  // the handler raised; no further calls
    std::thread thread_;
};

} // namespace veldora::capture
