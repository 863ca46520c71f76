// The program's capture stream over the real sound-service library and a real server:
// probing through the binding, Start, and blocking 1024-byte Reads in real time.
// Run by tests/e2e/real_capture.sh in the "played" scene (a 1 kHz sine of amplitude 0.5
// played into a null sink whose monitor is the default source); skips otherwise.
#include "ServiceAlsaLibrary.h"
#include "ServiceAlsaToneCheck.h"
#include "capture/SoundCaptureStream.h"
#include "capture/SoundLibrary.h"

#include <gtest/gtest.h>

#include <iostream>

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

        // Skip the first blocks (the server's start-up), then take half a second.
        std::vector<uint8_t> block(1024);
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(stream.Read(block.data(), 1024), 1024);
        }
        std::vector<double> samples;
        while (samples.size() < 24000) {
            ASSERT_EQ(stream.Read(block.data(), 1024), 1024);
            for (size_t i = 0; i + 1 < block.size(); i += 2) {
                samples.push_back(int16_t(uint16_t(block[i] | block[i + 1] << 8)) / 32768.0);
            }
        }
        samples.resize(24000);
        stream.Stop();
        EXPECT_FALSE(stream.GetCapturing());
        const ToneReport report = analyseTone(samples, 48000, 1000);
        std::cout << "stream: rms " << report.rms << ", share " << report.toneShare << ", crossings "
                  << report.crossingHz << " Hz\n";
        EXPECT_TRUE(isTone(report, 1000, 0.3, 0.4));
    }
    FreeLoadedLibraries();
}

} // namespace
