// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Files across machines: a fixed trace, converted from fixed capture blocks, saved as a
// trace file, and the screen picture it makes exported as a BMP, all by the program's
// own code. The bytes must be the ones kept in tests/storage/golden, which amd64 wrote,
// on every architecture (32-bit, big-endian, under an emulator), and those files load
// back into the same arrays and pixels.
//
// When the formats or the drawing change on purpose, VELDORA_WRITE_GOLDEN=<folder>
// has the test write the new files there, to be checked and put in the tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "display/Graticule.h"
#include "display/TraceConversion.h"
#include "display/TraceDrawing.h"
#include "storage/BackgroundFiles.h"
#include "storage/BmpFile.h"
#include "storage/TraceFile.h"
#include "tests/storage/ScratchFiles.h"

using namespace veldora::display;
using namespace veldora::storage;

namespace {

// VELDORA_GOLDEN_DIR comes from CMake as the source folder's absolute path, so the test
// finds the files from any working folder: a build folder, a package build, a cross
// build's tests under an emulator.
const std::string kGoldenDir = VELDORA_GOLDEN_DIR;

// A block of `period`-word triangle waves of the given height, with a small fixed
// noise from a linear congruential sequence: integers only, the same on every machine.
CaptureBlockBuffer triangleBlock(int32_t period, int32_t height, uint32_t seed) {
    CaptureBlockBuffer block{};
    for (size_t word = 0; word < block.size() / 4; ++word) {
        const auto phase = static_cast<int32_t>(word % static_cast<size_t>(period));
        const int32_t rising = phase < period / 2 ? phase : period - phase;
        seed = seed * 1664525u + 1013904223u;
        const int32_t noise = static_cast<int32_t>(seed >> 20) - 2048;
        const auto sample = static_cast<int32_t>(int64_t{4 * rising - period} * height / period + noise);
        for (size_t byte = 0; byte < 4; ++byte)
            block[word * 4 + byte] = static_cast<uint8_t>(static_cast<uint32_t>(sample) >> (8 * byte));
    }
    return block;
}

struct Trace {
    TraceArray x{};
    TraceArray y{};
};

// The trace that is saved: entries past the drawn ones hold values of every sign and
// size, so that each byte of the file's words is seen.
Trace savedTrace() {
    Trace trace;
    for (int i = kConvertedPoints; i < kTraceLength; ++i) {
        trace.x[i] = static_cast<int32_t>(0x80000000u + static_cast<uint32_t>(i) * 16777259u);
        trace.y[i] = (i % 2 == 0 ? -1 : 1) * i * 65599;
    }
    convertBlock(triangleBlock(64, 1 << 30, 1), ConversionSliders{2, 1, 100, 100}, trace.x, trace.y);
    return trace;
}

// The background Clear loads in the normal scheme.
Bitmap shippedBackground() {
    const std::string file = normalBackgroundBmp();
    return decodeBmp(reinterpret_cast<const unsigned char*>(file.data()), file.size());
}

// The screen picture after Merge of the saved trace and Pause on another one, moved by
// the position sliders: the blue trace under the white one, on the shipped background.
Bitmap screenPicture(const Trace& merged) {
    Bitmap background = shippedBackground();
    Bitmap screen;
    drawMergedTrace(screen, background, merged.x, merged.y);
    Trace paused;
    convertBlock(triangleBlock(150, 1 << 30, 7), ConversionSliders{3, 2, 90, 120}, paused.x, paused.y);
    drawPausedTrace(screen, background, paused.x, paused.y, false, 110, 85);
    return screen;
}

void keepIfAsked(const std::string& from, const std::string& name) {
    if (const char* folder = std::getenv("VELDORA_WRITE_GOLDEN"); folder != nullptr)
        std::filesystem::copy_file(from, std::filesystem::path(folder) / name,
                                   std::filesystem::copy_options::overwrite_existing);
}

TEST(GoldenFiles, TheSavedTraceFileIsTheOneAmd64Wrote) {
    const Trace trace = savedTrace();
    scratch::Dir dir;
    writeTraceFile(dir / "trace.bin", trace.x, trace.y);
    keepIfAsked(dir / "trace.bin", "trace.bin");
    const scratch::Bytes golden = scratch::readAll(kGoldenDir + "/trace.bin");
    ASSERT_EQ(golden.size(), static_cast<size_t>(kTraceFileBytes)) << kGoldenDir << "/trace.bin";
    EXPECT_TRUE(scratch::readAll(dir / "trace.bin") == golden)
        << "the saved bytes differ from the golden file";
}

TEST(GoldenFiles, TheExportedScreenPictureIsTheOneAmd64Wrote) {
    const Bitmap screen = screenPicture(savedTrace());
    scratch::Dir dir;
    writeBmpFile(dir / "screen.bmp", screen);
    keepIfAsked(dir / "screen.bmp", "screen.bmp");
    const scratch::Bytes golden = scratch::readAll(kGoldenDir + "/screen.bmp");
    ASSERT_EQ(golden.size(), 54u + 876u * kScreenHeight) << kGoldenDir << "/screen.bmp";
    EXPECT_TRUE(scratch::readAll(dir / "screen.bmp") == golden)
        << "the exported bytes differ from the golden file";
}

// Load keeps entries 280..318 as they were and takes 0..279 from the file.
TEST(GoldenFiles, TheGoldenFilesLoadIntoTheSameArraysAndPixels) {
    const Trace saved = savedTrace();
    Trace loaded;
    loaded.x.fill(12345);
    loaded.y.fill(-6789);
    readTraceFile(kGoldenDir + "/trace.bin", loaded.x, loaded.y);
    for (int i = 0; i < kTraceLength; ++i) {
        ASSERT_EQ(loaded.x[i], i < kStoredPoints ? saved.x[i] : 12345) << "x[" << i << "]";
        ASSERT_EQ(loaded.y[i], i < kStoredPoints ? saved.y[i] : -6789) << "y[" << i << "]";
    }

    const Bitmap golden = readBmpFile(kGoldenDir + "/screen.bmp");
    const Bitmap screen = screenPicture(saved);
    ASSERT_EQ(golden.width(), kScreenWidth);
    ASSERT_EQ(golden.height(), kScreenHeight);
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x)
            ASSERT_EQ(golden.pixel(x, y), screen.pixel(x, y)) << x << "," << y;
}

// The picture is worth comparing: both traces are in it, the merged one in blue.
TEST(GoldenFiles, TheScreenPictureHoldsBothTraces) {
    const Bitmap screen = screenPicture(savedTrace());
    const Bitmap background = shippedBackground();
    int blue = 0;
    int white = 0;
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            if (screen.pixel(x, y) == background.pixel(x, y))
                continue;
            blue += screen.pixel(x, y) == colourToPixel(kMergeColour) ? 1 : 0;
            white += screen.pixel(x, y) == colourToPixel(kTraceColourNormal) ? 1 : 0;
        }
    EXPECT_GT(blue, 200);
    EXPECT_GT(white, 200);
}

} // namespace
