// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The ALSA devices the service offers, each with a GUID derived from its ALSA name.
// Any thread may call these; each call asks ALSA afresh.
#include "capture/SoundService.h"

#include <alsa/asoundlib.h>

#include <optional>
#include <string>
#include <vector>

namespace veldora::sound {

struct AlsaDevice {
    GUID guid;
    std::string description; // ALSA's description, its lines joined by ", "
    std::string name;        // the ALSA PCM name, also the module name
};

// Stable across runs and machines: a 128-bit hash of the name, marked as an
// RFC 4122 name-based GUID of the custom kind (version 8), so it is never all zero.
GUID guidForName(const std::string& name);

bool sameGuid(const GUID& a, const GUID& b);

// ALSA's named PCMs usable in `direction`, in ALSA's order. "default" is left out:
// the service reports it separately, with a null GUID.
std::vector<AlsaDevice> listDevices(snd_pcm_stream_t direction);

// The ALSA name to open: "default" for a null GUID, else the listed device with
// this GUID; nothing when no such device is listed.
std::optional<std::string> deviceNameFor(const GUID* guid, snd_pcm_stream_t direction);

} // namespace veldora::sound
