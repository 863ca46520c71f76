// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "BmpBuilder.h"
#include "ScratchFiles.h"
#include "storage/BmpFile.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;

using bmpbuild::Bytes;
using bmpbuild::Fields;

namespace {

Bitmap decode(const Bytes& file) {
    return decodeBmp(file.data(), file.size());
}

// Rows listed top to bottom, pixels 0x00RRGGBB.
Bitmap picture(const std::vector<std::vector<uint32_t>>& rows) {
    Bitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            b.setPixel(static_cast<int>(x), static_cast<int>(y), rows[y][x]);
    return b;
}

bool isInvalid(const Bytes& file) {
    try {
        decode(file);
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), "Bitmap image is not valid");
        return true;
    }
    return false;
}

const std::vector<uint32_t> kPalette16 = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xABCDEF,
                                          0x010203, 0xFFFFFF, 0x800000, 0x008000, 0x000080, 0x808080,
                                          0x111111, 0x222222, 0x333333, 0x444444};

} // namespace

TEST(BmpRead, PaletteDepthsBottomUp) {
    // 1 bit: 9 pixels cross a byte boundary; 4 bits: odd width; 8 bits.
    const std::vector<std::vector<int>> top1 = {{1, 0, 1, 1, 0, 0, 0, 1, 1}, {0, 1, 0, 0, 1, 1, 1, 0, 0}};
    Fields s1{.width = 9, .height = 2, .bitsPerPixel = 1, .palette = {0x000000, 0x123456}};
    s1.pixels = bmpbuild::packIndexes({top1[1], top1[0]}, 1); // stored bottom row first
    const Bitmap b1 = decode(bmpbuild::build(s1));
    ASSERT_EQ(b1.width(), 9);
    ASSERT_EQ(b1.height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(b1.pixel(x, y), top1[y][x] ? 0x123456u : 0u) << x << "," << y;

    Fields s4{.width = 3, .height = 2, .bitsPerPixel = 4, .palette = kPalette16};
    s4.pixels = bmpbuild::packIndexes({{4, 5, 15}, {1, 2, 3}}, 4);
    EXPECT_EQ(decode(bmpbuild::build(s4)),
              picture({{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xABCDEF, 0x444444}}));

    Fields s8{.width = 2, .height = 2, .bitsPerPixel = 8, .palette = kPalette16, .coloursUsed = 16};
    s8.pixels = bmpbuild::packIndexes({{7, 6}, {5, 4}}, 8);
    EXPECT_EQ(decode(bmpbuild::build(s8)), picture({{0xABCDEF, 0x123456}, {0xFFFFFF, 0x010203}}));
}

TEST(BmpRead, TrueColourDepths) {
    // 24 bits, bottom-up, width 2: 6 bytes + 2 padding per row.
    Fields s24{.width = 2, .height = 2, .bitsPerPixel = 24};
    s24.pixels = {0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0, 0,  // bottom row
                  0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0, 0}; // top row
    const Bitmap expected = picture({{0x102030, 0x405060}, {0x010203, 0x040506}});
    EXPECT_EQ(decode(bmpbuild::build(s24)), expected);

    // Top-down: the same rows in the other order, negative height.
    Fields down = s24;
    down.height = -2;
    down.pixels = {0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0, 0, 0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0, 0};
    EXPECT_EQ(decode(bmpbuild::build(down)), expected);

    // 32 bits BGRX: the fourth byte is ignored.
    Fields s32{.width = 2, .height = 1, .bitsPerPixel = 32};
    s32.pixels = {0x03, 0x02, 0x01, 0xFF, 0x06, 0x05, 0x04, 0x7F};
    EXPECT_EQ(decode(bmpbuild::build(s32)), picture({{0x010203, 0x040506}}));

    // 16 bits, default 5-5-5: full red, full green, full blue, and one step of each.
    Fields s16{.width = 4, .height = 1, .bitsPerPixel = 16};
    s16.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x21, 0x04};
    EXPECT_EQ(decode(bmpbuild::build(s16)), picture({{0xFF0000, 0x00FF00, 0x0000FF, 0x080808}}));

    // 16 bits 5-6-5 with masks after a 40-byte header.
    Fields s565{
        .width = 2, .height = 1, .bitsPerPixel = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}};
    s565.pixels = {0xE0, 0x07, 0x00, 0xF8};
    EXPECT_EQ(decode(bmpbuild::build(s565)), picture({{0x00FF00, 0xFF0000}}));

    // 32 bits with masks inside a 108-byte header, in an unusual order (RGBX).
    Fields v4{.headerSize = 108,
              .width = 1,
              .height = 1,
              .bitsPerPixel = 32,
              .compression = 3,
              .masks = {0x000000FF, 0x0000FF00, 0x00FF0000}};
    v4.pixels = {0x11, 0x22, 0x33, 0x00};
    EXPECT_EQ(decode(bmpbuild::build(v4)), picture({{0x112233}}));

    // A 124-byte header with plain BGR pixels.
    Fields v5 = s24;
    v5.headerSize = 124;
    EXPECT_EQ(decode(bmpbuild::build(v5)), expected);
}

