// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/Icons.h"
#include "app/PictureImage.h"
#include "display/DXTimer.h"
#include "display/Graticule.h"
#include "tests/app/Form2Fixture.h"

using namespace veldora::display;
using namespace veldora::app;

namespace {

using Form2LayoutTest = Form2Fixture;

TEST_F(Form2LayoutTest, WindowCaptionSizePlaceAndIcon) {
    EXPECT_EQ(form->windowTitle(), "Veldora 1.0");
    EXPECT_EQ(form->size(), QSize(500, 330));
    EXPECT_EQ(form->pos(), QPoint(195, 168));
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->font().family(), "DejaVu Sans Condensed");
    EXPECT_EQ(form->font().pixelSize(), 11);
}

TEST_F(Form2LayoutTest, EveryControlAtItsPlaceAndSize) {
    struct Place {
        QWidget* control;
        QRect rect;
    };
    const Place places[] = {
        {form->Image1, {0, 0, 291, 330}},         {form->Image2, {0, 0, 291, 330}},
        {form->DriverBox, {304, 8, 97, 21}},      {form->FormatBox, {128, 24, 137, 21}},
        {form->Panel1, {291, 0, 209, 330}},       {form->TrackBar1, {8, 0, 169, 25}},
        {form->Image3, {176, 8, 25, 25}},         {form->TrackBar3, {8, 40, 169, 25}},
        {form->Image5, {176, 40, 25, 25}},        {form->TrackBar4, {8, 80, 169, 25}},
        {form->Button2, {176, 88, 25, 17}},       {form->TrackBar2, {8, 120, 169, 25}},
        {form->Button1, {176, 128, 25, 17}},      {form->TrackBar5, {8, 160, 201, 17}},
        {form->Image4, {176, 184, 25, 25}},       {form->RadioButton1, {128, 190, 41, 25}},
        {form->Edit1, {40, 192, 41, 21}},         {form->RadioButton2, {128, 214, 25, 17}},
        {form->Edit2, {40, 224, 41, 21}},         {form->Button9, {160, 224, 41, 17}},
        {form->RadioButton3, {128, 232, 33, 17}}, {form->Button3, {8, 256, 97, 17}},
        {form->Button6, {112, 256, 81, 17}},      {form->Button4, {8, 280, 97, 17}},
        {form->Button7, {112, 280, 81, 17}},      {form->Button5, {8, 304, 97, 17}},
        {form->Button8, {112, 304, 81, 17}},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.control->metaObject()->className());
        EXPECT_EQ(place.control->geometry(), place.rect);
        const bool onPanel = place.control->parentWidget() == form->Panel1;
        const bool onWindow = place.control->parentWidget() == form.get();
        EXPECT_TRUE(onPanel || onWindow);
    }
    EXPECT_TRUE(form->Image2->isHidden());
    EXPECT_TRUE(form->DriverBox->isHidden());
    EXPECT_TRUE(form->FormatBox->isHidden());
    EXPECT_FALSE(form->Image1->isHidden());
    EXPECT_EQ(form->Panel1->frameShape(), QFrame::Panel);
    EXPECT_EQ(form->Panel1->frameShadow(), QFrame::Raised);
    EXPECT_EQ(form->Panel1->lineWidth(), 1);
}

