// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

#include "app/DesktopButtonIcons.h"
#include "app/DesktopPlatform.h"
#include "app/Icons.h"
#include "app/PictureImage.h"
#include "tests/app/Form2Fixture.h"

using namespace veldora::app;

namespace {

using DialogTest = Form2Fixture;

TEST_F(DialogTest, FileNameDialogLayout) {
    EXPECT_EQ(state.Form1, dialog.get());
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_EQ(dialog->windowTitle(), "File Name");
    EXPECT_EQ(dialog->size(), QSize(187, 64));
    EXPECT_EQ(dialog->minimumSize(), QSize(187, 64));
    EXPECT_EQ(dialog->maximumSize(), QSize(187, 64));
    EXPECT_EQ(dialog->pos(), QPoint(345, 322));
    EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog->Edit1->geometry(), QRect(8, 8, 161, 21));
    EXPECT_EQ(dialog->Edit1->text(), "C:\\data.bin");
    EXPECT_EQ(dialog->Button2->geometry(), QRect(8, 40, 41, 17));
    EXPECT_EQ(dialog->Button2->text(), "Cancel");
    EXPECT_EQ(dialog->Button1->geometry(), QRect(136, 40, 41, 17));
    EXPECT_EQ(dialog->Button1->text(), "Ok");
    EXPECT_EQ(dialog->Edit1->nextInFocusChain(), dialog->Button1);
    EXPECT_EQ(dialog->Button1->nextInFocusChain(), dialog->Button2);
    EXPECT_EQ(dialog->font().pixelSize(), 11);
}

TEST_F(DialogTest, OkTakesTheTextUnchanged) {
    form->Button8Click();
    dialog->Button1->click();
    EXPECT_EQ(form->DataFileName, "C:\\data.bin");
    EXPECT_FALSE(dialog->isVisible());

    form->Button8Click();
    dialog->Edit1->setText("  /tmp/some trace.bin ");
    dialog->Button1->click();
    EXPECT_EQ(form->DataFileName, "  /tmp/some trace.bin ");

    form->Button8Click();
    dialog->Edit1->clear();
    dialog->Button1->click();
    EXPECT_EQ(form->DataFileName, "");
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DialogTest, CancelKeepsTheNameAndTheTypedText) {
    form->Button8Click();
    dialog->Edit1->setText("new.bin");
    dialog->Button2->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(form->DataFileName, "C:\\data.bin");

    form->Button8Click();
    EXPECT_EQ(dialog->Edit1->text(), "new.bin");
    dialog->Button1->click();
    EXPECT_EQ(form->DataFileName, "new.bin");
}

TEST_F(DialogTest, EnterAndEscapePressNoButtonAndTheCloseBoxHides) {
    showForm();
    form->Button8Click();
    QCoreApplication::processEvents();
    dialog->Edit1->setText("typed.bin");
    dialog->Edit1->setFocus();
    QTest::keyClick(dialog->Edit1, Qt::Key_Return);
    QTest::keyClick(dialog->Edit1, Qt::Key_Escape);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(form->DataFileName, "C:\\data.bin");
    EXPECT_FALSE(dialog->Button1->autoDefault());
    EXPECT_FALSE(dialog->Button2->autoDefault());

    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(state.Form1, dialog.get()); // hidden, not destroyed
    EXPECT_EQ(form->DataFileName, "C:\\data.bin");
    EXPECT_TRUE(form->isVisible());
}

