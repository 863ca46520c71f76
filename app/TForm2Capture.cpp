// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Device and format choice, conversion, live drawing and Pause.
#include "app/TForm2.h"

#include <QComboBox>
#include <QRadioButton>
#include <QSlider>

#include "app/FrameStats.h"
#include "app/PictureImage.h"
#include "app/ProgramState.h"
#include "capture/SoundCaptureStream.h"
#include "display/DXTimer.h"
#include "display/TraceConversion.h"
#include "display/TraceDrawing.h"
#include "display/TriggerTest.h"

namespace veldora::app {

namespace {

// By channel count; the format probe tries only 1 and 2.
const char* channelName(int32_t channels) {
    switch (channels) {
    case 1:
        return "Mono";
    case 2:
        return "Stereo";
    default:
        return "";
    }
}

QString formatItemText(const capture::TSoundCaptureFormat& format) {
    return QString::asprintf("%dHz %dbit %s", format.SamplesPerSec, format.BitsPerSample,
                             channelName(format.Channels));
}

bool isPreferredFormat(const capture::TSoundCaptureFormat& format) {
    return format.SamplesPerSec == 48000 && format.BitsPerSample == 16 && format.Channels == 1;
}

} // namespace

// Start-up from listing the capture devices on. A failing step raises and so skips
// every later one, the seed of the trace included.
void TForm2::startCapture() {
    capture::TDirectXDrivers& drivers = capture::TSoundCaptureStream::CaptureDrivers();
    for (int i = 0; i < drivers.Count(); ++i)
        DriverBox->addItem(QString::fromStdString(drivers[i].Description));
    DriverBox->setCurrentIndex(0); // from code: the change handler does not run
    // The device opens here, on the main thread: a frozen server holds the window for
    // up to the open's bound (2 s) before its message. Only start-up gets here while the
    // list stays hidden; once the user can choose from it, the open moves off this thread.
    DriverBoxChange();
    CaptureStream->SetBufferMilliseconds(1024);
    CaptureStream->SetOnDataReady(capture::TDataReadyEvent::bind<&TForm2::CaptureStreamFilledBuffer>(this));
    CaptureStream->FormatIndex = FormatBox->currentIndex(); // -1 when no format: Start raises
    CaptureStream->Start();
    // Before the window shows: a device that cannot be set up fails start-up here.
    CaptureStream->AwaitSetUp();
    State.TraceX[0] = State.TraceX[1] = 10;
    State.TraceY[0] = State.TraceY[1] = 160;
    ++State.TraceVersion;
}

// Always the default capture device; the list's selection is not consulted.
void TForm2::DriverBoxChange() {
    CaptureStream.reset();
    CaptureStream = std::make_unique<capture::TSoundCaptureStream>(nullptr);
    FormatBox->clear();
    const capture::TSoundCaptureFormats& formats = CaptureStream->GetFormats();
    if (formats.Count() == 0)
        return;
    int preferred = 0;
    for (int i = 0; i < formats.Count(); ++i) {
        FormatBox->addItem(formatItemText(formats[i]));
        if (isPreferredFormat(formats[i]))
            preferred = i;
    }
    FormatBox->setCurrentIndex(preferred); // from code: the change handler does not run
}

// Restarts capture in the format it had (nothing to restart when start-up made no stream).
void TForm2::FormatBoxChange() {
    if (!CaptureStream)
        return;
    CaptureStream->Stop();
    CaptureStream->Start();
}

// The newest block, never a backlog: a blocking read of the next 1024 bytes per
// notification falls behind any format faster than about 20 KB/s (the trace shows audio
// up to a ring old, and the ring is overrun unnoticed) and holds the main thread while
// a slow format fills the block. Reading the newest bytes keeps the trace within one
// notification period of the input and returns at once; until a whole block has been
// captured the previous trace stays.
void TForm2::CaptureStreamFilledBuffer(capture::TSoundCaptureStream&) {
    State.BlockSize = 1024;
    if (!CaptureStream || !CaptureStream->ReadLatest(State.CaptureBlock.data(), State.BlockSize))
        return;
    display::ConversionSliders sliders;
    sliders.timeBase = TrackBar1->value();
    sliders.scaleIndex = TrackBar3->value();
    sliders.xPosition = TrackBar4->value();
    sliders.yPosition = TrackBar2->value();
    display::convertBlock(State.CaptureBlock, sliders, State.TraceX, State.TraceY);
    ++State.TraceVersion;
    ++frameCounts().blocks;
}

// A refresh tick: draws the trace over the background when the trigger passes; the
// screen repaints when the event loop next paints. A frame replaces the whole screen
// picture and depends only on the trace, the background, the trace colour and the
// Trigger X slider: while neither they nor the screen picture have changed since the
// last frame, drawing again would give the same pixels, so the tick keeps the picture
// and asks for no repaint (ticks come on every idle pass, blocks 20 times a second).
void TForm2::DXTimer1Timer(int32_t) {
    ++frameCounts().ticks;
    display::TriggerButton checked = display::TriggerButton::Auto; // "+/-", or no button checked
    if (!RadioButton1->isChecked() && RadioButton2->isChecked())
        checked = display::TriggerButton::Minus;
    else if (!RadioButton1->isChecked() && RadioButton3->isChecked())
        checked = display::TriggerButton::Plus;
    if (!display::triggerPasses(checked, display::triggerLevel(TrackBar2->value()), State.TraceY[0],
                                State.TraceY[1]))
        return;
    const PictureImage& background = *Image2;
    LiveFrameInputs inputs{State.TraceVersion, background.pictureVersion(), Image1->pictureVersion(),
                           State.Reversed, TrackBar4->value()};
    if (inputs == lastLiveFrame_)
        return;
    display::drawLiveTrace(Image1->editPicture(), background.picture(), State.TraceX, State.TraceY,
                           State.Reversed, TrackBar4->value());
    Image1->update();
    inputs.screenVersion = Image1->pictureVersion(); // the picture just drawn
    lastLiveFrame_ = inputs;
    ++frameCounts().frames;
}

// Freezes or resumes the display. Without a stream (start-up failed) only the flag and
// the timer change. A failing Start raises before the timer is enabled.
void TForm2::Button5Click() {
    State.Paused = !State.Paused;
    if (CaptureStream) {
        if (State.Paused)
            CaptureStream->Stop();
        else
            CaptureStream->Start();
    }
    DXTimer1->setEnabled(!State.Paused);
}

void TForm2::TrackBar4Change() {
    if (State.Paused)
        RedrawPausedTrace();
}

void TForm2::TrackBar2Change() {
    if (State.Paused)
        RedrawPausedTrace();
}

void TForm2::RedrawPausedTrace() {
    display::drawPausedTrace(Image1->editPicture(), Image2->picture(), State.TraceX, State.TraceY,
                             State.Reversed, TrackBar4->value(), TrackBar2->value());
    Image1->update();
}

} // namespace veldora::app
