// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The main window: the oscilloscope screen on the left, the front panel on the
// right. The window builds and wires its controls; the behaviour lives in
// display/, storage/ and capture/. Handlers are public so tests drive them as the
// controls do. Main thread only.
//
// The handlers are spread over files by subject:
//   TForm2.cpp         layout, construction, FormShow, closing
//   TForm2Panel.cpp    front-panel read-outs and controls, FormCreate steps 1-5
//   TForm2Describe.cpp accessible names, descriptions and tooltips
//   TForm2Screen.cpp   Clear and Revers (background pictures)
//   TForm2Capture.cpp  device and format choice, conversion, live drawing, Pause
//   TForm2Files.cpp    Save, Load, Merge and picture export
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/ProgramState.h"
#include "display/Bitmap.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace veldora::display {
class TDXTimer;
}
namespace veldora::capture {
class TSoundCaptureStream;
}

namespace veldora::app {

class PictureImage;
class TDXSound;

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    // Builds the layout and lets its components finish their set-up (the refresh
    // timer starts, the playback component opens). An exception from here is the
    // last-resort case: the caller reports it and exits with code 1.
    // Keeps `state`, which must outlive the window, and registers as its Form2.
    explicit TForm2(ProgramState& state);
    ~TForm2() override;

    ProgramState& State;

    // Designed outer size and place, and the panel's width.
    static constexpr int kDesignedWidth = 508;
    static constexpr int kDesignedHeight = 364;
    static constexpr int kClientWidth = 500;
    static constexpr int kClientHeight = 330;
    static constexpr int kPanelWidth = 209;

    // --- Window events
    void FormCreate(); // run once after construction (steps of start-up)
    void FormShow();
    void OnClose(); // stops capture; the window then closes and the program ends

    // --- Front panel
    void TrackBar1Change();
    void TrackBar3Change();
    void TrackBar5Change();
    void Edit1Change();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void SelectTriggerButton(int32_t mode);
    void Button1Click(); // "C" beside "Trigger Y"
    void Button2Click(); // "C" beside "Trigger X"
    // Mouse moved over the screen: buttons and modifiers held, position in the
    // control's own pixels.
    void Image2MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void Image4Click();  // window back to the designed size
    void Image3Click();  // About box
    void Button8Click(); // file-name dialog

    // --- Capture device and format
    void DriverBoxChange();
    void FormatBoxChange();

    // --- Conversion, live drawing and pause
    void CaptureStreamFilledBuffer(capture::TSoundCaptureStream& sender);
    void DXTimer1Timer(int32_t lagCount);
    void Button5Click(); // "Pause"
    void TrackBar4Change();
    void TrackBar2Change();
    void RedrawPausedTrace();

    // --- Backgrounds
    void Button7Click(); // "Clear"
    void Button9Click(); // "Revers"

    // --- Trace file and picture export
    void WriteTraceFile(const std::string& name);
    void ReadTraceFile(const std::string& name);
    void Button4Click(); // "Save"
    void Button3Click(); // "Load"
    void Button6Click(); // "Merge"
    void Image5Click();  // export the screen picture

    // --- Controls on the window
    PictureImage* Image1 = nullptr; // the screen
    PictureImage* Image2 = nullptr; // hidden: the background picture
    QComboBox* DriverBox = nullptr;
    QComboBox* FormatBox = nullptr;
    QFrame* Panel1 = nullptr;
    // --- Controls on the panel
    QSlider* TrackBar1 = nullptr;
    QSlider* TrackBar2 = nullptr;
    QSlider* TrackBar3 = nullptr;
    QSlider* TrackBar4 = nullptr;
    QSlider* TrackBar5 = nullptr;
    PictureImage* Image3 = nullptr;
    PictureImage* Image4 = nullptr;
    PictureImage* Image5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button8 = nullptr;
    QPushButton* Button9 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;

    // --- Components
    std::unique_ptr<display::TDXTimer> DXTimer1;
    std::unique_ptr<TDXSound> DXSound1;

    // --- Fields
    std::unique_ptr<capture::TSoundCaptureStream> CaptureStream;
    std::string DataFileName;
    std::string LastExportName; // the export dialog offers the name confirmed last

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // What a live frame was drawn from, by version or value. Equal inputs give equal
    // pixels.
    struct LiveFrameInputs {
        uint64_t traceVersion = 0;
        uint64_t backgroundVersion = 0;
        uint64_t screenVersion = 0; // the screen picture as the frame left it
        bool reversed = false;
        int32_t trackBar4 = 0;
        bool operator==(const LiveFrameInputs&) const = default;
    };
    std::optional<LiveFrameInputs> lastLiveFrame_; // none drawn yet

    void buildLayout();
    void buildPanel();
    void connectControls();
    // Names, descriptions and tooltips for screen readers and the mouse.
    void describeControls();
    // "Milisec." after the time-base read-out, clear of it and of the icon above.
    void placeTimeBaseUnit();
    // FormCreate's steps from listing the capture devices to seeding the trace.
    void startCapture();
};

} // namespace veldora::app
