// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Start-up of the live display against the simulated sound service: device and format
// choice, and each way start-up can fail.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <functional>
#include <memory>
#include <string>

#include "capture/CaptureDrivers.h"
#include "capture/CaptureFormats.h"
#include "display/DXTimer.h"
#include "tests/app/LiveFixture.h"

using namespace veldora::display;
using namespace veldora::capture;
using namespace veldora::sound;
using namespace veldora::app;

namespace {

using LiveStartupTest = LiveFixture;
using Format = SimulatedSoundService::Format;

QStringList items(const QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

bool allZero(const TraceArray& a) {
    for (int32_t v : a)
        if (v != 0)
            return false;
    return true;
}

TEST_F(LiveStartupTest, WorkingDeviceStartsCaptureInThePreferredFormatAndSeedsTheTrace) {
    start();
    EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    EXPECT_EQ(items(form->DriverBox), (QStringList{"Primary Sound Capture Driver", "Simulated Card"}));
    EXPECT_EQ(form->DriverBox->currentIndex(), 0);
    EXPECT_EQ(sound->openCalls(), 1);
    EXPECT_FALSE(sound->lastOpenGuid().has_value()); // the default device, whatever is selected
    ASSERT_TRUE(form->CaptureStream);
    EXPECT_TRUE(form->CaptureStream->GetCapturing());
    EXPECT_TRUE(form->CaptureStream->GetNotifyThread() != nullptr); // the handler is installed
    EXPECT_EQ(form->CaptureStream->GetBufferMilliseconds(), 1024);
    EXPECT_EQ(form->FormatBox->count(), 56);
    EXPECT_EQ(form->FormatBox->currentText(), "48000Hz 16bit Mono");
    EXPECT_EQ(form->CaptureStream->FormatIndex, form->FormatBox->currentIndex());
    const auto requests = sound->bufferRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().format, (Format{48000, 16, 1}));
    EXPECT_EQ(requests.back().bufferBytes, 98304u);

    // Before the first block: (10, 160) twice, zero everywhere else.
    for (int i = 0; i < kTraceLength; ++i) {
        EXPECT_EQ(state.TraceX[i], i < 2 ? 10 : 0) << i;
        EXPECT_EQ(state.TraceY[i], i < 2 ? 160 : 0) << i;
    }
    EXPECT_EQ(form->Label10->text(), "1");
    EXPECT_EQ(form->Edit2->text(), "0.5");
    EXPECT_EQ(form->Edit1->text(), "0");
    EXPECT_TRUE(form->RadioButton1->isChecked());
}

// Every item in probing order, the preferred one selected wherever it stands, item 0
// when it is missing.
TEST_F(LiveStartupTest, FormatListAndChoice) {
    struct Case {
        const char* name;
        std::vector<Format> accepted; // in probing order
        QStringList texts;
        int chosen;
    };
    const Case cases[] = {
        {"preferred in the middle",
         {{8000, 8, 1}, {44100, 16, 2}, {48000, 16, 1}, {96000, 32, 2}},
         {"8000Hz 8bit Mono", "44100Hz 16bit Stereo", "48000Hz 16bit Mono", "96000Hz 32bit Stereo"},
         2},
        {"preferred first",
         {{48000, 16, 1}, {48000, 16, 2}},
         {"48000Hz 16bit Mono", "48000Hz 16bit Stereo"},
         0},
        {"preferred last",
         {{11025, 24, 1}, {33075, 8, 2}, {48000, 16, 1}},
         {"11025Hz 24bit Mono", "33075Hz 8bit Stereo", "48000Hz 16bit Mono"},
         2},
        {"no preferred: item 0",
         {{8000, 8, 1}, {22050, 16, 1}, {48000, 24, 1}},
         {"8000Hz 8bit Mono", "22050Hz 16bit Mono", "48000Hz 24bit Mono"},
         0},
        {"all stereo: item 0",
         {{22050, 16, 2}, {44100, 16, 2}, {48000, 16, 2}},
         {"22050Hz 16bit Stereo", "44100Hz 16bit Stereo", "48000Hz 16bit Stereo"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        state = ProgramState{};
        TestApp::clearMessages();
        sound->acceptFormats(c.accepted);
        sound->clearBufferRequests();
        start();
        EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
        EXPECT_EQ(items(form->FormatBox), c.texts);
        EXPECT_EQ(form->FormatBox->currentIndex(), c.chosen);
        ASSERT_TRUE(form->CaptureStream);
        EXPECT_EQ(form->CaptureStream->FormatIndex, c.chosen);
        EXPECT_TRUE(form->CaptureStream->GetCapturing());
        EXPECT_EQ(sound->bufferRequests().back().format, c.accepted[static_cast<size_t>(c.chosen)]);
    }
}

TEST_F(LiveStartupTest, DriverListHoldsEveryDriverWithItemZeroSelected) {
    GUID a{}, b{};
    a.bytes[0] = 7;
    b.bytes[0] = 9;
    sound->setDevices({{std::nullopt, "Primary Sound Capture Driver", ""},
                       {a, "USB Microphone", "hw:1"},
                       {b, "Line In", "hw:2"}});
    FreeCaptureDrivers(); // the list is built once; rebuild it from these devices
    start();
    EXPECT_EQ(items(form->DriverBox),
              (QStringList{"Primary Sound Capture Driver", "USB Microphone", "Line In"}));
    EXPECT_EQ(form->DriverBox->currentIndex(), 0);
    EXPECT_FALSE(sound->lastOpenGuid().has_value());

    // No drivers at all is no error: the stream is still made on the default device.
    form.reset();
    state = ProgramState{};
    sound->setDevices({});
    FreeCaptureDrivers();
    start();
    EXPECT_TRUE(TestApp::messages().empty()) << TestApp::messageTexts().join("|").toStdString();
    EXPECT_EQ(form->DriverBox->count(), 0);
    ASSERT_TRUE(form->CaptureStream);
    EXPECT_TRUE(form->CaptureStream->GetCapturing());
}

// Each failure: its message, the read-outs set, the trace left all zero (the seed comes
// after the failing step), and the program running on.
TEST_F(LiveStartupTest, FailuresShowTheirMessageAndTheProgramRunsOn) {
    constexpr int probeCalls =
        static_cast<int>(kCaptureSampleRates.size() * kCaptureBitsPerSample.size() * kCaptureChannels.size());
    struct Case {
        const char* name;
        std::function<void(SimulatedSoundService&)> script;
        const char* message;
        bool streamMade;
        int formats;
    };
    const Case cases[] = {
        {"no sound library", [](SimulatedSoundService& s) { s.setLibraryMissing(true); },
         "Necessary since DirectX 5.", false, 0},
        {"no capture device", [](SimulatedSoundService& s) { s.setOpenResult(DSERR_NODRIVER); },
         "DirectSoundCapture cannot be initialized.", false, 0},
        {"no accepted format", [](SimulatedSoundService& s) { s.acceptFormats({}); },
         "List index out of bounds (-1)", true, 0}, // ")" sorts below ".": nothing appended
        {"no capture buffer at Start",
         [](SimulatedSoundService& s) {
             auto calls = std::make_shared<int>(0);
             s.setFormatRule(
                 [calls](const Format&) { return ++*calls <= probeCalls ? DS_OK : DSERR_GENERIC; });
         },
         "Sound Capture Buffer cannot be made.", true, probeCalls},
        // Start returns before the set-up: start-up itself waits for its failure.
        {"a set-up that fails after Start", [](SimulatedSoundService& s) { s.failNextSetUp(); },
         "Sound Capture Buffer cannot be made.", true, probeCalls},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        sound.reset();
        state = ProgramState{};
        TestApp::clearMessages();
        sound = std::make_unique<SimulatedSoundService>();
        form = std::make_unique<TForm2>(state);
        c.script(*sound);
        TestApp::app().guard([this] { form->FormCreate(); });

        ASSERT_EQ(TestApp::messages().size(), 1u) << TestApp::messageTexts().join("|").toStdString();
        EXPECT_EQ(TestApp::messages()[0].text.toStdString(), c.message);
        EXPECT_EQ(TestApp::messages()[0].title, "Veldora");
        EXPECT_EQ(form->Label10->text(), "1");
        EXPECT_EQ(form->Edit2->text(), "0.5");
        EXPECT_EQ(form->Edit1->text(), "0");
        EXPECT_EQ(form->DataFileName, "C:\\data.bin");
        EXPECT_TRUE(allZero(state.TraceX));
        EXPECT_TRUE(allZero(state.TraceY));
        EXPECT_EQ(static_cast<bool>(form->CaptureStream), c.streamMade);
        if (form->CaptureStream) {
            EXPECT_FALSE(form->CaptureStream->GetCapturing());
        }
        EXPECT_FALSE(sound->bufferRunning());
        EXPECT_EQ(form->FormatBox->count(), c.formats);
        if (c.formats) {
            EXPECT_EQ(form->FormatBox->currentText(), "48000Hz 16bit Mono");
        } else {
            EXPECT_EQ(form->FormatBox->currentIndex(), -1);
        }

        // The refresh timer still ticks: the screen is redrawn from the background.
        EXPECT_TRUE(form->DXTimer1->Enabled());
        const Bitmap marker(291, 330, 0x123456);
        form->Image1->setPicture(marker);
        ASSERT_TRUE(runLoopUntil([&] { return form->Image1->picture() != marker; })) << "no tick drew";
        EXPECT_EQ(form->Image1->picture(), form->Image2->picture());

        // Closing without a stream is no error.
        form->OnClose();
        EXPECT_EQ(TestApp::messages().size(), 1u);
    }
}

} // namespace
