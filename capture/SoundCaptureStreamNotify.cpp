#include "capture/SoundCaptureStreamNotify.h"

#include <algorithm>
#include <chrono>

#include "capture/CaptureErrorReport.h"
#include "capture/MainThreadQueue.h"
#include "capture/SoundCaptureStream.h"

TSoundCaptureStreamNotify::TSoundCaptureStreamNotify(TSoundCaptureStream& stream)
    : Stream(stream), WaitMilliseconds(std::min(stream.BufferMilliseconds / 4, 50)),
      shared_(std::make_shared<Shared>()) {
    Stream.NotifyEvent = &shared_->event;
}

void TSoundCaptureStreamNotify::Resume() {
    if (thread_.joinable())
        return;
    thread_ = std::thread(Execute, shared_, WaitMilliseconds, this);
}

void TSoundCaptureStreamNotify::Execute(std::shared_ptr<Shared> shared, int waitMilliseconds,
                                        TSoundCaptureStreamNotify* owner) {
    MainThreadQueue& queue = MainThreadQueue::instance();
    // `owner` is only used inside the request, which runs on the main thread while the
    // owner lives: its destructor cancels what it has not served.
    // Waits to fixed marks one period apart, not a full period after each poll, so
    // the time the main thread takes to serve a poll does not stretch the period.
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(waitMilliseconds);
    auto deadline = Clock::now() + period;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (shared->event.WaitFor(static_cast<int>(std::max<decltype(left)>(left, 0))))
            break;
        if (!queue.runAndWait(owner, [owner] { owner->PollCapture(); }))
            break;
        deadline += period;
        // After a main thread busy for longer than a period, poll once at once rather
        // than catching up on every missed mark.
        deadline = std::max(deadline, Clock::now());
    }
    shared->finished.store(true);
    queue.wakeWaiters();
}

void TSoundCaptureStreamNotify::PollCapture() {
    const std::shared_ptr<Shared> shared = shared_; // outlives `this` if the handler frees it
    if (shared->failed)
        return;
    shared->polling = true;
    try {
        if (Stream.AvailableBytes() > 0)
            Stream.DoDataReady();
    } catch (...) {
        shared->failed = true;
        reportCaptureError(std::current_exception());
        shared->event.Signal();
        if (!shared->ownerGone)
            MainThreadQueue::instance().post(this, [this] { FinishAfterFailure(); });
    }
    shared->polling = false;
}

void TSoundCaptureStreamNotify::FinishAfterFailure() {
    if (Stream.NotifyThread.get() != this)
        return;
    Stream.NotifyThread.reset(); // frees this object; its destructor stops the stream
}

TSoundCaptureStreamNotify::~TSoundCaptureStreamNotify() {
    MainThreadQueue& queue = MainThreadQueue::instance();
    shared_->ownerGone = true;
    shared_->event.Signal();
    if (thread_.joinable()) {
        if (shared_->polling) {
            // The body waits for the poll we are inside; it ends by itself once the poll
            // returns, touching only the shared state it holds.
            thread_.detach();
        } else {
            queue.serveUntil([this] { return shared_->finished.load(); });
            thread_.join();
        }
    }
    queue.cancel(this);
    if (Stream.NotifyEvent == &shared_->event)
        Stream.NotifyEvent = nullptr;
    if (Stream.GetOnDataReady())
        Stream.Stop();
}
