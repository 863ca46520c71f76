// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/PictureImage.h"
#include "display/DXTimer.h"
#include "tests/app/Form2Fixture.h"
#include "tests/app/TimeBaseReadouts.h"

using namespace veldora::app;

namespace {

using PanelTest = Form2Fixture;

// The read-outs with "." as the separator; the window uses the locale's.
using TimeBaseReadouts::kTexts;
const char* const kVolts[11] = {"1.00",  "0.5",   "0.200", "0.175", "0.150", "0.125",
                                "0.100", "0.075", "0.050", "0.020", "0.010"};

QString localised(const char* text) {
    return QString::fromLatin1(text).replace('.', QLocale::system().decimalPoint());
}

TEST_F(PanelTest, StartUpReadouts) {
    EXPECT_TRUE(form->RadioButton1->isChecked());
    EXPECT_FALSE(form->RadioButton2->isChecked());
    EXPECT_EQ(state.TriggerMode, 0);
    EXPECT_EQ(form->Label10->text(), "1");
    EXPECT_EQ(form->Edit2->text(), "0.5");
    EXPECT_EQ(form->Edit1->text(), "0");
    EXPECT_EQ(form->DXTimer1->Interval(), 0u);
    EXPECT_EQ(form->DataFileName, "C:\\data.bin");
    EXPECT_EQ(state.VoltsPerDivLabels[0], "1.00");
    EXPECT_EQ(state.VoltsPerDivLabels[10], "0.010");
    EXPECT_TRUE(TestApp::messages().empty());
}

TEST_F(PanelTest, TimeBaseReadoutForEveryPosition) {
    for (int p = 18; p >= 1; --p) {
        form->TrackBar1->setValue(p);
        EXPECT_EQ(form->Label10->text(), localised(kTexts[p])) << "position " << p;
    }
}

TEST_F(PanelTest, VoltsReadoutForEveryPositionAndSixToEight) {
    for (int p = 10; p >= 0; --p) {
        form->TrackBar3->setValue(p);
        EXPECT_EQ(form->Edit2->text(), kVolts[p]) << "position " << p;
    }
    form->TrackBar3->setValue(6);
    QStringList shown;
    QObject::connect(form->Edit2, &QLineEdit::textChanged, [&shown](const QString& t) { shown << t; });
    form->TrackBar3->setValue(7);
    form->TrackBar3->setValue(8);
    EXPECT_EQ(form->Edit2->text(), "0.050");
    EXPECT_EQ(shown, QStringList({"0.075", "0.050"}));
}

TEST_F(PanelTest, ChosenTriggerButtonSurvivesTheReadouts) {
    struct Choice {
        QRadioButton* button;
        int32_t mode;
    };
    for (const Choice& c :
         {Choice{form->RadioButton2, -1}, Choice{form->RadioButton3, 1}, Choice{form->RadioButton1, 0}}) {
        QTest::mouseClick(c.button, Qt::LeftButton);
        ASSERT_TRUE(c.button->isChecked());
        ASSERT_EQ(state.TriggerMode, c.mode);
        form->TrackBar1->setValue(form->TrackBar1->value() + 1);
        form->TrackBar3->setValue(form->TrackBar3->value() + 1);
        EXPECT_TRUE(c.button->isChecked());
        EXPECT_EQ(state.TriggerMode, c.mode);
    }
}

TEST_F(PanelTest, SelectTriggerButtonChecksAndRecordsOrIgnores) {
    form->SelectTriggerButton(1);
    EXPECT_TRUE(form->RadioButton3->isChecked());
    EXPECT_EQ(state.TriggerMode, 1);
    form->SelectTriggerButton(-1);
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_FALSE(form->RadioButton3->isChecked());
    EXPECT_EQ(state.TriggerMode, -1);
    form->SelectTriggerButton(2); // not a mode
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_EQ(state.TriggerMode, -1);
    // Checking the already checked button runs no click handler.
    state.TriggerMode = 7;
    form->SelectTriggerButton(-1);
    EXPECT_EQ(state.TriggerMode, 7);
}

TEST_F(PanelTest, TypingTheDelayKeyByKey) {
    form->TrackBar5->setValue(30);
    form->Edit1->clear(); // emptying keeps the interval
    EXPECT_EQ(form->DXTimer1->Interval(), 30u);
    QTest::keyClick(form->Edit1, Qt::Key_2);
    EXPECT_EQ(form->DXTimer1->Interval(), 2u);
    QTest::keyClick(form->Edit1, Qt::Key_5);
    EXPECT_EQ(form->DXTimer1->Interval(), 25u);
    QTest::keyClick(form->Edit1, Qt::Key_0);
    EXPECT_EQ(form->DXTimer1->Interval(), 250u);
    EXPECT_EQ(form->TrackBar5->value(), 30);
    EXPECT_TRUE(TestApp::messages().empty());
}

TEST_F(PanelTest, MinusAloneFailsThenMinusFiveGivesZero) {
    form->TrackBar5->setValue(40);
    form->Edit1->clear();
    QTest::keyClick(form->Edit1, Qt::Key_Minus);
    ASSERT_EQ(TestApp::messages().size(), 1u);
    EXPECT_EQ(TestApp::messages()[0].title, "Veldora");
    EXPECT_EQ(TestApp::messages()[0].text, "'-' is not a valid integer value.");
    EXPECT_EQ(form->Edit1->text(), "-"); // the text stays in the box
    EXPECT_EQ(form->DXTimer1->Interval(), 40u);
    EXPECT_EQ(form->TrackBar5->value(), 40);
    QTest::keyClick(form->Edit1, Qt::Key_5);
    EXPECT_EQ(form->DXTimer1->Interval(), 0u);
    EXPECT_EQ(TestApp::messages().size(), 1u);
}

TEST_F(PanelTest, DelayTextsAndTheSlider) {
    struct Case {
        const char* text;
        uint32_t interval;
    };
    for (const Case& c : {Case{" 7", 7}, Case{"$10", 16}, Case{"0x20", 32}, Case{"+9", 9}}) {
        form->Edit1->setText(c.text);
        EXPECT_EQ(form->DXTimer1->Interval(), c.interval) << c.text;
    }
    form->Edit1->setText("12abc");
    ASSERT_EQ(TestApp::messages().size(), 1u);
    EXPECT_EQ(TestApp::messages()[0].text, "'12abc' is not a valid integer value.");
    EXPECT_EQ(form->DXTimer1->Interval(), 9u);
    form->Edit1->setText("");
    EXPECT_EQ(form->DXTimer1->Interval(), 9u);

    form->TrackBar5->setValue(1000);
    EXPECT_EQ(form->DXTimer1->Interval(), 1000u);
    EXPECT_EQ(form->Edit1->text(), "1000");
}

void moveOver(QWidget* widget, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, buttons, modifiers);
    QApplication::sendEvent(widget, &move);
}

