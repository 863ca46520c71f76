// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/SoundCaptureStreamNotify.h"

#include <algorithm>
#include <chrono>

#include "base/MainThreadQueue.h"
#include "capture/CaptureErrorReport.h"
#include "capture/SoundCaptureStream.h"

namespace veldora::capture {

TSoundCaptureStreamNotify::TSoundCaptureStreamNotify(TSoundCaptureStream& stream,
                                                     std::function<void()> failed)
    : Stream(stream), WaitMilliseconds(std::min(stream.GetBufferMilliseconds() / 4, 50)),
      Failed(std::move(failed)) {}

void TSoundCaptureStreamNotify::Resume() {
    if (thread_.joinable())
        return;
    thread_ = std::thread([this] { Execute(); });
}

void TSoundCaptureStreamNotify::Execute() {
    base::MainThreadQueue& queue = base::MainThreadQueue::instance();
    // `this` outlives the body: every way of ending the object joins the thread first.
    // Waits to fixed marks one period apart, not a full period after each poll, so
    // the time the main thread takes to serve a poll does not stretch the period.
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(WaitMilliseconds);
    auto deadline = Clock::now() + period;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (event_.WaitFor(static_cast<int>(std::max<decltype(left)>(left, 0))))
            break;
        if (!queue.runAndWait(this, [this] { PollCapture(); }))
            break;
        deadline += period;
        // After a main thread busy for longer than a period, poll once at once rather
        // than catching up on every missed mark.
        deadline = std::max(deadline, Clock::now());
    }
    finished_.store(true);
    queue.wakeWaiters();
}

void TSoundCaptureStreamNotify::PollCapture() {
    if (failed_)
        return;
    polling_ = true;
    try {
        if (Stream.AvailableBytes() > 0)
            Stream.DoDataReady();
    } catch (...) {
        failed_ = true;
        reportCaptureError(std::current_exception());
        event_.Signal();
        // The report may have ended this thread (Pause pressed twice while it shows):
        // then its owner no longer wants to hear of the failure.
        if (!ended_)
            base::MainThreadQueue::instance().post(this, [this] { Failed(); });
    }
    polling_ = false;
}

void TSoundCaptureStreamNotify::End(std::unique_ptr<TSoundCaptureStreamNotify> thread) {
    if (!thread)
        return;
    thread->ended_ = true;
    thread->event_.Signal();
    if (!thread->polling_) {
        thread.reset(); // joins here
        return;
    }
    // Inside its own poll: the main thread joins it in a request of its own, after the
    // poll has returned. The request owns the object; its owner tag is the holder, which
    // nothing cancels, so the request always runs (or the queue frees it as it ends).
    auto holder = std::make_shared<std::unique_ptr<TSoundCaptureStreamNotify>>(std::move(thread));
    struct Join {
        std::shared_ptr<std::unique_ptr<TSoundCaptureStreamNotify>> holder;
        void operator()() const {
            if ((*holder)->polling_) { // a nested serve ran us before the poll returned
                base::MainThreadQueue::instance().post(holder.get(), Join{holder});
                return;
            }
            holder->reset();
        }
    };
    base::MainThreadQueue::instance().post(holder.get(), Join{holder});
}

TSoundCaptureStreamNotify::~TSoundCaptureStreamNotify() {
    base::MainThreadQueue& queue = base::MainThreadQueue::instance();
    ended_ = true;
    event_.Signal();
    if (thread_.joinable()) {
        queue.serveUntil([this] { return finished_.load(); });
        thread_.join();
    }
    queue.cancel(this); // a failure request not yet run
}

} // namespace veldora::capture
