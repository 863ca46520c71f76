// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the refresh timer needs of the application object: one idle-handler slot,
// an ordered list of message hooks, and the active flag. Main thread only.
#include <cstdint>
#include <functional>

namespace veldora::display {

constexpr uint32_t kMessageAppActivated = 0xB000;
constexpr uint32_t kMessageAppDeactivated = 0xB001;

class IdleHost {
  public:
    // Called when the event loop's queue has become empty; `done` comes preset to true.
    // Handing back false keeps the loop from blocking and it calls again at once.
    using IdleHandler = std::function<void(bool& done)>;
    // Offered every application message in turn; true ends the handling of that message.
    using MessageHook = std::function<bool(uint32_t message)>;

    virtual ~IdleHost() = default;
    // Replaces whatever handler the slot holds; an empty function empties the slot.
    virtual void setIdleHandler(IdleHandler handler) = 0;
    virtual bool hasIdleHandler() const = 0;
    // Returns an id for removeMessageHook.
    virtual int addMessageHook(MessageHook hook) = 0;
    virtual void removeMessageHook(int id) = 0;
    virtual bool active() const = 0;
};

} // namespace veldora::display