TEST(BmpRead, CoreHeader) {
    Fields core8{.headerSize = 12, .width = 2, .height = 1, .bitsPerPixel = 8};
    core8.palette.assign(256, 0);
    core8.palette[9] = 0x0A0B0C;
    core8.pixels = {9, 0, 0, 0};
    EXPECT_EQ(decode(bmpbuild::build(core8)), picture({{0x0A0B0C, 0x000000}}));

    Fields core24{.headerSize = 12, .width = 1, .height = 2, .bitsPerPixel = 24};
    core24.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(decode(bmpbuild::build(core24)), picture({{0x060504}, {0x030201}}));
}

TEST(BmpRead, RunLengthEncoded) {
    // RLE8, 4 x 3, bottom row first: a run, a literal, a delta, end of line, end of picture.
    Fields rle8{.width = 4,
                .height = 3,
                .bitsPerPixel = 8,
                .compression = 1,
                .palette = kPalette16,
                .coloursUsed = 16};
    rle8.pixels = {
        2, 1,             // bottom row: two pixels of colour 1
        0, 0,             // end of line
        0, 3, 2, 3, 4, 0, // literal 2,3,4 (padded to an even count)
        0, 2, 0, 1,       // delta: up one row, same column (x = 3)
        1, 5,             // top row, x = 3: colour 5
        0, 1,             // end of picture
    };
    EXPECT_EQ(decode(bmpbuild::build(rle8)), picture({
                                                 {0x000000, 0x000000, 0x000000, 0xABCDEF},
                                                 {0x00FF00, 0x0000FF, 0x123456, 0x000000},
                                                 {0xFF0000, 0xFF0000, 0x000000, 0x000000},
                                             }));

    // RLE4: a run alternates two indexes; a literal packs two per byte.
    Fields rle4{.width = 5, .height = 2, .bitsPerPixel = 4, .compression = 2, .palette = kPalette16};
    rle4.pixels = {5, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 1};
    EXPECT_EQ(decode(bmpbuild::build(rle4)), picture({
                                                 {0x123456, 0xABCDEF, 0x010203, 0x000000, 0x000000},
                                                 {0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000},
                                             }));

    // A run past the right edge is clipped, not wrapped.
    Fields wide = rle8;
    wide.height = 1;
    wide.pixels = {200, 2, 0, 1};
    EXPECT_EQ(decode(bmpbuild::build(wide)), picture({{0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00}}));
}

