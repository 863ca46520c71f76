// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/BackgroundFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "display/Graticule.h"
#include "tests/storage/ScratchFiles.h"

using namespace veldora::display;
using namespace veldora::storage;

namespace {

using scratch::Bytes;

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// Reads the pixel at (x, y), row 0 at the top, straight from the bytes of a 24-bit
// bottom-up file of the screen's size, as 0x00RRGGBB.
uint32_t filePixel(const Bytes& file, int x, int y) {
    constexpr size_t kStride = 876; // 291 * 3 = 873, padded to 4 bytes
    const size_t at = 54 + static_cast<size_t>(kScreenHeight - 1 - y) * kStride + static_cast<size_t>(x) * 3;
    return static_cast<uint32_t>(file[at + 2]) << 16 | file[at + 1] << 8 | file[at];
}

void expectScreenSizedBmp(const Bytes& file) {
    ASSERT_EQ(file.size(), 54u + 289080u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(le32(file, 2), file.size());
    EXPECT_EQ(le32(file, 10), 54u);  // pixels right after the headers
    EXPECT_EQ(le32(file, 14), 40u);  // information header
    EXPECT_EQ(le32(file, 18), 291u); // width
    EXPECT_EQ(le32(file, 22), 330u); // height, positive: bottom-up
    EXPECT_EQ(le16(file, 28), 24u);  // bits per pixel
    EXPECT_EQ(le32(file, 30), 0u);   // uncompressed
    EXPECT_EQ(file[54 + 873], 0u);   // row padding is zero
}

Bytes asBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(BackgroundFiles, NormalIsTheBuiltInGraticulePixelForPixel) {
    const Bytes file = asBytes(normalBackgroundBmp());
    expectScreenSizedBmp(file);
    const Bitmap graticule = makeGraticule();
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x)
            ASSERT_EQ(filePixel(file, x, y), graticule.pixel(x, y)) << x << "," << y;
}

// Field black -> white, grid -> grey, labels and zero marker -> black, at every pixel;
// the picture has only those three colours.
TEST(BackgroundFiles, ReversedMapsEveryPixelOfTheGraticule) {
    const Bytes file = asBytes(reversedBackgroundBmp());
    expectScreenSizedBmp(file);
    const std::map<uint32_t, uint32_t> map = {
        {0x000000, 0xFFFFFF}, {0x009600, 0xA0A0A0}, {0x00FF00, 0x000000}};
    const Bitmap graticule = makeGraticule();
    std::map<uint32_t, int> counts;
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            const uint32_t normal = graticule.pixel(x, y);
            ASSERT_TRUE(map.contains(normal)) << x << "," << y;
            ASSERT_EQ(filePixel(file, x, y), map.at(normal)) << x << "," << y;
            ++counts[filePixel(file, x, y)];
        }
    EXPECT_EQ(counts.size(), 3u);
    EXPECT_GT(counts[0xFFFFFF], counts[0xA0A0A0]);
    EXPECT_GT(counts[0xA0A0A0], counts[0x000000]);
}

TEST(BackgroundFiles, WritesBothFilesIntoTheFolder) {
    scratch::Dir dir;
    writeBackgroundFiles(dir.path());
    EXPECT_EQ(scratch::readAll(dir / "background.bmp"), asBytes(normalBackgroundBmp()));
    EXPECT_EQ(scratch::readAll(dir / "background2.bmp"), asBytes(reversedBackgroundBmp()));
    EXPECT_THROW(writeBackgroundFiles(dir / "missing"), std::exception);
}

// The build puts the pictures next to the program; the test programs live there too.
TEST(BackgroundFiles, TheBuildPlacedThemNextToTheProgram) {
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(scratch::readAll((bin / "background.bmp").string()), asBytes(normalBackgroundBmp()));
    EXPECT_EQ(scratch::readAll((bin / "background2.bmp").string()), asBytes(reversedBackgroundBmp()));
}

} // namespace
