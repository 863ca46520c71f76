// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's layout, its wiring, showing and closing.
#include "app/TForm2.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSlider>

#include <algorithm>

#include "app/Application.h"
#include "app/ApplicationIcon.h"
#include "app/DXSound.h"
#include "app/FrameStats.h"
#include "app/Icons.h"
#include "app/PictureImage.h"
#include "app/WindowFont.h"
#include "capture/SoundCaptureStream.h"
#include "display/DXTimer.h"
#include "display/Graticule.h"

namespace veldora::app {

namespace {

// Every handler called from Qt runs through the application's guard, so an exception
// is shown to the user and never crosses Qt's event machinery.
template <class Handler> auto guarded(Handler handler) {
    return [handler] { Application::instance().guard(handler); };
}

QSlider* makeSlider(QWidget* parent, int left, int top, int width, int height, int minimum, int maximum,
                    int position, QSlider::TickPosition ticks, int tickInterval) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setGeometry(left, top, width, height);
    slider->setRange(minimum, maximum);
    slider->setValue(position);
    slider->setSingleStep(1);
    slider->setPageStep(2);
    slider->setTickPosition(ticks);
    slider->setTickInterval(tickInterval);
    return slider;
}

QLabel* makeLabel(QWidget* parent, const QString& caption, int left, int top, const QFont& font) {
    auto* label = new QLabel(caption, parent);
    label->setFont(font);
    // A first letter that reaches left of its origin ("T" in the condensed face) would
    // be cut by the label's edge: the caption starts that far in.
    const int overhang = -std::min(0, QFontMetrics(font).tightBoundingRect(caption).left());
    label->setContentsMargins(overhang, 0, 0, 0);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

PictureImage* makeIcon(QWidget* parent, const display::Bitmap& picture, int left, int top) {
    auto* icon = new PictureImage(parent);
    icon->setGeometry(left, top, 25, 25);
    icon->setTransparent(true);
    icon->setPicture(picture);
    icon->setHandCursor(true);
    icon->setKeyboardButton(true);
    return icon;
}

QRadioButton* makeRadio(QWidget* parent, const QString& caption, int left, int top, int width, int height) {
    auto* radio = new QRadioButton(caption, parent);
    radio->setGeometry(left, top, width, height);
    return radio;
}

QLineEdit* makeEdit(QWidget* parent, const QString& text, int left, int top) {
    auto* edit = new QLineEdit(text, parent);
    edit->setGeometry(left, top, 41, 21);
    return edit;
}

} // namespace

TForm2::TForm2(ProgramState& state) : State(state) {
    buildLayout();
    State.Form2 = this;
}

TForm2::~TForm2() {
    if (State.Form2 == this)
        State.Form2 = nullptr;
}

// The window's outer size is designed as 508 x 364 at (195, 168) with a frame that
// adds 8 x 34. Window managers draw frames of their own, so we fix what the layout
// depends on: the client area of 500 x 330, and the frame's top-left corner.
void TForm2::buildLayout() {
    setWindowTitle(QStringLiteral("Veldora 1.0"));
    setWindowIcon(applicationIcon());
    setFont(windowFont(11));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);
    resize(kClientWidth, kClientHeight);
    move(195, 168);

    const display::Bitmap graticule = display::makeGraticule();
    Image1 = new PictureImage(this);
    Image1->setGeometry(0, 0, 291, 330);
    Image1->setPicture(graticule);
    Image2 = new PictureImage(this);
    Image2->setGeometry(0, 0, 291, 330);
    Image2->setPicture(graticule);
    Image2->hide();
    new FrameStats(this, Image1);
    // The built-in graticule's grid: x 10..280 every 27 pixels, y 12..308 every 37.
    for (PictureImage* screen : {Image1, Image2})
        screen->setGridLines({10, 27, 11}, {12, 37, 9});

    DriverBox = new QComboBox(this);
    DriverBox->setGeometry(304, 8, 97, 21);
    DriverBox->hide();
    FormatBox = new QComboBox(this);
    FormatBox->setGeometry(128, 24, 137, 21);
    FormatBox->hide();

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(kClientWidth - kPanelWidth, 0, kPanelWidth, kClientHeight);
    buildPanel();
    connectControls();
    describeControls();

