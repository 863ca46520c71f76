// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Counts the screen's work: captured blocks converted, frames drawn by the refresh
// tick, repaints of the screen image and of the rest of the window, and exposes of
// the window. Tests read the counters; when the environment variable
// VELDORA_FRAME_STATS names a file, the counters are written there twice a second
// for bench/screen_load.sh (a debugging aid: the program reads no other setting).
// Main thread only.
#include <QObject>

#include <cstdint>

class QWidget;

namespace veldora::app {

struct FrameCounts {
    uint64_t blocks = 0;       // captured blocks converted into the trace
    uint64_t frames = 0;       // live frames drawn by the refresh tick
    uint64_t repaints = 0;     // paint events of the screen image
    uint64_t windowPaints = 0; // paint events of the window's own area
    uint64_t exposes = 0;      // the window shown or uncovered on the display
    uint64_t ticks = 0;        // refresh ticks, drawing or not
};

// The program's counters, zero at start.
FrameCounts& frameCounts();

// Watches `window` and its `screen` image for paints and exposes while they live.
class FrameStats : public QObject {
    Q_OBJECT
  public:
    FrameStats(QWidget* window, QWidget* screen);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void writeFile() const;

    QWidget* window_;
    QWidget* screen_;
    bool watchingWindowHandle_ = false;
    QString fileName_;
};

} // namespace veldora::app