TEST_F(Form2LayoutTest, CaptionsPlacesAndFonts) {
    struct Caption {
        QLabel* label;
        const char* text;
        QPoint at;
        int pixelSize;
    };
    const Caption captions[] = {
        {form->Label5, "Horizontal", {16, 28}, 9}, {form->Label11, "Milisec.", {120, 28}, 9},
        {form->Label6, "Vertical", {80, 68}, 9},   {form->Label7, "Trigger X", {72, 108}, 9},
        {form->Label8, "Trigger Y", {72, 148}, 9}, {form->Label9, "Delay", {80, 176}, 9},
        {form->Label12, "Auto", {128, 181}, 9},    {form->Label1, "Time:", {8, 200}, 11},
        {form->Label3, "MiliSec.", {88, 200}, 11}, {form->Label2, "Vertical", {0, 232}, 11},
        {form->Label4, "Volts", {88, 232}, 11},
    };
    for (const auto& c : captions) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.label->text(), c.text);
        EXPECT_EQ(c.label->pos(), c.at);
        EXPECT_EQ(c.label->font().pixelSize(), c.pixelSize);
        EXPECT_EQ(c.label->font().family(), "DejaVu Sans Condensed");
    }
    EXPECT_EQ(form->Label10->pos(), QPoint(72, 28));
    EXPECT_EQ(form->Label10->font().pixelSize(), 9);

    struct Button {
        QAbstractButton* button;
        const char* caption;
    };
    const Button buttons[] = {
        {form->Button1, "C"},        {form->Button2, "C"},         {form->Button3, "Load"},
        {form->Button4, "Save"},     {form->Button5, "Pause"},     {form->Button6, "Merge"},
        {form->Button7, "Clear"},    {form->Button8, "File Name"}, {form->Button9, "Revers"},
        {form->RadioButton1, "+/-"}, {form->RadioButton2, "-"},    {form->RadioButton3, "+"},
    };
    for (const auto& b : buttons)
        EXPECT_EQ(b.button->text(), b.caption);
}

TEST_F(Form2LayoutTest, SliderRangesStartValuesAndTicks) {
    struct Slider {
        QSlider* slider;
        int minimum, maximum, start;
        QSlider::TickPosition ticks;
    };
    const Slider sliders[] = {
        {form->TrackBar1, 1, 18, 2, QSlider::TicksBothSides},
        {form->TrackBar3, 0, 10, 1, QSlider::TicksBothSides},
        {form->TrackBar4, 0, 200, 100, QSlider::TicksBelow},
        {form->TrackBar2, 0, 200, 100, QSlider::TicksBelow},
        {form->TrackBar5, 0, 1000, 0, QSlider::TicksBelow},
    };
    for (const auto& s : sliders) {
        SCOPED_TRACE(s.slider->geometry().y());
        EXPECT_EQ(s.slider->orientation(), Qt::Horizontal);
        EXPECT_EQ(s.slider->minimum(), s.minimum);
        EXPECT_EQ(s.slider->maximum(), s.maximum);
        EXPECT_EQ(s.slider->value(), s.start);
        EXPECT_EQ(s.slider->tickPosition(), s.ticks);
    }
    EXPECT_EQ(form->TrackBar1->tickInterval(), 1);
    EXPECT_EQ(form->TrackBar3->tickInterval(), 1);
}

TEST_F(Form2LayoutTest, TabOrderOnThePanel) {
    const std::vector<QWidget*> expected = {
        form->TrackBar1, form->TrackBar2, form->TrackBar3,    form->Button1,      form->TrackBar4,
        form->Button2,   form->Edit1,     form->Edit2,        form->Button3,      form->Button4,
        form->Button5,   form->TrackBar5, form->RadioButton1, form->RadioButton2, form->RadioButton3,
        form->Button6,   form->Button7,   form->Button8,      form->Button9};
    std::vector<QWidget*> chain;
    QWidget* w = form->TrackBar1;
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end())
            chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != form->TrackBar1 && chain.size() < 100);
    EXPECT_EQ(chain, expected);
}

TEST_F(Form2LayoutTest, ScreenStartsWithTheGraticuleAndIconsAreTransparent) {
    EXPECT_EQ(form->Image1->picture(), makeGraticule());
    EXPECT_EQ(form->Image2->picture(), makeGraticule());
    EXPECT_FALSE(form->Image1->transparent());
    EXPECT_EQ(form->Image3->picture(), makeInformationIcon());
    EXPECT_EQ(form->Image5->picture(), makeSaveIcon());
    EXPECT_EQ(form->Image4->picture(), makePictureIcon());
    for (PictureImage* icon : {form->Image3, form->Image4, form->Image5}) {
        EXPECT_TRUE(icon->transparent());
        EXPECT_EQ(icon->cursor().shape(), Qt::PointingHandCursor);
    }
}

