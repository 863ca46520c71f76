// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Program entry: the application object, the three windows, the event loop.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "app/Application.h"
#include "app/ApplicationIcon.h"
#include "app/DesktopButtonIcons.h"
#include "app/DesktopPlatform.h"
#include "app/MainThreadBridge.h"
#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "app/SettingsOffDisk.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm3.h"
#include "base/MainThreadQueue.h"
#include "capture/SoundLibrary.h"

namespace veldora::app {
namespace {
constexpr uint32_t kSoundThreadsEndWaitMilliseconds = 100;

int run(char** argv) {
    // The program reads no command line: Qt sees only the program's name.
    static int argumentCount = 1;
    static char* arguments[] = {argv[0], nullptr};
    followDesktopPlatform();
    QApplication qt(argumentCount, arguments);
    // The Wayland app_id and the X class: a shell finds the launcher and icon by the
    // desktop file's name (packaging/org.veldora.Veldora.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.veldora.Veldora"));
    followDesktopButtonIcons(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    Application application(qt, QStringLiteral("Veldora"));
    keepSettingsOffDisk();
    // Capture's notification threads reach the main thread through the event loop.
    MainThreadBridge captureBridge(application);
    QApplication::setWindowIcon(applicationIcon());

    // What the windows share; it outlives them.
    ProgramState state;
    // An error while the main window's layout is read is the last-resort case.
    std::unique_ptr<TForm2> mainWindow;
    try {
        mainWindow = std::make_unique<TForm2>(state);
    } catch (const std::exception& error) {
        application.showFatalError(error);
        return 1;
    } catch (...) {
        application.showFatalError(std::runtime_error("Unknown exception"));
        return 1;
    }
    application.guard([&] { mainWindow->FormCreate(); });
    TForm1 fileNameDialog(state);
    TForm3 aboutBox(state);

    application.prepareMessageBoxes();
    mainWindow->show();
    QApplication::exec();
    return 0;
}
} // namespace
} // namespace veldora::app

int main(int, char** argv) {
    // Worker threads ask this thread to run their requests; it is named here, first.
    veldora::base::MainThreadQueue::instance().setMainThread();
    const int exitCode = veldora::app::run(argv);
    // A sound library thread still inside a server that stopped answering can be neither
    // joined nor outlived by the library and ALSA: end here, without destructors. The
    // wait lets a healthy server's last drop finish (it was asked for at the close).
    if (!veldora::capture::SoundLibraryThreadsEnded(veldora::app::kSoundThreadsEndWaitMilliseconds)) {
        std::fputs("Veldora: the sound server stopped answering; ending without waiting for it\n", stderr);
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    // Last of all, once the windows and their components are gone.
    veldora::capture::FreeLoadedLibraries();
    return exitCode;
}
