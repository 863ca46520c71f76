// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/AlsaThreads.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

namespace veldora::sound {

struct AlsaThreads::Entry {
    std::string device;
    std::thread thread;
    // Guarded by the owner's mutex:
    bool ended = false;
    bool leftWaiting = false;
    std::chrono::steady_clock::time_point waitingSince;
};

AlsaThreads& AlsaThreads::instance() {
    // Never destroyed (see the header): a thread still inside a frozen server at the
    // process's exit goes on using it. Made in the library's own storage, so that an
    // unload leaves nothing of it behind.
    alignas(AlsaThreads) static unsigned char storage[sizeof(AlsaThreads)];
    static AlsaThreads* const threads = new (storage) AlsaThreads;
    return *threads;
}

AlsaThreads::Ticket AlsaThreads::start(const std::string& device, std::function<void()> body) {
    joinAllEnded();
    auto entry = std::make_shared<Entry>();
    entry->device = device;
    Entry* self = entry.get();
    // Under the lock: the thread's end, which takes it, comes after its entry is kept.
    const std::lock_guard lock(mutex_);
    entry->thread = std::thread([this, self, body = std::move(body)]() mutable {
        std::exchange(body, nullptr)(); // what it holds is released before it counts as ended
        markEnded(*self);
    });
    threads_.push_back(entry);
    return entry;
}

void AlsaThreads::markEnded(Entry& entry) {
    {
        const std::lock_guard lock(mutex_);
        entry.ended = true;
    }
    changed_.notify_all();
}

void AlsaThreads::letGo(const Ticket& ticket, std::chrono::steady_clock::time_point waitingSince) {
    const std::lock_guard lock(mutex_);
    if (ticket && !ticket->ended && !ticket->leftWaiting) {
        ticket->leftWaiting = true;
        ticket->waitingSince = waitingSince;
    }
}

void AlsaThreads::joinWhenEnded(const Ticket& ticket) {
    std::thread thread;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ticket->ended; });
        const auto kept = std::find(threads_.begin(), threads_.end(), ticket);
        if (kept == threads_.end()) {
            return; // a joinAllEnded() took it first and joins it
        }
        thread = std::move(ticket->thread);
        threads_.erase(kept);
    }
    thread.join(); // past its last call: returns at once
}

void AlsaThreads::wake() {
    // Through the lock: a waiter that has just looked at its stop is asleep by now.
    std::unique_lock lock(mutex_);
    lock.unlock();
    changed_.notify_all();
}

bool AlsaThreads::waitForDevice(const std::string& device, const std::function<bool()>& stopAsked) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopAsked()) { // a caller left waiting itself is found here, not below
            return false;
        }
        std::optional<std::chrono::steady_clock::time_point> since;
        for (const Ticket& entry : threads_) {
            if (entry->device == device && entry->leftWaiting && !entry->ended) {
                since = since ? std::min(*since, entry->waitingSince) : entry->waitingSince;
            }
        }
        if (!since) {
            return true;
        }
        const auto deadline = *since + kLeftWaitingBound;
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        changed_.wait_until(lock, deadline);
    }
}

void AlsaThreads::joinAllEnded() {
    std::vector<Ticket> done;
    {
        const std::lock_guard lock(mutex_);
        const auto firstEnded = std::stable_partition(threads_.begin(), threads_.end(),
                                                      [](const Ticket& entry) { return !entry->ended; });
        done.assign(std::make_move_iterator(firstEnded), std::make_move_iterator(threads_.end()));
        threads_.erase(firstEnded, threads_.end());
    }
    for (const Ticket& entry : done) {
        entry->thread.join(); // past its last call: returns at once
    }
}

bool AlsaThreads::joinAll(std::chrono::milliseconds wait) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, wait, [this] {
            return std::all_of(threads_.begin(), threads_.end(),
                               [](const Ticket& entry) { return entry->ended; });
        });
    }
    joinAllEnded();
    const std::lock_guard lock(mutex_);
    if (!threads_.empty()) {
        return false;
    }
    std::vector<Ticket>().swap(threads_); // none on the heap for an unload to lose
    return true;
}

} // namespace veldora::sound
