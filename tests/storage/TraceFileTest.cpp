// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScratchFiles.h"
#include "storage/TraceFile.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;

namespace {

using scratch::Bytes;

TraceArray pattern(int32_t seed) {
    TraceArray a{};
    for (int i = 0; i < kTraceLength; ++i)
        a[i] = static_cast<int32_t>(seed * 7919 + i * (i % 2 ? -104729 : 65537));
    return a;
}

// The file as the format describes it, built byte by byte.
Bytes expectedFile(const TraceArray& x, const TraceArray& y) {
    Bytes bytes;
    for (const TraceArray* a : {&x, &y})
        for (int i = 0; i < 280; ++i)
            for (int b = 0; b < 4; ++b)
                bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>((*a)[i]) >> (8 * b)));
    return bytes;
}

int codeOfRead(const std::string& path, TraceArray& x, TraceArray& y) {
    try {
        readTraceFile(path, x, y);
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.message(), ioerror::messageFor(e.code()));
        return e.code();
    }
    return 0;
}

int codeOfWrite(const std::string& path, const TraceArray& x, const TraceArray& y,
                const FileCalls& calls = FileCalls::system()) {
    try {
        writeTraceFile(path, x, y, calls);
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.message(), ioerror::messageFor(e.code()));
        return e.code();
    }
    return 0;
}

} // namespace

TEST(TraceFile, LayoutIs280XThen280YLittleEndian) {
    scratch::Dir dir;
    TraceArray x = pattern(1), y = pattern(2);
    x[0] = 0x01020304;
    x[279] = INT32_MIN;
    y[0] = -2;
    y[279] = INT32_MAX;
    writeTraceFile(dir / "t.bin", x, y);
    const Bytes file = scratch::readAll(dir / "t.bin");
    ASSERT_EQ(file.size(), 2240u);
    EXPECT_EQ(file, expectedFile(x, y));
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(Bytes(file.begin() + 1116, file.begin() + 1120), (Bytes{0x00, 0x00, 0x00, 0x80}));
    EXPECT_EQ(Bytes(file.begin() + 1120, file.begin() + 1124), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(TraceFile, SaveThenLoadGivesBackEntries0To279Only) {
    scratch::Dir dir;
    const TraceArray x = pattern(3), y = pattern(4);
    writeTraceFile(dir / "t.bin", x, y);
    TraceArray rx = pattern(5), ry = pattern(6);
    const TraceArray oldX = rx, oldY = ry;
    readTraceFile(dir / "t.bin", rx, ry);
    for (int i = 0; i < kTraceLength; ++i) {
        EXPECT_EQ(rx[i], i < 280 ? x[i] : oldX[i]) << i;
        EXPECT_EQ(ry[i], i < 280 ? y[i] : oldY[i]) << i;
    }
}

TEST(TraceFile, SaveReplacesALongerFileWithExactly2240BytesAndKeepsItsMode) {
    scratch::Dir dir;
    const std::string path = dir / "t.bin";
    scratch::writeAll(path, Bytes(5000, 0xAB));
    ::chmod(path.c_str(), 0640);
    const TraceArray x = pattern(7), y = pattern(8);
    writeTraceFile(path, x, y);
    EXPECT_EQ(scratch::readAll(path), expectedFile(x, y));
    struct stat st = {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"t.bin"}));
}

// A sparse file beyond 4 GiB: a 32-bit build without 64-bit file offsets can neither
// open it nor take its size (EOVERFLOW), so Load and Save would fail with "I/O error 75".
TEST(TraceFile, AFileBeyond4GiBLoadsItsStartAndIsReplacedBySave) {
    scratch::Dir dir;
    const std::string path = dir / "long.bin";
    const TraceArray x = pattern(11), y = pattern(12);
    scratch::writeAll(path, expectedFile(x, y));
    ASSERT_EQ(::truncate(path.c_str(), (off_t{1} << 32) + 2240), 0) << std::strerror(errno);
    TraceArray rx{}, ry{};
    ASSERT_EQ(codeOfRead(path, rx, ry), 0);
    for (int i = 0; i < kStoredPoints; ++i) {
        EXPECT_EQ(rx[i], x[i]) << i;
        EXPECT_EQ(ry[i], y[i]) << i;
    }
    ASSERT_EQ(codeOfWrite(path, pattern(13), pattern(14)), 0);
    EXPECT_EQ(scratch::readAll(path), expectedFile(pattern(13), pattern(14)));
}