    // The refresh timer as the layout sets it; Loaded() starts it once all is read.
    DXTimer1 = std::make_unique<display::TDXTimer>(Application::instance());
    DXTimer1->beginLoading();
    DXTimer1->setActiveOnly(false);
    DXTimer1->setEnabled(true);
    DXTimer1->setInterval(50);
    DXTimer1->OnTimer = [this](display::TCustomDXTimer&, int32_t lagCount) {
        Application::instance().guard([this, lagCount] { DXTimer1Timer(lagCount); });
    };
    DXTimer1->Loaded();

    // The playback component opens the default playback device for this window. A
    // refused device is swallowed by the component; other failures end start-up.
    DXSound1 = std::make_unique<TDXSound>(this);
    DXSound1->setOptions(soGlobalFocus);
    DXSound1->Loaded();
}

void TForm2::buildPanel() {
    QWidget* p = Panel1;
    const QFont small = windowFont(9);
    TrackBar1 = makeSlider(p, 8, 0, 169, 25, 1, 18, 2, QSlider::TicksBothSides, 1);
    Image3 = makeIcon(p, makeInformationIcon(), 176, 8);
    Label5 = makeLabel(p, QStringLiteral("Horizontal"), 16, 28, small);
    Label10 = makeLabel(p, QStringLiteral("Label10"), 72, 28, small);
    Label11 = makeLabel(p, QStringLiteral("Milisec."), 120, 28, small);
    TrackBar3 = makeSlider(p, 8, 40, 169, 25, 0, 10, 1, QSlider::TicksBothSides, 1);
    Image5 = makeIcon(p, makeSaveIcon(), 176, 40);
    Label6 = makeLabel(p, QStringLiteral("Vertical"), 80, 68, small);
    TrackBar4 = makeSlider(p, 8, 80, 169, 25, 0, 200, 100, QSlider::TicksBelow, 10);
    Button2 = makeButton(p, QStringLiteral("C"), 176, 88, 25, 17);
    Label7 = makeLabel(p, QStringLiteral("Trigger X"), 72, 108, small);
    TrackBar2 = makeSlider(p, 8, 120, 169, 25, 0, 200, 100, QSlider::TicksBelow, 10);
    Button1 = makeButton(p, QStringLiteral("C"), 176, 128, 25, 17);
    Label8 = makeLabel(p, QStringLiteral("Trigger Y"), 72, 148, small);
    TrackBar5 = makeSlider(p, 8, 160, 201, 17, 0, 1000, 0, QSlider::TicksBelow, 100);
    Label9 = makeLabel(p, QStringLiteral("Delay"), 80, 176, small);
    Label12 = makeLabel(p, QStringLiteral("Auto"), 128, 181, small);
    Image4 = makeIcon(p, makePictureIcon(), 176, 184);
    RadioButton1 = makeRadio(p, QStringLiteral("+/-"), 128, 190, 41, 25);
    Edit1 = makeEdit(p, QStringLiteral("Edit1"), 40, 192);
    Label1 = makeLabel(p, QStringLiteral("Time:"), 8, 200, font());
    Label3 = makeLabel(p, QStringLiteral("MiliSec."), 88, 200, font());
    RadioButton2 = makeRadio(p, QStringLiteral("-"), 128, 214, 25, 17);
    // Checked while the layout is read, before any handler is attached: TriggerMode stays 0.
    RadioButton2->setChecked(true);
    Edit2 = makeEdit(p, QStringLiteral("Edit2"), 40, 224);
    Button9 = makeButton(p, QStringLiteral("Revers"), 160, 224, 41, 17);
    Label2 = makeLabel(p, QStringLiteral("Vertical"), 0, 232, font());
    // At the panel's left edge: its letters start one pixel in, clear of the edge line.
    Label2->setContentsMargins(1, 0, 0, 0);
    Label2->adjustSize();
    Label4 = makeLabel(p, QStringLiteral("Volts"), 88, 232, font());
    RadioButton3 = makeRadio(p, QStringLiteral("+"), 128, 232, 33, 17);
    Button3 = makeButton(p, QStringLiteral("Load"), 8, 256, 97, 17);
    Button6 = makeButton(p, QStringLiteral("Merge"), 112, 256, 81, 17);
    Button4 = makeButton(p, QStringLiteral("Save"), 8, 280, 97, 17);
    Button7 = makeButton(p, QStringLiteral("Clear"), 112, 280, 81, 17);
    Button5 = makeButton(p, QStringLiteral("Pause"), 8, 304, 97, 17);
    Button8 = makeButton(p, QStringLiteral("File Name"), 112, 304, 81, 17);

    // clang-format off
    QWidget* const tabOrder[] = {TrackBar1, TrackBar2, TrackBar3,    Button1,      TrackBar4,
                                 Button2,   Edit1,     Edit2,        Button3,      Button4,
                                 Button5,   TrackBar5, RadioButton1, RadioButton2, RadioButton3,
                                 Button6,   Button7,   Button8,      Button9,
                                 // The icons follow the designed order, top to bottom.
                                 Image3,    Image5,    Image4};
    // clang-format on
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TForm2::connectControls() {
    // Radio buttons: toggled(true) is both the user's click and a check from code on
    // a button that was not checked yet; an already checked button emits nothing.
    const auto onChecked = [this](QRadioButton* radio, void (TForm2::*handler)()) {
        connect(radio, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                Application::instance().guard([this, handler] { (this->*handler)(); });
        });
    };
    onChecked(RadioButton1, &TForm2::RadioButton1Click);
    onChecked(RadioButton2, &TForm2::RadioButton2Click);
    onChecked(RadioButton3, &TForm2::RadioButton3Click);

    // Sliders run their change handler on every change of position, from code too.
    connect(TrackBar1, &QSlider::valueChanged, this, guarded([this] { TrackBar1Change(); }));
    connect(TrackBar2, &QSlider::valueChanged, this, guarded([this] { TrackBar2Change(); }));
    connect(TrackBar3, &QSlider::valueChanged, this, guarded([this] { TrackBar3Change(); }));
    connect(TrackBar4, &QSlider::valueChanged, this, guarded([this] { TrackBar4Change(); }));
    connect(TrackBar5, &QSlider::valueChanged, this, guarded([this] { TrackBar5Change(); }));
    connect(Edit1, &QLineEdit::textChanged, this, guarded([this] { Edit1Change(); }));

    // Lists run their change handler only on the user's choice, never when set from code.
    connect(DriverBox, &QComboBox::activated, this, guarded([this] { DriverBoxChange(); }));
    connect(FormatBox, &QComboBox::activated, this, guarded([this] { FormatBoxChange(); }));

    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, guarded([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded([this] { Button4Click(); }));
    connect(Button5, &QPushButton::clicked, this, guarded([this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, guarded([this] { Button6Click(); }));
    connect(Button7, &QPushButton::clicked, this, guarded([this] { Button7Click(); }));
    connect(Button8, &QPushButton::clicked, this, guarded([this] { Button8Click(); }));
    connect(Button9, &QPushButton::clicked, this, guarded([this] { Button9Click(); }));
    connect(Image3, &PictureImage::clicked, this, guarded([this] { Image3Click(); }));
    connect(Image4, &PictureImage::clicked, this, guarded([this] { Image4Click(); }));
    connect(Image5, &PictureImage::clicked, this, guarded([this] { Image5Click(); }));

    for (PictureImage* screen : {Image1, Image2})
        connect(screen, &PictureImage::mouseMoved, this,
                [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y) {
                    Application::instance().guard([&] { Image2MouseMove(buttons, modifiers, x, y); });
                });
}

// Only asks the hidden background image to repaint, which draws nothing.
void TForm2::FormShow() {
    Image2->update();
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Application::instance().guard([this] { FormShow(); });
}

// The screen image fills the client area left of the panel; the panel keeps its
// width at the right edge and takes the full height.
void TForm2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int panelLeft = width() - kPanelWidth;
    const int screenWidth = std::max(0, panelLeft);
    Image1->setGeometry(0, 0, screenWidth, height());
    Image2->setGeometry(0, 0, screenWidth, height());
    Panel1->setGeometry(panelLeft, 0, kPanelWidth, height());
}

void TForm2::OnClose() {
    if (CaptureStream)
        CaptureStream->Stop();
}

// Closing the main window ends the program, whatever the other windows show.
void TForm2::closeEvent(QCloseEvent* event) {
    Application::instance().guard([this] { OnClose(); });
    event->accept();
    QCoreApplication::exit(0);
}

} // namespace veldora::app
