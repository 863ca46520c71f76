// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <random>

#include "ScratchFiles.h"
#include "storage/BmpFile.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;

using scratch::Bytes;

namespace {

Bytes asBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bitmap randomPicture(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, rng() & 0xFFFFFF);
    return b;
}

std::string exceptionOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    }
    return "none";
}

} // namespace

TEST(BmpWrite, HeadersAndPixelsByteByByte) {
    // 2 x 2: rows of 6 bytes padded to 8, the bottom row first, blue-green-red.
    Bitmap b(2, 2);
    b.setPixel(0, 0, 0x112233);
    b.setPixel(1, 0, 0x445566);
    b.setPixel(0, 1, 0x778899);
    b.setPixel(1, 1, 0xAABBCC);
    const Bytes expected = {
        'B',  'M',  70,   0,    0,    0,    0, 0, 0,  0, 54, 0, 0, 0, // file header: size 70, offset 54
        40,   0,    0,    0,    2,    0,    0, 0, 2,  0, 0,  0, // header size, width, height (bottom-up)
        1,    0,    24,   0,    0,    0,    0, 0, 16, 0, 0,  0, // planes, 24 bits, BI_RGB, image bytes
        0xC4, 0x0E, 0,    0,    0xC4, 0x0E, 0, 0,               // 3780 pixels per metre both ways
        0,    0,    0,    0,    0,    0,    0, 0,               // no palette
        0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0, 0,               // bottom row
        0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0,               // top row
    };
    EXPECT_EQ(asBytes(encodeBmp(b)), expected);
}

TEST(BmpWrite, ScreenSizedPictureHasTheExpectedSizes) {
    const Bytes file = asBytes(encodeBmp(Bitmap(291, 330, 0x009600)));
    ASSERT_EQ(file.size(), 54u + 876u * 330u);
    auto le32 = [&](size_t at) {
        return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24;
    };
    EXPECT_EQ(le32(2), 289134);
    EXPECT_EQ(le32(18), 291);
    EXPECT_EQ(le32(22), 330);
    EXPECT_EQ(le32(34), 289080);
    // Row padding: 291 * 3 = 873 bytes of pixels, then 3 zero bytes.
    EXPECT_EQ((Bytes{file[54 + 872], file[54 + 873], file[54 + 874], file[54 + 875]}), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ((Bytes{file[54], file[55], file[56]}), (Bytes{0x00, 0x96, 0x00}));
}

TEST(BmpWrite, RoundTripThroughTheReaderForEveryPadding) {
    for (int width = 1; width <= 5; ++width) {
        const Bitmap b = randomPicture(width, 3, static_cast<unsigned>(width));
        const std::string file = encodeBmp(b);
        EXPECT_EQ(decodeBmp(reinterpret_cast<const unsigned char*>(file.data()), file.size()), b) << width;
    }
}

TEST(BmpWrite, WritesTheFileAndReplacesAnExistingOne) {
    scratch::Dir dir;
    const std::string path = dir / "shot.bmp";
    scratch::writeAll(path, Bytes(1000000, 7));
    const Bitmap b = randomPicture(291, 330, 1);
    writeBmpFile(path, b);
    EXPECT_EQ(scratch::readAll(path), asBytes(encodeBmp(b)));
    EXPECT_EQ(readBmpFile(path), b);
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"shot.bmp"}));
}

TEST(BmpWrite, CannotCreate) {
    scratch::Dir dir;
    std::filesystem::create_directory(dir / "sub");
    for (const std::string& path : {dir / "nodir/shot.bmp", dir / "sub", std::string()})
        EXPECT_EQ(exceptionOf([&] { writeBmpFile(path, Bitmap(1, 1)); }),
                  "EFCreateError: Cannot create file " + path);

    scratch::writeAll(dir / "locked.bmp", {1, 2, 3});
    scratch::Unwritable lock(dir / "locked.bmp");
    if (!lock.ok())
        GTEST_SKIP() << "cannot make a file unwritable here";
    EXPECT_EQ(exceptionOf([&] { writeBmpFile(dir / "locked.bmp", Bitmap(1, 1)); }),
              "EFCreateError: Cannot create file " + (dir / "locked.bmp"));
    EXPECT_EQ(scratch::readAll(dir / "locked.bmp"), (Bytes{1, 2, 3}));
}

TEST(BmpWrite, FailingPartWayKeepsTheOldFile) {
    scratch::Dir dir;
    const std::string path = dir / "shot.bmp";
    const Bytes old(5000, 9);
    scratch::writeAll(path, old);
    const FileCalls halfWrites{[](int fd, const void* d, size_t s) { return ::write(fd, d, s / 2); },
                               FileCalls::system().fsync};
    EXPECT_EQ(exceptionOf([&] { writeBmpFile(path, Bitmap(100, 100), halfWrites); }),
              "EWriteError: Stream write error");
    EXPECT_EQ(scratch::readAll(path), old);
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"shot.bmp"}));
}

TEST(BmpWrite, FullDiskKeepsTheOldFile) {
    scratch::Dir dir;
    scratch::Tmpfs fs(dir / "small", "size=64k");
    if (!fs.ok())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const std::string path = dir / "small/shot.bmp";
    const Bitmap small(20, 20, 0x123456);
    writeBmpFile(path, small);
    EXPECT_EQ(exceptionOf([&] { writeBmpFile(path, Bitmap(291, 330)); }), "EWriteError: Stream write error");
    EXPECT_EQ(readBmpFile(path), small);
    EXPECT_EQ(scratch::namesIn(dir / "small"), (std::set<std::string>{"shot.bmp"}));
}
