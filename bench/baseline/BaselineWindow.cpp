// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The screen-load benchmark's baseline (bench/screen_load.sh): a plain Qt window of the
// main window's size whose 291 x 330 picture changes and repaints 20 times a second,
// what a scope showing 20 fresh blocks a second needs of the display server at least.
// With VELDORA_FRAME_STATS set it writes the same counter line as the program.
#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <cstdint>

namespace {

uint64_t frames = 0;
uint64_t repaints = 0;

class Picture : public QWidget {
  public:
    explicit Picture(QWidget* parent) : QWidget(parent), image_(291, 330, QImage::Format_RGB32) {
        setAttribute(Qt::WA_OpaquePaintEvent, true);
        redraw();
    }
    // A black field with a sine that moves a little every frame.
    void redraw() {
        image_.fill(Qt::black);
        QPainter painter(&image_);
        painter.setPen(Qt::white);
        QPointF previous;
        for (int i = 0; i < 273; ++i) {
            const QPointF point(10 + i, 160 + 76 * std::sin(0.2 * i + 0.3 * double(frames)));
            if (i > 0)
                painter.drawLine(previous, point);
            previous = point;
        }
        ++frames;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        ++repaints;
        QPainter(this).drawImage(rect(), image_);
    }

  private:
    QImage image_;
};

void writeStats(const QString& fileName) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("%1 %2 %3 %4 0 0\n")
                   .arg(QDeadlineTimer::current().deadline())
                   .arg(frames)
                   .arg(frames)
                   .arg(repaints)
                   .toUtf8());
    file.commit();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Veldora baseline"));
    window.resize(500, 330);
    auto* picture = new Picture(&window);
    picture->setGeometry(0, 0, 291, 330);

    QTimer frameTimer;
    QObject::connect(&frameTimer, &QTimer::timeout, picture, [picture] { picture->redraw(); });
    frameTimer.start(50);

    QTimer statsTimer;
    const QString statsFile = qEnvironmentVariable("VELDORA_FRAME_STATS");
    if (!statsFile.isEmpty()) {
        QObject::connect(&statsTimer, &QTimer::timeout, [statsFile] { writeStats(statsFile); });
        statsTimer.start(500);
    }
    window.show();
    return QApplication::exec();
}
