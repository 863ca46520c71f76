// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One funnel for every negative ALSA return. Any thread may call these.
namespace veldora::sound {

// True when rc is not negative. A negative rc is a failure: with VELDORA_SOUND_DEBUG
// set in the environment, "<what>: <snd_strerror>" goes to stderr; otherwise the
// failure is silent (the program keeps no log and reports through result codes).
bool checkError(int rc, const char* what);

// Routes libasound's own diagnostics to nothing (or to stderr when debugging).
// Idempotent; called by every entry point before it touches ALSA.
void silenceAlsaErrors();

} // namespace veldora::sound
