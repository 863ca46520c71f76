// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves through symbolic links, into folders that cannot be written, and over files
// whose owner and mode must survive; the trace file and the picture export alike.
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SavePattern.h"
#include "ScratchFiles.h"
#include "base/Errors.h"
#include "storage/SafeFileWriter.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;

namespace {

using scratch::Bytes;

Bytes expectedTrace() {
    const std::string s = savepattern::traceBytes();
    return Bytes(s.begin(), s.end());
}

// "saved", or the error as the user would read it.
std::string saveTrace(const std::string& path, const FileCalls& calls = FileCalls::system()) {
    try {
        writeTraceFile(path, savepattern::x(), savepattern::y(), calls);
    } catch (const Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    }
    return "saved";
}

std::string saveBmp(const std::string& path) {
    try {
        writeBmpFile(path, savepattern::picture());
    } catch (const Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    }
    return "saved";
}

std::string loadTraceError(const std::string& path) {
    TraceArray x{}, y{};
    try {
        readTraceFile(path, x, y);
    } catch (const Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    }
    return "loaded";
}

struct stat statOf(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

} // namespace

TEST(SafeSave, DanglingLinkCreatesTheFileItNamesAndStaysALink) {
    scratch::Dir dir;
    std::filesystem::create_directory(dir / "sub");
    const struct {
        const char* link;
        std::string target; // as written into the link
        std::string file;   // the file that must appear
    } table[] = {
        {"absolute.bin", dir / "real.bin", dir / "real.bin"},
        {"relative.bin", "sub/rel.bin", dir / "sub/rel.bin"},
        {"chain.bin", "absolute-again.bin", dir / "end.bin"},
    };
    std::filesystem::create_symlink("end.bin", dir / "absolute-again.bin");
    for (const auto& row : table) {
        std::filesystem::create_symlink(row.target, dir / row.link);
        EXPECT_EQ(saveTrace(dir / row.link), "saved") << row.link;
        EXPECT_TRUE(std::filesystem::is_symlink(dir / row.link)) << row.link;
        EXPECT_EQ(std::filesystem::read_symlink(dir / row.link), row.target) << row.link;
        EXPECT_EQ(scratch::readAll(row.file), expectedTrace()) << row.link;
    }
    EXPECT_EQ(scratch::namesIn(dir / "sub"), (std::set<std::string>{"rel.bin"}));

    std::filesystem::create_symlink("shot.bmp", dir / "shot-link.bmp");
    EXPECT_EQ(saveBmp(dir / "shot-link.bmp"), "saved");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "shot-link.bmp"));
    EXPECT_EQ(readBmpFile(dir / "shot.bmp"), savepattern::picture());
}

TEST(SafeSave, LinkLoopIsRefusedAsLoadRefusesIt) {
    scratch::Dir dir;
    std::filesystem::create_symlink("b", dir / "a");
    std::filesystem::create_symlink("a", dir / "b");
    std::filesystem::create_symlink("self", dir / "self");
    for (const char* name : {"a", "self"}) {
        const std::string path = dir / name;
        EXPECT_EQ(loadTraceError(path), "EInOutError: I/O error 1921") << name;
        EXPECT_EQ(saveTrace(path), "EInOutError: I/O error 1921") << name;
        EXPECT_EQ(saveBmp(path), "EFCreateError: Cannot create file " + path) << name;
    }
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"a", "b", "self"}));
    EXPECT_EQ(std::filesystem::read_symlink(dir / "a"), "b");
    EXPECT_EQ(std::filesystem::read_symlink(dir / "self"), "self");
}

// The file a dangling link made the save create goes again when the save fails.
TEST(SafeSave, FailedSaveThroughADanglingLinkLeavesNoFileBehind) {
    scratch::Dir dir;
    std::filesystem::create_symlink("real.bin", dir / "link.bin");
    const FileCalls halfWrites{[](int fd, const void* d, size_t s) { return ::write(fd, d, s / 2); },
                               FileCalls::system().fsync};
    EXPECT_EQ(saveTrace(dir / "link.bin", halfWrites), "EInOutError: Disk full");
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"link.bin"}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
}

TEST(SafeSave, ReplacingKeepsTheOwnerAndTheMode) {
    scratch::Dir dir;
    const std::string path = dir / "t.bin";
    scratch::writeAll(path, Bytes(100, 1));
    ASSERT_EQ(::chmod(path.c_str(), 02604), 0);
    uid_t uid = ::geteuid();
    gid_t gid = ::getegid();
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && nobody != nullptr) {
        // Only root can give the file to someone else; then the owner must survive too.
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
        ASSERT_EQ(::chown(path.c_str(), uid, gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), 02604), 0); // chown cleared the set-group-id bit
    }
    const ino_t before = statOf(path).st_ino;
    {
        SafeFileWriter writer(path);
        EXPECT_FALSE(writer.inPlace());
    }
    EXPECT_EQ(saveTrace(path), "saved");
    const struct stat st = statOf(path);
    EXPECT_NE(st.st_ino, before); // replaced, not rewritten
    EXPECT_EQ(st.st_mode & 07777, 02604u);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
    EXPECT_EQ(scratch::readAll(path), expectedTrace());
    EXPECT_EQ(scratch::namesIn(dir.path()), (std::set<std::string>{"t.bin"}));
}

// A folder where nothing can be created, holding a file that may be written: the file
// is truncated and written in place, keeping its identity, owner and mode.
TEST(SafeSave, FolderThatCannotBeWrittenGetsItsFileWrittenInPlace) {
    scratch::Dir dir;
    std::filesystem::create_directory(dir / "locked");
    const std::string trace = dir / "locked/t.bin";
    const std::string shot = dir / "locked/shot.bmp";
    scratch::writeAll(trace, Bytes(5000, 0xAB));
    scratch::writeAll(shot, Bytes(7, 0xCD));
    ASSERT_EQ(::chmod(trace.c_str(), 0640), 0);
    const ino_t traceInode = statOf(trace).st_ino;
    scratch::Unwritable lock(dir / "locked");
    if (!lock.ok())
        GTEST_SKIP() << "cannot make a directory unwritable here";

    {
        SafeFileWriter writer(trace);
        EXPECT_TRUE(writer.inPlace());
        writer.write("x", 1);
        writer.commit();
    }
    EXPECT_EQ(saveTrace(trace), "saved");
    EXPECT_EQ(scratch::readAll(trace), expectedTrace());
    EXPECT_EQ(statOf(trace).st_ino, traceInode);
    EXPECT_EQ(statOf(trace).st_mode & 07777, 0640u);
    EXPECT_EQ(saveBmp(shot), "saved");
    EXPECT_EQ(readBmpFile(shot), savepattern::picture());
    // Nothing can be created there: a new name is still refused.
    EXPECT_EQ(saveTrace(dir / "locked/new.bin"), "EInOutError: File access denied");
    EXPECT_EQ(saveBmp(dir / "locked/new.bmp"),
              "EFCreateError: Cannot create file " + (dir / "locked/new.bmp"));
    EXPECT_EQ(scratch::namesIn(dir / "locked"), (std::set<std::string>{"t.bin", "shot.bmp"}));
}
