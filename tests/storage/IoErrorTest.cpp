// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <cerrno>
#include <gtest/gtest.h>

#include "ScratchFiles.h"
#include "storage/IoError.h"

using namespace veldora::base;
using namespace veldora::storage;

TEST(IoError, MessagesByCode) {
    const struct {
        int code;
        const char* message;
    } table[] = {
        {2, "File not found"},
        {3, "Invalid filename"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {100, "Read beyond end of file"},
        {101, "Disk full"},
        {106, "Invalid numeric input"},
        {6, "I/O error 6"},
        {112, "I/O error 112"},
        {1117, "I/O error 1117"},
        {0, "I/O error 0"},
        {-1, "I/O error -1"},
    };
    for (const auto& row : table) {
        const EInOutError e = ioerror::error(row.code);
        EXPECT_EQ(e.code(), row.code);
        EXPECT_EQ(e.message(), row.message) << row.code;
        EXPECT_STREQ(e.className(), "EInOutError");
    }
}

TEST(IoError, ErrnoMapsToWindowsCodes) {
    scratch::Dir dir;
    const std::string inExistingDir = dir / "file";
    const struct {
        int err;
        int code;
    } table[] = {
        {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {EMFILE, 4},  {ENFILE, 4},   {EACCES, 5},   {EPERM, 5},
        {EROFS, 5},   {EISDIR, 5},       {EBADF, 6},   {EEXIST, 80},  {ENOSPC, 112}, {EDQUOT, 112},
        {EIO, 1117},  {EINVAL, 87},      {EFBIG, 223}, {EAGAIN, 232}, {EXDEV, 17},   {ENXIO, 21},
        {EBUSY, 170}, {ELOOP, 1921},     {EPIPE, 109}, {EDOM, 31},    {0, 31},
    };
    for (const auto& row : table)
        EXPECT_EQ(ioerror::codeFromErrno(row.err, inExistingDir), row.code) << "errno " << row.err;
}

// Linux reports a missing directory as ENOENT too; the parent decides between 2 and 3.
TEST(IoError, EnoentTellsMissingFileFromMissingDirectory) {
    scratch::Dir dir;
    scratch::writeAll(dir / "plain", {1});
    const struct {
        std::string path;
        int code;
    } table[] = {
        {dir / "missing", 2},
        {dir / "nodir/missing", 3},
        {dir / "nodir/deeper/missing", 3},
        {dir / "plain/missing", 3}, // a file where a directory should be
        {"/missing-in-root-veldora", 2},
    };
    for (const auto& row : table)
        EXPECT_EQ(ioerror::codeFromErrno(ENOENT, row.path), row.code) << row.path;

    // A bare name lies in the current directory, which exists.
    EXPECT_EQ(ioerror::codeFromErrno(ENOENT, "veldora-no-such-file.bin"), 2);
    EXPECT_TRUE(ioerror::parentDirectoryExists("veldora-no-such-file.bin"));
}
