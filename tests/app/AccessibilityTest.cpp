// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// What a screen reader or a keyboard user meets: every control it can reach has a name
// through Qt's accessibility interface, sliders report their values, the tab chain
// runs the designed order and then the three icons, and Space or Enter on an icon runs
// its click handler.
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/PictureImage.h"
#include "app/SavePictureDialog.h"
#include "display/DXTimer.h"
#include "tests/app/Form2Fixture.h"
#include "tests/support/WaitUntil.h"

using namespace veldora::app;

namespace {

QString accessibleText(QObject* object, QAccessible::Text kind) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(kind) : QString();
}

std::string nameOf(QWidget* w) {
    return w->metaObject()->className() + std::string(" ") + w->objectName().toStdString() + " at (" +
           std::to_string(w->x()) + "," + std::to_string(w->y()) + ")";
}

class AccessibilityTest : public Form2Fixture {
  protected:
    void TearDown() override {
        SavePictureDialog::testDriver = {};
        Form2Fixture::TearDown();
    }
    // The main window shown and active, so that it takes the keyboard focus.
    void activate() {
        form->DXTimer1->setEnabled(false);
        showForm();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
};

// What a screen reader can reach: the focusable controls of each window while it is
// shown, and the list of each shown combo box while it is open. Widgets that exist but
// are never shown (the main window's two hidden combo boxes and their lists) are not
// reachable, whatever Qt version makes them.
TEST_F(AccessibilityTest, EveryControlAScreenReaderReachesHasAName) {
    SavePictureDialog picker(form.get());
    QStringList lists; // the names of the open lists
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(dialog.get()),
                            static_cast<QWidget*>(about.get()), static_cast<QWidget*>(&picker)}) {
        SCOPED_TRACE(nameOf(window));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        int focusable = 0;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->focusPolicy() == Qt::NoFocus)
                continue;
            ++focusable;
            SCOPED_TRACE(nameOf(w));
            ASSERT_NE(QAccessible::queryAccessibleInterface(w), nullptr);
            EXPECT_FALSE(accessibleText(w, QAccessible::Name).trimmed().isEmpty());
        }
        EXPECT_GT(focusable, window == about.get() ? -1 : 1);

        for (QComboBox* combo : window->findChildren<QComboBox*>()) {
            if (!combo->isVisible())
                continue;
            SCOPED_TRACE(nameOf(combo));
            combo->showPopup();
            QAbstractItemView* list = combo->view();
            const auto shown = [list] { return list->isVisible(); };
            ASSERT_TRUE(testsupport::waitUntil(shown, [] { QCoreApplication::processEvents(); }));
            lists.push_back(accessibleText(list, QAccessible::Name));
            combo->hidePopup();
        }
        window->hide();
    }
    // The export dialog's two lists, named after their labels rather than the item shown.
    lists.sort();
    EXPECT_EQ(lists, QStringList({QStringLiteral("Files of type"), QStringLiteral("Look in")}));
}

TEST_F(AccessibilityTest, NamesAndDescriptionsSayWhatControlsDo) {
    const std::pair<QWidget*, const char*> names[] = {
        {form->TrackBar1, "Horizontal: time base"},
        {form->TrackBar3, "Vertical: volts per division"},
        {form->TrackBar4, "Trigger X: horizontal position"},
        {form->TrackBar2, "Trigger Y: vertical position and trigger level"},
        {form->TrackBar5, "Delay: refresh delay in milliseconds"},
        {form->Button2, "Centre Trigger X"},
        {form->Button1, "Centre Trigger Y"},
        {form->Edit1, "Refresh delay, milliseconds"},
        {form->Edit2, "Volts per division"},
        {form->Image3, "About"},
        {form->Image5, "Export picture"},
        {form->Image4, "Restore window size"},
        {form->Image1, "Oscilloscope screen"},
        {form->Button3, "Load"},
        {dialog->Button1, "Ok"},
        {dialog->Button2, "Cancel"},
    };
    for (const auto& [control, name] : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(accessibleText(control, QAccessible::Name), name);
        EXPECT_FALSE(accessibleText(control, QAccessible::Description).isEmpty());
    }
    EXPECT_FALSE(accessibleText(dialog->Edit1, QAccessible::Name).isEmpty());
    // The captions of the About box are read as they stand.
    EXPECT_EQ(accessibleText(about->Label1, QAccessible::Name), "Veldora 1.0");
    // Buttons by role; the icons act as buttons with a press action, the screen is a picture.
    for (PictureImage* icon : {form->Image3, form->Image4, form->Image5}) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(icon);
        EXPECT_EQ(face->role(), QAccessible::Button);
        ASSERT_NE(face->actionInterface(), nullptr);
        EXPECT_TRUE(
            face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->Image1)->role(), QAccessible::Graphic);
    // Tooltips where the caption says little.
    for (QWidget* w : {static_cast<QWidget*>(form->Button1), static_cast<QWidget*>(form->Button2),
                       static_cast<QWidget*>(form->Image3), static_cast<QWidget*>(form->Image4),
                       static_cast<QWidget*>(form->Image5)})
        EXPECT_FALSE(w->toolTip().isEmpty()) << nameOf(w);
}

