// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The program's capture stream over the real sound-service library and a real server:
// probing through the binding, Start, and blocking 1024-byte Reads in real time.
// Run by tests/e2e/real_capture.sh in the "played" scene (a sine of amplitude 0.5 at
// VELDORA_REAL_AUDIO_HZ played into a null sink whose monitor is the default source);
// skips otherwise.
#include "ServiceAlsaLibrary.h"
#include "ServiceAlsaToneCheck.h"
#include "base/Errors.h"
#include "capture/CaptureDrivers.h"
#include "capture/CaptureErrors.h"
#include "capture/SoundCaptureStream.h"
#include "capture/SoundLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <unistd.h>

using namespace veldora::base;
using namespace veldora::capture;
using namespace veldora::sound;
using namespace veldora::servicetest;

namespace {

TEST(ServiceAlsaStreamRealAudio, StreamReadsThePlayedTone) {
    const char* scene = std::getenv("VELDORA_REAL_AUDIO_SCENE");
    if (!realAudioEnabled() || scene == nullptr || std::string(scene) != "played") {
        GTEST_SKIP() << "needs VELDORA_REAL_AUDIO=1 and the played scene";
    }
    // The real library next to this program, not a simulated one.
    SoundLibraryTestSeam::unregisterInProcessLibrary(kSoundLibraryName);
    SoundLibraryTestSeam::setLibraryDirectory("");
    {
        TSoundCaptureStream stream(nullptr);
        const TSoundCaptureFormats& formats = stream.GetFormats();
        ASSERT_EQ(formats.Count(), 56) << "the server takes every probed format";
        int wanted = -1;
        for (int i = 0; i < formats.Count(); ++i) {
            if (formats[i].SamplesPerSec == 48000 && formats[i].BitsPerSample == 16 &&
                formats[i].Channels == 1) {
                wanted = i;
            }
        }
        ASSERT_EQ(wanted, 5 * 8 + 2); // the sixth rate, 16 bit, mono
        stream.SetBufferMilliseconds(1024);
        stream.FormatIndex = wanted;
        stream.Start();
        ASSERT_TRUE(stream.GetCapturing());
        EXPECT_EQ(stream.GetBufferBytes(), 98304u);

        // The stream hands on whatever the server delivers, and a loaded machine may
        // deliver silence: while the stream starts (the server sets up the record
        // stream), or for a period later when the player misses its turn and the sink
        // mixes nothing; and a read that gives up after a second without a byte fills
        // the rest of its block with silence. So the measure is the first half second, read on without a
        // pause, that follows kSettledBlocks blocks of unbroken tone and holds no silent
        // run; a silence starts it again, within ten seconds of sound after Start. That
        // half second must then be the tone, clean: a lost, repeated or garbled period
        // would show there. How many silences come first is the machine's load, not the
        // stream's doing (CI saw four on PipeWire): only the ten seconds bound them.
        constexpr int kSettledBlocks = 10;                // about 0.1 s
        constexpr int kMaxBlocks = 10 * 48000 * 2 / 1024; // ten seconds
        constexpr size_t kSilentRun = 8;                  // exact zeros in a row
        constexpr size_t kMeasure = 24000;                // half a second
        std::vector<uint8_t> block(1024);
        auto readBlock = [&](std::vector<double>& into) {
            const int32_t got = stream.Read(block.data(), 1024);
            for (size_t i = 0; i + 1 < block.size(); i += 2) {
                into.push_back(int16_t(uint16_t(block[i] | block[i + 1] << 8)) / 32768.0);
            }
            return got;
        };
        int blocks = 0;
        int settled = 0;
        int silences = 0; // silences the server handed out after the tone first flowed
        std::vector<double> samples;
        while (samples.size() < kMeasure) {
            ASSERT_LT(blocks, kMaxBlocks) << "no clean half second of tone within ten seconds (" << silences
                                          << " silences after the tone flowed)";
            std::vector<double> read;
            ASSERT_EQ(readBlock(read), 1024);
            ++blocks;
            if (settled < kSettledBlocks) {
                settled = longestSilence(read, kSilentRun).length == 0 ? settled + 1 : 0;
                continue;
            }
            samples.insert(samples.end(), read.begin(), read.end());
            // Checked across the block boundary too: a run may straddle two reads.
            const SilentRun silence = longestSilence(samples, kSilentRun);
            if (silence.length != 0) {
                ++silences;
                std::cout << "silence " << silences << ": " << silence.length << " samples from sample "
                          << silence.start << " of a measure\n";
                samples.clear();
                settled = 0;
            }
        }
        const int measuredAfter = blocks * 512 - int(samples.size());
        samples.resize(kMeasure);
        stream.Stop();
        EXPECT_FALSE(stream.GetCapturing());
        const double hz = sceneToneHz();
        const ToneReport report = analyseTone(samples, 48000, hz);
        std::cout << "stream: rms " << report.rms << ", share " << report.toneShare << ", crossings "
                  << report.crossingHz << " Hz, measured after " << measuredAfter << " samples, " << silences
                  << " silences after the tone first flowed\n";
        EXPECT_TRUE(isTone(report, hz, 0.3, 0.4));
    }
    FreeLoadedLibraries();
}

// No sound server and no card: opening the default device through the program's
// stream fails with the stream's own message; without the library the driver list
// fails with the binding's. Run by real_capture.sh in the "noserver" scene.
TEST(ServiceAlsaStreamRealAudio, NoDeviceAndNoLibraryGiveTheProgramsMessages) {
    const char* scene = std::getenv("VELDORA_REAL_AUDIO_SCENE");
    if (!realAudioEnabled() || scene == nullptr || std::string(scene) != "noserver") {
        GTEST_SKIP() << "needs VELDORA_REAL_AUDIO=1 and the noserver scene";
    }
    SoundLibraryTestSeam::unregisterInProcessLibrary(kSoundLibraryName);
    SoundLibraryTestSeam::setLibraryDirectory("");
    FreeLoadedLibraries();
    FreeCaptureDrivers();
    try {
        TSoundCaptureStream stream(nullptr);
        ADD_FAILURE() << "the stream opened a device";
    } catch (const ESoundCaptureStreamError& error) {
        EXPECT_EQ(error.message(), "DirectSoundCapture cannot be initialized");
    }

    // The library removed: a folder without it stands in for the program's own.
    char folder[] = "/tmp/veldora-nolib-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    FreeLoadedLibraries();
    SoundLibraryTestSeam::setLibraryDirectory(folder);
    try {
        TSoundCaptureStream::CaptureDrivers();
        ADD_FAILURE() << "the driver list was built without the library";
    } catch (const EDirectXError& error) {
        EXPECT_EQ(error.message(), "Necessary since DirectX 5");
    }
    SoundLibraryTestSeam::setLibraryDirectory("");
    FreeLoadedLibraries();
    FreeCaptureDrivers();
    rmdir(folder);
}

} // namespace
