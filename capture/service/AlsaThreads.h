// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The threads of this library that may wait inside ALSA on a sound server: capture
// threads and opens. Each is owned here to its end and joined once it has ended, never
// while it may still wait. Any thread.
//
// The one instance is never destroyed, so that neither an exit nor an unload waits on a
// thread inside a frozen server: a host should ask joinAll() (VeldoraSoundThreadsEnded)
// before it unloads the library, and must not unload it while a thread is left, whose
// code would be gone under it. A host that exits without asking has the threads joined
// that end within kLeftWaitingBound (LibraryUnload.cpp), and ends with any other.
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
    // device until it ends, and as waiting on the device's server since `waitingSince`.
    void letGo(const Ticket& ticket, std::chrono::steady_clock::time_point waitingSince);
    // Waits for a thread that is past its last ALSA call to end (it only has to return),
    // and joins it, unless a call joining all ended ones took it first.
    void joinWhenEnded(const Ticket& ticket);
    // Wakes waitForDevice() so that its caller looks at its stop again.
    void wake();

    // A thread left waiting on `device` holds it (and its handle) until it ends: nothing
    // else enters ALSA on it meanwhile. Waits for that end until kLeftWaitingBound has
    // passed since it began waiting on the server, or until stopAsked(); true when the
    // device is free.
    bool waitForDevice(const std::string& device, const std::function<bool()>& stopAsked);

    // Joins every thread that has ended, waiting up to `wait` for the others; true when
    // none is left.
    bool joinAll(std::chrono::milliseconds wait);

    // How long a thread left waiting on a device may take to end before the device
    // counts as one whose server does not answer. A healthy drop takes milliseconds.
    static constexpr std::chrono::milliseconds kLeftWaitingBound{2000};

    AlsaThreads(const AlsaThreads&) = delete;
    AlsaThreads& operator=(const AlsaThreads&) = delete;
    ~AlsaThreads() = delete;

  private:
    AlsaThreads() = default;
    void markEnded(Entry& entry);
    void joinAllEnded();

    std::mutex mutex_;
    std::condition_variable changed_; // a thread ended or a wait should look at its stop
    std::vector<Ticket> threads_;     // guarded by mutex_
};

} // namespace veldora::sound