TEST_F(DialogTest, AboutBoxLayout) {
    EXPECT_EQ(state.Form3, about.get());
    EXPECT_TRUE(about->isHidden());
    EXPECT_EQ(about->windowTitle(), "Form3");
    EXPECT_EQ(about->size(), QSize(224, 86));
    EXPECT_EQ(about->maximumSize(), QSize(224, 86));
    EXPECT_EQ(about->pos(), QPoint(286, 325));
    EXPECT_EQ(about->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(about->Image1->geometry(), QRect(16, 8, 49, 57));
    EXPECT_EQ(about->Image1->picture(), makeApplicationIcon());
    EXPECT_FALSE(about->Image1->transparent());

    struct Line {
        QLabel* label;
        const char* text;
        QPoint at;
        int pixelSize;
        QColor colour;
    };
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    const Line lines[] = {
        {about->Label1, "Veldora 1.0", {72, 8}, 19, QColor(0, 0, 128)},
        {about->Label2, "2026 Veldora team", {72, 40}, 13, QColor(0, 128, 0)},
        {about->Label3, "veldora@example.org", {80, 64}, 11, windowText},
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(l.text);
        EXPECT_EQ(l.label->text(), l.text);
        EXPECT_EQ(l.label->pos(), l.at);
        EXPECT_EQ(l.label->font().pixelSize(), l.pixelSize);
        EXPECT_TRUE(l.label->font().bold());
        EXPECT_EQ(l.label->palette().color(QPalette::WindowText), l.colour);
        // The line fits in the box.
        EXPECT_LE(l.label->geometry().right(), 223);
    }

    // Closed with its close box, it is hidden and shown again by the icon.
    form->Image3Click();
    about->close();
    EXPECT_FALSE(about->isVisible());
    form->Image3Click();
    EXPECT_TRUE(about->isVisible());
}

// A desktop whose button face differs from its window colour: the file-name dialog
// still shows the button face, as the main window does.
TEST(DialogFaceTest, FileNameDialogIsDrawnInTheButtonFace) {
    const QPalette saved = QApplication::palette();
    QPalette desktop = saved;
    desktop.setColor(QPalette::Window, QColor(10, 200, 10));
    desktop.setColor(QPalette::Button, QColor(200, 10, 10));
    QApplication::setPalette(desktop);
    {
        ProgramState state;
        TForm1 dialog(state);
        EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(200, 10, 10));
        const QImage shown = dialog.grab().toImage();
        EXPECT_EQ(shown.pixelColor(100, 60), QColor(200, 10, 10)); // below the buttons' row
    }
    QApplication::setPalette(saved);
}

// A style that asks for icons on dialog buttons, as Qt's theme for GNOME does.
class ButtonIconsStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        return hint == SH_DialogButtonBox_ButtonsHaveIcons
                   ? 1
                   : QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QIcon okIconUnder(QStyle* style) {
    QDialogButtonBox buttons;
    buttons.setStyle(style);
    return buttons.addButton(QDialogButtonBox::Ok)->icon();
}

// GNOME's dialogs show no icons on their buttons, whatever Qt's theme for it says; other
// desktops keep their own choice.
TEST(DialogButtonIconsTest, FollowTheDesktop) {
    EXPECT_FALSE(desktopShowsButtonIcons(u"GNOME"));
    EXPECT_FALSE(desktopShowsButtonIcons(u"ubuntu:GNOME"));
    EXPECT_FALSE(desktopShowsButtonIcons(u"GNOME-Classic:GNOME"));
    EXPECT_TRUE(desktopShowsButtonIcons(u"KDE"));
    EXPECT_TRUE(desktopShowsButtonIcons(u"XFCE"));
    EXPECT_TRUE(desktopShowsButtonIcons(u""));

    ButtonIconsStyle asking;
    ASSERT_FALSE(okIconUnder(&asking).isNull());
    const std::unique_ptr<QStyle> wrapped(withoutButtonIcons(new ButtonIconsStyle));
    EXPECT_TRUE(okIconUnder(wrapped.get()).isNull());
    // Everything else is the wrapped style's.
    const QStyle& askingStyle = asking;
    EXPECT_EQ(wrapped->styleHint(QStyle::SH_DialogButtonLayout),
              askingStyle.styleHint(QStyle::SH_DialogButtonLayout));

    // Elsewhere the application's style stays as it is.
    QStyle* const before = QApplication::style();
    followDesktopButtonIcons(u"KDE");
    EXPECT_EQ(QApplication::style(), before);
}

// XWayland only where the shell's title bar is wanted: GNOME on Wayland, with a Qt that
// cannot draw GNOME's, XWayland there, and no platform chosen by the user.
TEST(DialogButtonIconsTest, GnomeOnWaylandWithAnOlderQtRunsThroughXWayland) {
    const QVersionNumber qt64(6, 4, 2);
    const QVersionNumber qt68(6, 8, 0);
    EXPECT_EQ(platformForDesktop({u"", u"wayland", u"GNOME", u":0", qt64}), u"xcb;wayland");
    EXPECT_EQ(platformForDesktop({u"", u"Wayland", u"ubuntu:GNOME", u":1", qt64}), u"xcb;wayland");
    EXPECT_EQ(platformForDesktop({u"", u"wayland", u"GNOME", u":0", qt68}), u"");
    EXPECT_EQ(platformForDesktop({u"", u"wayland", u"GNOME", u":0", QVersionNumber(6, 10)}), u"");
    EXPECT_EQ(platformForDesktop({u"wayland", u"wayland", u"GNOME", u":0", qt64}), u"");
    EXPECT_EQ(platformForDesktop({u"", u"wayland", u"GNOME", u"", qt64}), u"");
    EXPECT_EQ(platformForDesktop({u"", u"wayland", u"KDE", u":0", qt64}), u"");
    EXPECT_EQ(platformForDesktop({u"", u"x11", u"GNOME", u":0", qt64}), u"");
}

} // namespace
