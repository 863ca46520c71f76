// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The shell's unsafe mode (Eval, screenshots for any caller), as Looking Glass's switch
// turns it on; enabled only in the test's private home.
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

export default class UnsafeModeForTests extends Extension {
    enable() {
        global.context.unsafe_mode = true;
    }

    disable() {
        global.context.unsafe_mode = false;
    }
}