// The replacement keeps the file's owner and its set-id bits where the writer may give
// the file away (root here, or the owner itself).
TEST(TraceFile, SaveKeepsOwnerAndSetIdBits) {
    scratch::Dir dir;
    const std::string path = dir / "t.bin";
    scratch::writeAll(path, Bytes(10, 1));
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 12345 : ::geteuid();
    const gid_t group = root ? 23456 : ::getegid();
    ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(path.c_str(), 06750), 0);
    writeTraceFile(path, pattern(1), pattern(2));
    struct stat st = {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(st.st_mode & 07777, 06750u);
}

TEST(TraceFile, SaveThroughASymbolicLinkReplacesTheFileItNames) {
    scratch::Dir dir;
    scratch::writeAll(dir / "real.bin", Bytes(10, 1));
    std::filesystem::create_symlink(dir / "real.bin", dir / "link.bin");
    const TraceArray x = pattern(9), y = pattern(10);
    writeTraceFile(dir / "link.bin", x, y);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
    EXPECT_EQ(scratch::readAll(dir / "real.bin"), expectedFile(x, y));
}

TEST(TraceFile, LongerFilesLoadTheirFirst2240Bytes) {
    scratch::Dir dir;
    const TraceArray x = pattern(11), y = pattern(12);
    Bytes bytes = expectedFile(x, y);
    bytes.resize(3000, 0x5A);
    scratch::writeAll(dir / "t.bin", bytes);
    TraceArray rx{}, ry{};
    readTraceFile(dir / "t.bin", rx, ry);
    EXPECT_TRUE(std::equal(x.begin(), x.begin() + 280, rx.begin()));
    EXPECT_TRUE(std::equal(y.begin(), y.begin() + 280, ry.begin()));
}

TEST(TraceFile, ShortFilesReportReadBeyondEndAndChangeNothing) {
    scratch::Dir dir;
    const Bytes full = expectedFile(pattern(13), pattern(14));
    for (const size_t size : {0u, 1u, 1000u, 1120u, 1500u, 2239u}) {
        scratch::writeAll(dir / "short.bin", Bytes(full.begin(), full.begin() + size));
        TraceArray x = pattern(15), y = pattern(16);
        EXPECT_EQ(codeOfRead(dir / "short.bin", x, y), 100) << size;
        EXPECT_EQ(x, pattern(15)) << size;
        EXPECT_EQ(y, pattern(16)) << size;
    }
}

TEST(TraceFile, EmptyNameIsAnInvalidFilenameNotTheStandardStreams) {
    TraceArray x = pattern(17), y = pattern(18);
    EXPECT_EQ(codeOfRead("", x, y), 3);
    EXPECT_EQ(codeOfWrite("", x, y), 3);
    EXPECT_EQ(codeOfRead(std::string("a\0b", 3), x, y), 3);
    EXPECT_EQ(x, pattern(17));
    EXPECT_EQ(y, pattern(18));
}

TEST(TraceFile, PlatformErrorsMapToTheirCodes) {
    scratch::Dir dir;
    scratch::writeAll(dir / "plain", {1, 2, 3});
    std::filesystem::create_directory(dir / "sub");
    const TraceArray x = pattern(19), y = pattern(20);
    const struct {
        std::string path;
        int readCode;
        int writeCode;
    } table[] = {
        {dir / "missing.bin", 2, 0}, {dir / "nodir/t.bin", 3, 3},
        {dir / "plain/t.bin", 3, 3}, // a file used as a directory
        {dir / "sub", 5, 5},         // a directory used as the file
        {dir.path() + "/", 5, 5},
    };
    for (const auto& row : table) {
        TraceArray rx = pattern(21), ry = pattern(22);
        EXPECT_EQ(codeOfRead(row.path, rx, ry), row.readCode) << row.path;
        EXPECT_EQ(rx, pattern(21));
        EXPECT_EQ(codeOfWrite(row.path, x, y), row.writeCode) << row.path;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
}

TEST(TraceFile, PipesDoNotHangTheReader) {
    scratch::Dir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    TraceArray x = pattern(23), y = pattern(24);
    EXPECT_EQ(codeOfRead(dir / "fifo", x, y), 100); // no writer: nothing, then the end
    EXPECT_EQ(x, pattern(23));
}

TEST(TraceFile, ReadOnlyFileLoadsButCannotBeReplaced) {
    scratch::Dir dir;
    const std::string path = dir / "t.bin";
    const Bytes old = expectedFile(pattern(25), pattern(26));
    scratch::writeAll(path, old);
    scratch::Unwritable lock(path);
    if (!lock.ok())
        GTEST_SKIP() << "cannot make a file unwritable here (no immutable attribute)";
    TraceArray x = pattern(27), y = pattern(28);
    EXPECT_EQ(codeOfRead(path, x, y), 0);
    EXPECT_TRUE(std::equal(x.begin(), x.begin() + 280, pattern(25).begin()));
    EXPECT_TRUE(std::equal(y.begin(), y.begin() + 280, pattern(26).begin()));
    EXPECT_EQ(codeOfWrite(path, pattern(27), pattern(28)), 5);
    EXPECT_EQ(scratch::readAll(path), old);
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"t.bin"}));
}