TEST_F(AccessibilityTest, SlidersReportTheirValues) {
    for (QSlider* slider :
         {form->TrackBar1, form->TrackBar2, form->TrackBar3, form->TrackBar4, form->TrackBar5}) {
        SCOPED_TRACE(accessibleText(slider, QAccessible::Name).toStdString());
        QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(slider)->valueInterface();
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->currentValue().toInt(), slider->value());
        EXPECT_EQ(value->minimumValue().toInt(), slider->minimum());
        EXPECT_EQ(value->maximumValue().toInt(), slider->maximum());
        slider->setValue(slider->minimum() + 1);
        EXPECT_EQ(value->currentValue().toInt(), slider->minimum() + 1);
    }
}

TEST_F(AccessibilityTest, TabRunsTheDesignedOrderThenTheIcons) {
    activate();
    // The three trigger buttons are one group: Tab stops at the checked one ("+/-"
    // after start-up) and the arrow keys move within the group.
    const std::vector<QWidget*> expected = {
        form->TrackBar1, form->TrackBar2, form->TrackBar3,    form->Button1, form->TrackBar4,
        form->Button2,   form->Edit1,     form->Edit2,        form->Button3, form->Button4,
        form->Button5,   form->TrackBar5, form->RadioButton1, form->Button6, form->Button7,
        form->Button8,   form->Button9,   form->Image3,       form->Image5,  form->Image4};
    ASSERT_TRUE(form->RadioButton1->isChecked());
    form->TrackBar1->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), form->TrackBar1);
    std::vector<QWidget*> chain{form->TrackBar1};
    while (chain.size() < 2 * expected.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == form->TrackBar1)
            break;
        chain.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(QApplication::focusWidget(), form->TrackBar1) << "the chain closes";

    // Backwards from the first control to the last icon.
    QTest::keyClick(form->TrackBar1, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), form->Image4);

    // Within the trigger group: Down moves to "-" and checks it.
    form->RadioButton1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->RadioButton1, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), form->RadioButton2);
    EXPECT_TRUE(form->RadioButton2->isChecked());
}

TEST_F(AccessibilityTest, SpaceAndEnterOnAnIconRunItsHandler) {
    activate();
    int exports = 0;
    SavePictureDialog::testDriver = [&exports](SavePictureDialog& picker) {
        ++exports;
        picker.reject();
    };
    // The information icon shows the About box.
    form->Image3->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(form->Image3->hasFocus());
    QTest::keyClick(form->Image3, Qt::Key_Space);
    EXPECT_TRUE(about->isVisible());
    // The disk icon opens the export dialog, with Space and with Enter.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Image5->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Image5, Qt::Key_Space);
    EXPECT_EQ(exports, 1);
    QTest::keyClick(form->Image5, Qt::Key_Return);
    EXPECT_EQ(exports, 2);
    // The picture icon restores the window's size.
    form->resize(700, 420);
    QCoreApplication::processEvents();
    form->Image4->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Image4, Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->size(), QSize(500, 330));
    // Other keys do nothing.
    QTest::keyClick(form->Image5, Qt::Key_A);
    EXPECT_EQ(exports, 2);
    EXPECT_TRUE(TestApp::messages().empty());
}

TEST_F(AccessibilityTest, AFocusedIconShowsAMark) {
    activate();
    form->Button9->setFocus(Qt::TabFocusReason);
    const QImage unfocused = form->Image3->grab().toImage();
    form->Image3->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(form->Image3->hasFocus());
    const QImage focused = form->Image3->grab().toImage();
    const QRgb mark = form->Image3->palette().color(QPalette::Highlight).rgb();
    int changed = 0;
    for (int y = 0; y < focused.height(); ++y)
        for (int x = 0; x < focused.width(); ++x)
            if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                ++changed;
                EXPECT_EQ(focused.pixel(x, y), mark) << x << "," << y;
            }
    // A frame all around the 25 x 25 icon.
    EXPECT_GE(changed, 4 * 24 - 10);
}

} // namespace
