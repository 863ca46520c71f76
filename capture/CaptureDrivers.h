// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The capture driver list: the machine's capture devices as the sound service
// enumerates them, built once on first request and kept for the program's life.
// Main thread only.
#include <memory>
#include <string>
#include <vector>

#include "capture/SoundService.h"

namespace veldora::capture {

class TDirectXDrivers;

class TDirectXDriver {
  public:
    TDirectXDriver(TDirectXDrivers& collection, int id) : Collection(&collection), ID(id) {}
    TDirectXDriver(const TDirectXDriver&) = delete;
    TDirectXDriver& operator=(const TDirectXDriver&) = delete;

    // Copies a readable GUID into GuidValue and points Guid at it; a null pointer (the
    // default device) is kept as passed. Null is the only unreadable pointer we detect.
    void SetGuid(sound::GUID* guid);

    TDirectXDrivers* Collection; // the owning list
    int ID;                      // serial number within the list
    sound::GUID* Guid = nullptr; // the device to open; null: the default device
    sound::GUID GuidValue{};     // the item's own copy of the device's GUID
    std::string Description;
    std::string ModuleName;
};

class TDirectXDrivers {
  public:
    TDirectXDrivers() = default;
    TDirectXDrivers(const TDirectXDrivers&) = delete;
    TDirectXDrivers& operator=(const TDirectXDrivers&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0 .. Count() - 1.
    TDirectXDriver& Items(int index) const;
    TDirectXDriver& operator[](int index) const { return Items(index); }
    TDirectXDriver& Add();

  private:
    std::vector<std::unique_ptr<TDirectXDriver>> items_;
    int nextId_ = 0;
};

// The list, enumerating the service on the first call. If the enumeration raises
// (EDirectXError "Necessary since DirectX 5" when the library is missing), the list is
// freed, the holder stays empty, the exception passes on and the next call tries again.
// The enumeration's result code is ignored.
TDirectXDrivers& CaptureDrivers();

// Frees the list in the holder; the next CaptureDrivers() enumerates again. The holder
// is freed at program exit by itself; tests call this to rebuild the list.
void FreeCaptureDrivers();

} // namespace veldora::capture
