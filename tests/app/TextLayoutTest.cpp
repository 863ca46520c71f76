// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// No caption overprints another or a control, in the face the program chose, at every
// time-base position: each text is measured where it is drawn (the control rendered
// with its caption and without, the pixels that differ) and compared with every other
// text and every other control.
#include <QAbstractButton>
#include <QFontInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/WindowFont.h"
#include "tests/app/Form2Fixture.h"
#include "tests/app/TimeBaseReadouts.h"

using namespace veldora::app;

namespace {

QString captionOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    return {};
}

void setCaption(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
}

// Where the control's caption is drawn, in its parent's coordinates; empty when it
// draws nothing.
QRect renderedText(QWidget* w) {
    const QString caption = captionOf(w);
    const QImage with = w->grab().toImage();
    setCaption(w, QString());
    const QImage without = w->grab().toImage();
    setCaption(w, caption);
    QRect ink;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y))
                ink |= QRect(x, y, 1, 1);
    return ink.translated(w->pos());
}

// The width of `text` drawn where nothing clips it.
int freeInkWidth(const QFont& font, const QString& text) {
    QImage image(600, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(100, 40, text);
    }
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < left ? 0 : right - left + 1;
}

std::string describe(QWidget* w) {
    const QString caption = captionOf(w);
    return (caption.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : '"' + caption + '"')
        .toStdString();
}

std::string describe(const QRect& r) {
    return "(" + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height()) + ")";
}

// Every caption drawn on `parent` stays inside `area`, clear of the other captions and
// of every other visible control; a button's caption keeps off its frame.
void expectNoOverprint(QWidget* parent, const QRect& area) {
    struct Text {
        QWidget* control;
        QRect ink;
    };
    std::vector<Text> texts;
    std::vector<QWidget*> controls;
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isHidden())
            continue;
        controls.push_back(w);
        if (!captionOf(w).isEmpty())
            texts.push_back({w, renderedText(w)});
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        const Text& t = texts[i];
        SCOPED_TRACE(describe(t.control) + " drawn at " + describe(t.ink));
        ASSERT_FALSE(t.ink.isEmpty());
        EXPECT_TRUE(area.contains(t.ink)) << "outside " << describe(area);
        for (size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(t.ink.intersects(texts[j].ink))
                << "overprints " << describe(texts[j].control) << " drawn at " << describe(texts[j].ink);
        for (QWidget* other : controls) {
            if (other != t.control && !qobject_cast<QLabel*>(other)) {
                EXPECT_FALSE(t.ink.intersects(other->geometry()))
                    << "overprints " << describe(other) << " at " << describe(other->geometry());
            }
        }
        if (qobject_cast<QPushButton*>(t.control)) {
            // Inside the frame line and the bevel within it, with a pixel of air.
            EXPECT_TRUE(t.control->geometry().adjusted(3, 2, -3, -2).contains(t.ink))
                << "touches its frame " << describe(t.control->geometry());
        }
        if (auto* label = qobject_cast<QLabel*>(t.control)) {
            // Not cut: the label is wide enough for its whole caption.
            const QFontMetrics metrics(label->font());
            EXPECT_GE(label->width(), metrics.horizontalAdvance(label->text()));
            EXPECT_EQ(t.ink.width(), freeInkWidth(label->font(), label->text()));
        }
    }
}

using TextLayoutTest = Form2Fixture;

TEST_F(TextLayoutTest, CaptionsAreSetInTheChosenFace) {
    // The face the test command installs; without it the program falls back.
    EXPECT_EQ(windowFaceFamily(), "DejaVu Sans Condensed");
    for (QLabel* label : {form->Label1, form->Label5, form->Label10, form->Label11})
        EXPECT_EQ(QFontInfo(label->font()).family(), "DejaVu Sans Condensed");
    EXPECT_EQ(QFontInfo(form->Button9->font()).family(), "DejaVu Sans Condensed");
    EXPECT_EQ(QFontInfo(dialog->Button2->font()).family(), "DejaVu Sans Condensed");
}

TEST_F(TextLayoutTest, NoTextOverprintsAnotherAtAnyTimeBase) {
    const QRect inside = form->Panel1->contentsRect();
    for (int p = 1; p <= 18; ++p) {
        SCOPED_TRACE("time base " + std::to_string(p));
        form->TrackBar1->setValue(p);
        ASSERT_EQ(form->Label10->text(), TimeBaseReadouts::kTexts[p]);
        EXPECT_EQ(form->Label10->pos(), QPoint(72, 28));
        expectNoOverprint(form->Panel1, inside);
        // "Milisec." keeps its place whenever the read-out leaves room for it, and
        // always stands after the read-out.
        const int readoutEnd = form->Label10->x() + form->Label10->width();
        if (readoutEnd < 120) {
            EXPECT_EQ(form->Label11->pos(), QPoint(120, 28));
        }
        EXPECT_GT(form->Label11->x(), readoutEnd);
    }
}

TEST_F(TextLayoutTest, NoTextOverprintsAnotherInTheDialogs) {
    expectNoOverprint(dialog.get(), dialog->rect());
    expectNoOverprint(about.get(), about->rect());
}

} // namespace
