#pragma once
// The threads of this library that may wait inside ALSA on a sound server: capture
// threads and opens. Each is owned here to its end and joined once it has ended, never
// while it may still wait. Any thread.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veldora::sound {

class AlsaThreads {
  public:
    struct Entry;
    using Ticket = std::shared_ptr<Entry>;

    static AlsaThreads& instance();

    // Runs `body` on a new thread that works on `device`; throws std::system_error.
    Ticket start(const std::string& device, std::function<void()> body);
    // Its caller no longer waits for it: from now on it counts as left waiting on its
    // device until it ends.
    void letGo(const Ticket& ticket);
    // Joins a thread that is past its last ALSA call (it only has to return).
    void joinFinished(const Ticket& ticket);
    // Wakes waitForDevice() so that its caller looks at its stop again.
    void wake();

    // A thread left waiting on `device` holds it (and its handle) until it ends: nothing
    // else enters ALSA on it meanwhile. Waits for that end until kLeftWaitingBound has
    // passed since it was left waiting, or until stopAsked(); true when the device is free.
    bool waitForDevice(const std::string& device, const std::function<bool()>& stopAsked);

    // Joins every thread that has ended, waiting up to `wait` for the others; true when
    // none is left.
    bool joinAll(std::chrono::milliseconds wait);

    // How long a thread left waiting on a device may take to end before the device
    // counts as one whose server does not answer. A healthy drop takes milliseconds.
    static constexpr std::chrono::milliseconds kLeftWaitingBound{2000};

    AlsaThreads() = default;
    AlsaThreads(const AlsaThreads&) = delete;
    AlsaThreads& operator=(const AlsaThreads&) = delete;
    // At the library's unload: joins them all. The program unloads the library only
    // once joinAll() found none left (see VeldoraSoundThreadsEnded).
    ~AlsaThreads();

  private:
    void ended(Entry& entry);
    void joinEnded();

    std::mutex mutex_;
    std::condition_variable changed_; // a thread ended or a wait should look at its stop
    std::vector<Ticket> threads_;     // guarded by mutex_
};

} // namespace veldora::sound
