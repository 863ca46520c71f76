#pragma once
// The notification thread of a capturing stream: waits on an auto-reset event until the
// next mark (marks WaitMilliseconds apart, so polls come every WaitMilliseconds however
// long each takes); after each time-out it has the main thread run PollCapture and waits
// until it has run; a signalled event ends it.
//
// Threads: construction, Resume, PollCapture and destruction happen on the main thread;
// only the body runs on the thread itself, and it touches nothing but the event, its
// end flag and the main-thread queue.
//
// Ending: the destructor signals the event and waits for the body to end while serving
// the main-thread queue, so a body blocked in its request for PollCapture can finish.
// Destroyed from inside its own PollCapture (a handler that stops the stream), it cannot
// wait for the body, which is waiting for that very poll: it lets the body end by itself.
// Unlike a self-freeing thread, after a failing handler the body just ends; the object
// is freed, and the stream stopped, by a request it queues for the main thread.
#include <atomic>
#include <memory>
#include <thread>

#include "capture/AutoResetEvent.h"

class TSoundCaptureStream;

class TSoundCaptureStreamNotify {
  public:
    // Created suspended: the creator stores it in the stream's NotifyThread, then calls
    // Resume. Creates the event and stores it in the stream's NotifyEvent;
    // WaitMilliseconds = Min(BufferMilliseconds div 4, 50).
    explicit TSoundCaptureStreamNotify(TSoundCaptureStream& stream);
    // Signals the event, waits for the body to end (serving the main-thread queue),
    // closes the event; NotifyThread is already cleared by its owner; then, when the
    // stream has a handler installed, stops the stream.
    ~TSoundCaptureStreamNotify();
    TSoundCaptureStreamNotify(const TSoundCaptureStreamNotify&) = delete;
    TSoundCaptureStreamNotify& operator=(const TSoundCaptureStreamNotify&) = delete;

    void Resume();
    // Milliseconds of each wait, fixed at creation.
    int GetWaitMilliseconds() const { return WaitMilliseconds; }
    // Main thread: calls the handler when bytes wait. A handler that raises is reported
    // once through reportCaptureError, the event is signalled so the body ends, and the
    // stream is stopped by a request queued for the main thread.
    void PollCapture();

    TSoundCaptureStream& Stream; // not owned

  private:
    struct Shared {
        AutoResetEvent event;
        std::atomic<bool> finished{false}; // set by the body as it ends
        // Main thread only:
        bool polling = false;   // inside PollCapture
        bool ownerGone = false; // the object has been destroyed
        bool failed = false;    // the handler raised; no further calls
    };

    static void Execute(std::shared_ptr<Shared> shared, int waitMilliseconds,
                        TSoundCaptureStreamNotify* owner);
    void FinishAfterFailure();

    const int WaitMilliseconds;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