TEST_F(PanelTest, DraggingOverTheScreenMovesThePositionSliders) {
    struct Move {
        Qt::MouseButtons buttons;
        Qt::KeyboardModifiers modifiers;
        QPoint at;
        int trackBar4, trackBar2;
    };
    const Move moves[] = {
        {Qt::RightButton, Qt::NoModifier, {300, 30}, 100, 100},
        {Qt::LeftButton | Qt::RightButton, Qt::NoModifier, {300, 30}, 100, 100},
        {Qt::LeftButton | Qt::MiddleButton, Qt::NoModifier, {300, 30}, 100, 100},
        {Qt::LeftButton, Qt::ShiftModifier, {300, 30}, 100, 100},
        {Qt::LeftButton, Qt::ControlModifier, {300, 30}, 100, 100},
        {Qt::LeftButton, Qt::AltModifier, {300, 30}, 100, 100},
        {Qt::NoButton, Qt::NoModifier, {300, 30}, 100, 100},
        {Qt::LeftButton, Qt::NoModifier, {100, 30}, 40, 0},    // row 30: TrackBar2 limited to 0
        {Qt::LeftButton, Qt::NoModifier, {300, 100}, 200, 40}, // column 300: TrackBar4 limited to 200
        {Qt::LeftButton, Qt::NoModifier, {160, 160}, 100, 100},
        {Qt::LeftButton, Qt::NoModifier, {61, 329}, 1, 200},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message() << "buttons " << m.buttons.toInt() << " modifiers "
                                        << m.modifiers.toInt() << " at " << m.at.x() << "," << m.at.y());
        moveOver(form->Image1, m.buttons, m.modifiers, m.at);
        EXPECT_EQ(form->TrackBar4->value(), m.trackBar4);
        EXPECT_EQ(form->TrackBar2->value(), m.trackBar2);
    }
}

