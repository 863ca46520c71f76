// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Opening a device, with a bound on how long its sound server may keep us waiting.
#include "capture/service/AlsaHandles.h"

#include <chrono>

namespace veldora::sound {

// How long an open may wait on a sound server; one that answers at all does so in
// milliseconds, and this leaves room for a loaded machine.
constexpr std::chrono::milliseconds kOpenWait{2000};

// Who asks for an open. A capture thread has already waited for its device
// (AlsaThreads::waitForDevice) and holds it; once Stop has left that thread waiting, a
// second wait for the device would be a wait on itself.
enum class OpenedBy { anyCaller, deviceHolder };

// Opens `name` non-blocking on a thread of its own, which the caller waits for up to
// kOpenWait and then leaves waiting on the device (-ETIMEDOUT). Unless the caller holds
// the device, the open first waits for a thread left waiting on it to end, and fails
// with -ETIMEDOUT once kLeftWaitingBound has passed since that one began. Empty on
// failure, with ALSA's negative error in *error when asked for.
PcmHandle openPcm(const char* name, snd_pcm_stream_t direction, int* error = nullptr,
                  OpenedBy by = OpenedBy::anyCaller);

} // namespace veldora::sound
