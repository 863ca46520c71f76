// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// ping_reference: a plain Qt window that does nothing but run its event loop. The fault
// scenes ping it beside the program (server_*.sh): it shares the program's X
// server, toolkit and machine but has no sound, so what its round trips take at a given
// moment is the machine's share of the program's.
#include <QApplication>
#include <QScreen>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Veldora ping reference"));
    window.resize(64, 64);
    // In the screen's far corner, away from the program's window and its clicks.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window.move(screen.right() - 80, screen.bottom() - 80);
    window.show();
    return QApplication::exec();
}
