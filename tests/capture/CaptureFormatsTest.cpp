// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Wave-format records and the probe of a device's formats.
#include <cstring>

#include "capture/CaptureFormats.h"
#include "tests/capture/CaptureFixture.h"

using namespace veldora::base;
using namespace veldora::capture;
using namespace veldora::sound;

using Format = SimulatedSoundService::Format;

TEST(CaptureMakePCMWaveFormat, FillsBlockAlignAndBytesPerSecond) {
    struct Case {
        int32_t rate, bits, channels;
        uint16_t block;
        uint32_t perSecond;
    };
    const Case cases[] = {
        {44100, 16, 2, 4, 176400}, {8000, 24, 2, 6, 48000}, {96000, 32, 2, 8, 768000}, {8000, 8, 1, 1, 8000}};
    for (const Case& c : cases) {
        WAVEFORMATEX format;
        std::memset(&format, 0xEE, sizeof(format));
        WAVEFORMATEX& result = MakePCMWaveFormat(format, c.rate, c.bits, c.channels);
        EXPECT_EQ(&result, &format);
        EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(format.nChannels, c.channels);
        EXPECT_EQ(format.nSamplesPerSec, static_cast<uint32_t>(c.rate));
        EXPECT_EQ(format.wBitsPerSample, c.bits);
        EXPECT_EQ(format.nBlockAlign, c.block) << c.rate << "/" << c.bits << "/" << c.channels;
        EXPECT_EQ(format.nAvgBytesPerSec, c.perSecond);
        EXPECT_EQ(format.cbSize, 0);
    }
}

using CaptureFormats = CaptureFixture;

TEST_F(CaptureFormats, DeviceAcceptingEverythingYields56FormatsInTrialOrder) {
    stream = std::make_unique<TSoundCaptureStream>(nullptr);
    const TSoundCaptureFormats& formats = stream->GetFormats();
    ASSERT_EQ(formats.Count(), 56);
    auto as = [](const TSoundCaptureFormat& f) {
        return Format{f.SamplesPerSec, f.BitsPerSample, f.Channels};
    };
    EXPECT_EQ(as(formats[0]), (Format{8000, 8, 1}));
    EXPECT_EQ(as(formats[1]), (Format{8000, 8, 2}));
    EXPECT_EQ(as(formats[2]), (Format{8000, 16, 1}));
    EXPECT_EQ(as(formats[55]), (Format{96000, 32, 2}));

    // Each trial asks for one second of audio with a 20-byte description, rates
    // outermost and channels innermost; 33075 Hz is the fourth rate.
    const auto requests = sound.bufferRequests();
    ASSERT_EQ(requests.size(), 56u);
    size_t i = 0;
    for (int32_t rate : {8000, 11025, 22050, 33075, 44100, 48000, 96000})
        for (int32_t bits : {8, 16, 24, 32})
            for (int32_t channels : {1, 2}) {
                const auto& request = requests[i];
                EXPECT_EQ(request.format, (Format{rate, bits, channels})) << i;
                EXPECT_EQ(as(formats[static_cast<int>(i)]), request.format) << i;
                EXPECT_EQ(request.descSize, 20u);
                EXPECT_EQ(request.bufferBytes, static_cast<uint32_t>(rate * channels * (bits / 8)));
                EXPECT_EQ(request.bufferBytes, request.avgBytesPerSec);
                ++i;
            }
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 1)
        << "only the device stays; every trial buffer is released";
}

TEST_F(CaptureFormats, OnlySixteenBitAt44100And48000YieldsFourFormats) {
    sound.setFormatRule([](const Format& f) {
        return f.bitsPerSample == 16 && (f.samplesPerSec == 44100 || f.samplesPerSec == 48000)
                   ? DS_OK
                   : DSERR_BADFORMAT;
    });
    stream = std::make_unique<TSoundCaptureStream>(nullptr);
    const TSoundCaptureFormats& formats = stream->GetFormats();
    ASSERT_EQ(formats.Count(), 4);
    const Format expected[] = {{44100, 16, 1}, {44100, 16, 2}, {48000, 16, 1}, {48000, 16, 2}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ((Format{formats[i].SamplesPerSec, formats[i].BitsPerSample, formats[i].Channels}),
                  expected[i]);
    EXPECT_EQ(sound.bufferRequests().size(), 56u) << "every combination is still tried";
}

TEST_F(CaptureFormats, ASuccessCodeOtherThanZeroCountsAsRefused) {
    // S_FALSE-like code 1 for the first trial; the buffer it hands out must still be released.
    sound.setFormatRule([](const Format& f) { return f == Format{8000, 8, 1} ? HRESULT{1} : DS_OK; });
    stream = std::make_unique<TSoundCaptureStream>(nullptr);
    ASSERT_EQ(stream->GetFormats().Count(), 55);
    EXPECT_EQ(stream->GetFormats()[0].Channels, 2);
    EXPECT_EQ(SimulatedSoundService::liveObjects(), 1);
}

TEST_F(CaptureFormats, DeviceAcceptingNothingGivesAnEmptyListAndStartFailsOnTheIndex) {
    sound.acceptFormats({});
    stream = std::make_unique<TSoundCaptureStream>(nullptr);
    EXPECT_EQ(stream->GetFormats().Count(), 0);
    try {
        stream->Start();
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.message(), "List index out of bounds (0)");
    }
    EXPECT_FALSE(stream->GetCapturing());
    stream->FormatIndex = -1;
    try {
        stream->Start();
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.message(), "List index out of bounds (-1)");
    }
}
