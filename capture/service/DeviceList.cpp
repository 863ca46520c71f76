// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/DeviceList.h"

#include "capture/service/AlsaError.h"
#include "capture/service/AlsaHandles.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace veldora::sound {
namespace {

struct FreeString {
    void operator()(char* s) const { std::free(s); }
};
using HintString = std::unique_ptr<char, FreeString>;

uint64_t fnv1a(const std::string& text, uint64_t basis) {
    uint64_t hash = basis;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string joinLines(const char* text) {
    std::string joined;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            joined += ", ";
        } else {
            joined += *p;
        }
    }
    return joined;
}

} // namespace

GUID guidForName(const std::string& name) {
    const uint64_t high = fnv1a(name, 0xcbf29ce484222325ULL);
    const uint64_t low = fnv1a(name, high ^ 0x9e3779b97f4a7c15ULL);
    GUID guid{};
    for (int i = 0; i < 8; ++i) {
        guid.bytes[i] = static_cast<uint8_t>(high >> (56 - 8 * i));
        guid.bytes[8 + i] = static_cast<uint8_t>(low >> (56 - 8 * i));
    }
    guid.bytes[6] = static_cast<uint8_t>((guid.bytes[6] & 0x0F) | 0x80); // version 8
    guid.bytes[8] = static_cast<uint8_t>((guid.bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return guid;
}

bool sameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

std::vector<AlsaDevice> listDevices(snd_pcm_stream_t direction) {
    std::vector<AlsaDevice> devices;
    void** raw = nullptr;
    if (!checkError(snd_device_name_hint(-1, "pcm", &raw), "device hints")) {
        return devices;
    }
    const HintList hints(raw);
    const char* wanted = direction == SND_PCM_STREAM_CAPTURE ? "Input" : "Output";
    for (void** hint = hints.get(); *hint != nullptr; ++hint) {
        const HintString name(snd_device_name_get_hint(*hint, "NAME"));
        const HintString desc(snd_device_name_get_hint(*hint, "DESC"));
        const HintString ioid(snd_device_name_get_hint(*hint, "IOID"));
        if (!name || std::strcmp(name.get(), "default") == 0) {
            continue;
        }
        if (ioid && std::strcmp(ioid.get(), wanted) != 0) {
            continue; // a device for the other direction only
        }
        AlsaDevice device;
        device.name = name.get();
        device.guid = guidForName(device.name);
        device.description = desc ? joinLines(desc.get()) : device.name;
        devices.push_back(std::move(device));
    }
    return devices;
}

std::optional<std::string> deviceNameFor(const GUID* guid, snd_pcm_stream_t direction) {
    if (guid == nullptr) {
        return std::string("default");
    }
    for (const AlsaDevice& device : listDevices(direction)) {
        if (sameGuid(device.guid, *guid)) {
            return device.name;
        }
    }
    return std::nullopt;
}

} // namespace veldora::sound