TEST_F(PanelTest, DragKeepsGoingOutsideTheScreenWhileTheButtonIsHeld) {
    showForm();
    QWindow* window = form->windowHandle();
    ASSERT_NE(window, nullptr);
    QSignalSpy moves(form->Image1, &PictureImage::mouseMoved);
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(100, 100));
    // The pointer leaves the screen over the panel: the screen still gets the move,
    // in its own coordinates, and the sliders limit the values.
    QTest::mouseMove(window, QPoint(450, 20));
    ASSERT_FALSE(moves.isEmpty());
    EXPECT_EQ(moves.last()[2].toInt(), 450);
    EXPECT_EQ(form->TrackBar4->value(), 200);
    EXPECT_EQ(form->TrackBar2->value(), 0);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(450, 20));
    QTest::mouseMove(window, QPoint(400, 20)); // released: the screen no longer follows
    EXPECT_EQ(form->TrackBar4->value(), 200);
}

TEST_F(PanelTest, CentringButtonsRunTheChangeHandlerOnlyOnAChange) {
    QSignalSpy moved4(form->TrackBar4, &QSlider::valueChanged);
    QSignalSpy moved2(form->TrackBar2, &QSlider::valueChanged);
    form->Button2->click();
    form->Button1->click();
    EXPECT_EQ(moved4.count(), 0);
    EXPECT_EQ(moved2.count(), 0);

    form->TrackBar4->setValue(20);
    form->TrackBar2->setValue(180);
    form->Button2->click();
    form->Button1->click();
    EXPECT_EQ(form->TrackBar4->value(), 100);
    EXPECT_EQ(form->TrackBar2->value(), 100);
    EXPECT_EQ(moved4.count(), 2);
    EXPECT_EQ(moved2.count(), 2);
}

TEST_F(PanelTest, SecondaryWindowsShowWithoutBlockingAndComeToTheFront) {
    showForm();
    QTest::mouseClick(form->Image3, Qt::LeftButton, {}, QPoint(12, 12));
    QCoreApplication::processEvents();
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QApplication::activeWindow(), about.get());

    form->Button8->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(QApplication::activeWindow(), dialog.get());

    // The main window stays usable; pressing again only brings the shown window forward.
    form->TrackBar3->setValue(4);
    EXPECT_EQ(form->Edit2->text(), "0.150");
    form->Image3Click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), about.get());
}

// The read-outs use the separator of the user's locale. The locale is read once per
// process, so a German one is tried in a fresh copy of this test program.
TEST_F(PanelTest, ReadoutsUseTheLocalesDecimalSeparator) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EXIT(
        {
            const QString point = QLocale::system().decimalPoint();
            form->TrackBar1->setValue(3);
            const QString third = form->Label10->text();
            form->TrackBar1->setValue(8);
            const QString quarter = form->Label10->text();
            const bool ok = point == "," && third == "0,666666666666667" && quarter == "0,25" &&
                            form->Edit2->text() == "0.5"; // the volts table is fixed text
            std::fprintf(stderr, "separator %s readouts %s %s\n", qPrintable(point), qPrintable(third),
                         qPrintable(quarter));
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "separator , readouts 0,666666666666667 0,25");
    if (previous)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

} // namespace