TEST(TraceFile, UnwritableDirectoryRefusesTheSave) {
    scratch::Dir dir;
    std::filesystem::create_directory(dir / "locked");
    scratch::Unwritable lock(dir / "locked");
    if (!lock.ok())
        GTEST_SKIP() << "cannot make a directory unwritable here";
    EXPECT_EQ(codeOfWrite(dir / "locked/t.bin", pattern(29), pattern(30)), 5);
}

TEST(TraceFile, ReadOnlyMountLoadsButRefusesTheSave) {
    scratch::Dir dir;
    scratch::Tmpfs fs(dir / "ro");
    if (!fs.ok())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    writeTraceFile(dir / "ro/t.bin", pattern(31), pattern(32));
    ASSERT_TRUE(fs.makeReadOnly());
    TraceArray x{}, y{};
    EXPECT_EQ(codeOfRead(dir / "ro/t.bin", x, y), 0);
    EXPECT_TRUE(std::equal(x.begin(), x.begin() + 280, pattern(31).begin()));
    EXPECT_TRUE(std::equal(y.begin(), y.begin() + 280, pattern(32).begin()));
    EXPECT_EQ(codeOfWrite(dir / "ro/t.bin", pattern(1), pattern(2)), 5);
    EXPECT_EQ(codeOfWrite(dir / "ro/new.bin", x, y), 5);
    EXPECT_EQ(scratch::readAll(dir / "ro/t.bin"), expectedFile(pattern(31), pattern(32)));
}

// A real full disk: the old file stays whole and no temporary file is left behind.
TEST(TraceFile, FullDiskKeepsTheOldFile) {
    scratch::Dir dir;
    scratch::Tmpfs fs(dir / "small", "size=16k");
    if (!fs.ok())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const std::string path = dir / "small/t.bin";
    const TraceArray oldX = pattern(33), oldY = pattern(34);
    writeTraceFile(path, oldX, oldY);
    {
        const int fd = ::open((dir / "small/filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const Bytes block(4096, 0);
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }
    EXPECT_EQ(codeOfWrite(path, pattern(35), pattern(36)), 112);
    EXPECT_EQ(scratch::readAll(path), expectedFile(oldX, oldY));
    EXPECT_EQ(scratch::namesIn(dir / "small"), (std::set<std::string>{"t.bin", "filler"}));
}

// /dev/full fails every write with ENOSPC; a device is written in place.
TEST(TraceFile, DeviceThatIsFullReportsIoError112) {
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(codeOfWrite("/dev/full", pattern(37), pattern(38)), 112);
}

// Failures that no real file system produces on demand, injected at the file layer.
TEST(TraceFile, InjectedWriteFailuresKeepTheOldFile) {
    const struct {
        const char* what;
        std::function<ssize_t(int, const void*, size_t)> write;
        std::function<int(int)> fsync;
        int code;
    } table[] = {
        {"short second write",
         [n = 0](int fd, const void* d, size_t s) mutable { return ::write(fd, d, ++n == 2 ? s / 2 : s); },
         FileCalls::system().fsync, 101},
        {"write stores nothing", [](int, const void*, size_t) { return ssize_t{0}; },
         FileCalls::system().fsync, 101},
        {"device lost",
         [](int, const void*, size_t) {
             errno = EIO;
             return ssize_t{-1};
         },
         FileCalls::system().fsync, 1117},
        {"flush fails", FileCalls::system().write,
         [](int) {
             errno = EIO;
             return -1;
         },
         1117},
        {"flush finds disk full", FileCalls::system().write,
         [](int) {
             errno = ENOSPC;
             return -1;
         },
         112},
    };
    for (const auto& row : table) {
        scratch::Dir dir;
        const std::string path = dir / "t.bin";
        const Bytes old = expectedFile(pattern(39), pattern(40));
        scratch::writeAll(path, old);
        EXPECT_EQ(codeOfWrite(path, pattern(41), pattern(42), FileCalls{row.write, row.fsync}), row.code)
            << row.what;
        EXPECT_EQ(scratch::readAll(path), old) << row.what;
        EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"t.bin"})) << row.what;
    }
}

TEST(TraceFile, NewFileIsCreatedWithTheUmaskedDefaultMode) {
    scratch::Dir dir;
    const mode_t old = ::umask(022);
    writeTraceFile(dir / "new.bin", pattern(43), pattern(44));
    ::umask(old);
    struct stat st = {};
    ASSERT_EQ(::stat((dir / "new.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}
