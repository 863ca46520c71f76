// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The shell's unsafe mode (Eval, screenshots for any caller) for GNOME 43, whose
// extensions are scripts with init() rather than modules; enabled only in the test's
// private home.
/* exported init */

class UnsafeModeForTests {
    enable() {
        global.context.unsafe_mode = true;
    }

    disable() {
        global.context.unsafe_mode = false;
    }
}

function init() {
    return new UnsafeModeForTests();
}