TEST(BmpRead, MalformedContentIsRefused) {
    Fields good{.width = 4, .height = 2, .bitsPerPixel = 24};
    good.pixels.assign(24, 0x40); // 12 bytes per row, no padding
    const Bytes valid = bmpbuild::build(good);
    ASSERT_FALSE(isInvalid(valid));

    // Every truncation of the file, headers and pixels alike.
    for (size_t n = 0; n < valid.size(); ++n)
        EXPECT_TRUE(isInvalid(Bytes(valid.begin(), valid.begin() + n))) << "cut at " << n;
    EXPECT_TRUE(isInvalid(Bytes{}));

    auto with = [&](void (*change)(Fields&)) {
        Fields s = good;
        change(s);
        return bmpbuild::build(s);
    };
    auto patched = [&](size_t at, uint32_t value) {
        Bytes b = valid;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return b;
    };
    Bytes wrongMagic = valid;
    wrongMagic[1] = 'A';
    Fields index8{.width = 1, .height = 1, .bitsPerPixel = 8, .palette = {0, 0}, .coloursUsed = 2};
    index8.pixels = {2, 0, 0, 0};
    Fields rleIndex{
        .width = 2, .height = 1, .bitsPerPixel = 8, .compression = 1, .palette = {0, 0}, .coloursUsed = 2};
    rleIndex.pixels = {2, 7, 0, 1};
    Fields rleCut = rleIndex;
    rleCut.pixels = {0, 5, 1, 1}; // five literal pixels promised, two bytes there
    Fields rleHuge = rleIndex;
    rleHuge.width = 60000;
    rleHuge.height = 200;
    rleHuge.pixels = {0, 1}; // 12 Mpixel claimed by a 2-byte stream

    const struct {
        const char* what;
        Bytes file;
    } table[] = {
        {"magic", wrongMagic},
        {"header size 20", patched(14, 20)},
        {"header size huge", patched(14, 0xFFFFFFF0)},
        {"width 0", patched(18, 0)},
        {"negative width", patched(18, static_cast<uint32_t>(-4))},
        {"height 0", patched(22, 0)},
        {"height INT32_MIN", patched(22, 0x80000000u)},
        {"65536 x 65536", with([](Fields& s) {
             s.width = 65536;
             s.height = 65536;
         })},
        {"more rows than data", patched(22, 3)},
        {"no planes", with([](Fields& s) { s.planes = 0; })},
        {"two planes", with([](Fields& s) { s.planes = 2; })},
        {"65535 planes", with([](Fields& s) { s.planes = 0xFFFF; })},
        {"two planes in a core header", with([](Fields& s) {
             s.headerSize = 12;
             s.planes = 2;
         })},
        {"two planes in a 124-byte header", with([](Fields& s) {
             s.headerSize = 124;
             s.planes = 2;
         })},
        {"2 bits per pixel", with([](Fields& s) { s.bitsPerPixel = 2; })},
        {"0 bits per pixel", with([](Fields& s) { s.bitsPerPixel = 0; })},
        {"48 bits per pixel", with([](Fields& s) { s.bitsPerPixel = 48; })},
        {"JPEG inside", with([](Fields& s) { s.compression = 4; })},
        {"unknown compression", with([](Fields& s) { s.compression = 99; })},
        {"RLE8 at 24 bits", with([](Fields& s) { s.compression = 1; })},
        {"bit fields at 24 bits", with([](Fields& s) {
             s.compression = 3;
             s.masks = {0xFF0000, 0xFF00, 0xFF};
         })},
        {"pixel offset past the end", patched(10, 5000)},
        {"pixel offset inside the header", patched(10, 20)},
        {"palette index beyond the palette", bmpbuild::build(index8)},
        {"palette missing", with([](Fields& s) {
             s.bitsPerPixel = 8;
             s.pixels.assign(8, 0);
         })},
        {"RLE index beyond the palette", bmpbuild::build(rleIndex)},
        {"RLE literal cut off", bmpbuild::build(rleCut)},
        {"RLE top-down", with([](Fields& s) {
             s.bitsPerPixel = 8;
             s.compression = 1;
             s.height = -2;
             s.palette = {0};
             s.pixels = {0, 1};
         })},
        {"RLE claims far more than its data", bmpbuild::build(rleHuge)},
        {"mask with a gap", with([](Fields& s) {
             s.bitsPerPixel = 32;
             s.compression = 3;
             s.masks = {0xF0F000, 0xFF00, 0xFF};
             s.pixels.assign(32, 0);
         })},
        {"16-bit mask above 16 bits", with([](Fields& s) {
             s.bitsPerPixel = 16;
             s.compression = 3;
             s.masks = {0xF0000, 0x7E0, 0x1F};
             s.pixels.assign(16, 0);
         })},
        {"all masks empty", with([](Fields& s) {
             s.bitsPerPixel = 32;
             s.compression = 3;
             s.masks = {0, 0, 0};
             s.pixels.assign(32, 0);
         })},
    };
    for (const auto& row : table)
        EXPECT_TRUE(isInvalid(row.file)) << row.what;
}

TEST(BmpRead, FileErrors) {
    scratch::Dir dir;
    const auto openError = [](const std::string& path) -> std::string {
        try {
            readBmpFile(path);
        } catch (const EFOpenError& e) {
            return e.message();
        }
        return "no EFOpenError";
    };
    EXPECT_EQ(openError(dir / "background.bmp"), "Cannot open file " + (dir / "background.bmp"));
    EXPECT_EQ(openError(dir / "nodir/background.bmp"), "Cannot open file " + (dir / "nodir/background.bmp"));
    EXPECT_EQ(openError(dir.path()), "Cannot open file " + dir.path());
    EXPECT_EQ(openError(""), "Cannot open file ");

    scratch::writeAll(dir / "text.bmp", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_THROW(readBmpFile(dir / "text.bmp"), EInvalidGraphic);
    ASSERT_EQ(::mkfifo((dir / "fifo.bmp").c_str(), 0600), 0);
    EXPECT_THROW(readBmpFile(dir / "fifo.bmp"), EInvalidGraphic); // no writer: empty, no hang

    Fields s{.width = 1, .height = 1, .bitsPerPixel = 24, .pixels = {1, 2, 3, 0}};
    scratch::writeAll(dir / "ok.bmp", bmpbuild::build(s));
    EXPECT_EQ(readBmpFile(dir / "ok.bmp"), picture({{0x030201}}));
}