TEST_F(Form2LayoutTest, RefreshTimerAsTheLayoutSetsIt) {
    // FormCreate has replaced the layout's 50 with the "Delay" slider's 0.
    ASSERT_TRUE(form->DXTimer1);
    EXPECT_FALSE(form->DXTimer1->ActiveOnly());
    EXPECT_TRUE(form->DXTimer1->Enabled());
    EXPECT_TRUE(form->DXTimer1->Started());
    EXPECT_EQ(form->DXTimer1->Interval(), 0u);
    EXPECT_TRUE(form->DXTimer1->OnTimer != nullptr);
}

TEST(Form2CreatedTest, LayoutStateBeforeFormCreate) {
    ProgramState state;
    TForm2 created(state);
    EXPECT_EQ(state.Form2, &created);
    EXPECT_TRUE(created.RadioButton2->isChecked());
    EXPECT_FALSE(created.RadioButton1->isChecked());
    EXPECT_EQ(state.TriggerMode, 0); // the layout's check ran no click handler
    EXPECT_EQ(created.Label10->text(), "Label10");
    EXPECT_EQ(created.Edit1->text(), "Edit1");
    EXPECT_EQ(created.Edit2->text(), "Edit2");
    EXPECT_EQ(created.DXTimer1->Interval(), 50u);
    EXPECT_TRUE(created.DataFileName.empty());
    EXPECT_FALSE(created.CaptureStream);
}

TEST_F(Form2LayoutTest, ResizingStretchesTheScreenAndKeepsThePanelAtTheRight) {
    showForm();
    form->resize(700, 420);
    QCoreApplication::processEvents();
    ASSERT_EQ(form->size(), QSize(700, 420));
    EXPECT_EQ(form->Image1->geometry(), QRect(0, 0, 491, 420));
    EXPECT_EQ(form->Image2->geometry(), QRect(0, 0, 491, 420));
    EXPECT_EQ(form->Panel1->geometry(), QRect(491, 0, 209, 420));
    // The panel's controls keep their places on the panel.
    EXPECT_EQ(form->Button8->geometry(), QRect(112, 304, 81, 17));

    // The screen shows its 291 x 330 picture stretched: the grid line at picture
    // x = 10 lands at control x = 10 * 491 / 291 (nearest pixel rule).
    const QImage shown = form->Image1->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(491, 420));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(shown.pixelColor(5, 200), QColor(0, 0, 0));
    const int gridX = 10 * 491 / 291 + 1, fieldY = 200; // a column inside the stretched line
    EXPECT_EQ(shown.pixelColor(gridX, fieldY), QColor(0, 150, 0));

    form->Image4Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->size(), QSize(500, 330));
    EXPECT_EQ(form->pos(), QPoint(195, 168));
    EXPECT_EQ(form->Image1->geometry(), QRect(0, 0, 291, 330));
    EXPECT_EQ(form->Panel1->geometry(), QRect(291, 0, 209, 330));
}

TEST_F(Form2LayoutTest, Image4ClickAtTheDesignedSizeChangesNothing) {
    showForm();
    const QRect before = form->geometry();
    form->Image4->clicked();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->geometry(), before);
}

TEST_F(Form2LayoutTest, ClosingTheMainWindowEndsTheLoopWithDialogsOpen) {
    showForm();
    form->Button8Click();
    form->Image3Click();
    ASSERT_TRUE(dialog->isVisible());
    ASSERT_TRUE(about->isVisible());

    QEventLoop loop;
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    // A watchdog, so that a window that fails to end the loop fails the test instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&loop] { loop.exit(99); });
    watchdog.start(10000);
    EXPECT_EQ(loop.exec(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(TestApp::messages().empty());
}

} // namespace
