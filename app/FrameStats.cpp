// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/FrameStats.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace veldora::app {

FrameCounts& frameCounts() {
    static FrameCounts counts;
    return counts;
}

FrameStats::FrameStats(QWidget* window, QWidget* screen)
    : QObject(window), window_(window), screen_(screen),
      fileName_(qEnvironmentVariable("VELDORA_FRAME_STATS")) {
    window_->installEventFilter(this);
    screen_->installEventFilter(this);
    if (fileName_.isEmpty())
        return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { writeFile(); });
    timer->start(500);
}

bool FrameStats::eventFilter(QObject* watched, QEvent* event) {
    FrameCounts& counts = frameCounts();
    switch (event->type()) {
    case QEvent::Paint:
        if (watched == screen_)
            ++counts.repaints;
        else if (watched == window_)
            ++counts.windowPaints;
        break;
    case QEvent::Expose:
        ++counts.exposes;
        break;
    case QEvent::Show:
        // The platform window exists once the window is shown; exposes arrive there.
        if (watched == window_ && !watchingWindowHandle_ && window_->windowHandle()) {
            window_->windowHandle()->installEventFilter(this);
            watchingWindowHandle_ = true;
        }
        break;
    default:
        break;
    }
    return false;
}

// One line: milliseconds of a monotonic clock, then the counters. Replaced whole, so a
// reader never sees half a line.
void FrameStats::writeFile() const {
    const FrameCounts& c = frameCounts();
    QSaveFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const qint64 now = QDeadlineTimer::current().deadline();
    file.write(QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                   .arg(now)
                   .arg(c.blocks)
                   .arg(c.frames)
                   .arg(c.repaints)
                   .arg(c.windowPaints)
                   .arg(c.exposes)
                   .arg(c.ticks)
                   .toUtf8());
    file.commit();
}

} // namespace veldora::app
