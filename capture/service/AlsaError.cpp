// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/AlsaError.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace veldora::sound {
namespace {

// Read once: getenv is not safe against a concurrent setenv, and the capture thread reports errors too.
const bool kDebug = std::getenv("VELDORA_SOUND_DEBUG") != nullptr;

void quietHandler(const char* file, int line, const char* function, int err, const char* fmt, ...) {
    if (!kDebug) {
        return;
    }
    std::fprintf(stderr, "alsa %s:%d %s (%d): ", file, line, function, err);
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    std::fputc('\n', stderr);
}

} // namespace

bool checkError(int rc, const char* what) {
    if (rc >= 0) {
        return true;
    }
    if (kDebug) {
        std::fprintf(stderr, "veldorasound: %s: %s\n", what, snd_strerror(rc));
    }
    return false;
}

void silenceAlsaErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&quietHandler); });
}

} // namespace veldora::sound
