// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Connects the capture layer to the application while it lives: requests that worker
// threads queue for the main thread are run from the event loop, and capture errors
// nobody else can receive reach the standard exception display.
//
// Make it on the main thread (named by the program's start, see MainThreadQueue) after
// the Application and before capture starts; destroy
// it after capture has stopped (no worker may still be asking).

namespace veldora::app {

class Application;

class MainThreadBridge {
  public:
    explicit MainThreadBridge(Application& app);
    ~MainThreadBridge();
    MainThreadBridge(const MainThreadBridge&) = delete;
    MainThreadBridge& operator=(const MainThreadBridge&) = delete;
};

} // namespace veldora::app
