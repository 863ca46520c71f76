// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/CaptureDrivers.h"

#include "base/Errors.h"
#include "capture/SoundLibrary.h"

namespace veldora::capture {

namespace {

std::unique_ptr<TDirectXDrivers>& driversHolder() {
    static std::unique_ptr<TDirectXDrivers> holder;
    return holder;
}

int enumerationCallback(sound::GUID* guid, const char* description, const char* module, void* context) {
    TDirectXDriver& driver = static_cast<TDirectXDrivers*>(context)->Add();
    driver.SetGuid(guid);
    driver.Description = description ? description : "";
    driver.ModuleName = module ? module : "";
    return 1;
}

} // namespace

void TDirectXDriver::SetGuid(sound::GUID* guid) {
    if (!guid) {
        Guid = guid;
        return;
    }
    GuidValue = *guid;
    Guid = &GuidValue;
}

TDirectXDriver& TDirectXDrivers::Items(int index) const {
    if (index < 0 || index >= Count())
        throw base::listIndexError(index);
    return *items_[static_cast<size_t>(index)];
}

TDirectXDriver& TDirectXDrivers::Add() {
    items_.push_back(std::make_unique<TDirectXDriver>(*this, nextId_++));
    return *items_.back();
}

TDirectXDrivers& CaptureDrivers() {
    auto& holder = driversHolder();
    if (holder)
        return *holder;
    holder = std::make_unique<TDirectXDrivers>();
    try {
        DirectSoundCaptureEnumerate(enumerationCallback, holder.get());
    } catch (...) {
        holder.reset();
        throw;
    }
    return *holder;
}

void FreeCaptureDrivers() {
    driversHolder().reset();
}

} // namespace veldora::capture
