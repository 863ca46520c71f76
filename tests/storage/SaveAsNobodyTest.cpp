// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves and loads run by an ordinary user: the tests run as root, set the files up as
// root, and run each through the save helper dropped to `nobody` with setpriv.
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "SavePattern.h"
#include "ScratchFiles.h"

using namespace veldora::storage;

extern char** environ;

namespace {

using scratch::Bytes;
namespace fs = std::filesystem;

constexpr const char* kSetpriv = "/usr/bin/setpriv";

struct Outcome {
    int status = -1; // the helper's exit status
    std::string out; // what it printed
};

// Runs argv and collects its output (standard error too).
Outcome runCapturing(const std::vector<std::string>& args) {
    Outcome run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            run.out.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    if (spawned != 0)
        return run;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// True when every folder from the root down to `path` lets other users pass.
bool traversableByAll(fs::path path) {
    for (path = fs::absolute(path); !path.empty(); path = path.parent_path()) {
        struct stat st = {};
        if (::stat(path.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0)
            return false;
        if (path == path.root_path())
            return true;
    }
    return true;
}

struct stat statOf(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

class SaveAsNobody : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to set up another user's files and drop to nobody";
        if (::access(kSetpriv, X_OK) != 0)
            GTEST_SKIP() << "no " << kSetpriv;
        const passwd* user = ::getpwnam("nobody");
        const group* grp = ::getgrnam("nogroup");
        ASSERT_NE(user, nullptr);
        ASSERT_NE(grp, nullptr);
        nobodyUid_ = user->pw_uid;
        nobodyGid_ = grp->gr_gid;

        // The private temporary folder may sit below folders that nobody cannot enter.
        fs::path root = fs::temp_directory_path();
        if (!traversableByAll(root))
            root = "/tmp";
        std::string pattern = (root / "veldora-nobody-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = pattern;
        ASSERT_EQ(::chmod(base_.c_str(), 0755), 0);
        ASSERT_TRUE(traversableByAll(base_)) << base_;
        // The helper is copied out of the build folder, which may not be open to others.
        helper_ = base_ + "/save-file";
        fs::copy_file(VELDORA_SAVE_FILE, helper_);
        ASSERT_EQ(::chmod(helper_.c_str(), 0755), 0);
    }
    void TearDown() override {
        if (base_.empty())
            return;
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    // A folder owned by `uid` with `mode`.
    std::string folder(const std::string& name, mode_t mode, uid_t uid = 0, gid_t gid = 0) {
        const std::string path = base_ + "/" + name;
        EXPECT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
        EXPECT_EQ(::chown(path.c_str(), uid, gid), 0) << path;
        EXPECT_EQ(::chmod(path.c_str(), mode), 0) << path;
        return path;
    }
    static void file(const std::string& path, const Bytes& content, mode_t mode, uid_t uid = 0,
                     gid_t gid = 0) {
        scratch::writeAll(path, content);
        EXPECT_EQ(::chown(path.c_str(), uid, gid), 0) << path;
        EXPECT_EQ(::chmod(path.c_str(), mode), 0) << path;
    }
    // Saves (kind trace or bmp) or loads (load) as nobody: "saved", "loaded" or the
    // error the program would show.
    std::string saveAsNobody(const char* kind, const std::string& path) {
        const Outcome run = runCapturing(
            {kSetpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups", helper_, kind, path});
        const std::string uidLine = "uid " + std::to_string(nobodyUid_) + "\n";
        EXPECT_EQ(run.out.substr(0, uidLine.size()), uidLine) << run.out;
        std::string said = run.out.size() > uidLine.size() ? run.out.substr(uidLine.size()) : "";
        if (!said.empty() && said.back() == '\n')
            said.pop_back();
        EXPECT_EQ(run.status, said == "saved" || said.rfind("loaded", 0) == 0 ? 0 : 1) << run.out;
        return said;
    }

    static Bytes trace() {
        const std::string s = savepattern::traceBytes();
        return Bytes(s.begin(), s.end());
    }

    std::string base_;
    std::string helper_;
    uid_t nobodyUid_ = 0;
    gid_t nobodyGid_ = 0;
};

} // namespace

// A shared file in a root-owned folder: the user may write the file but create nothing.
TEST_F(SaveAsNobody, WritesASharedFileInAFolderItCannotWrite) {
    const std::string dir = folder("shared", 0755);
    const Bytes old(5000, 0x11);
    file(dir + "/t.bin", old, 0666);
    file(dir + "/shot.bmp", old, 0666);
    file(dir + "/readonly.bin", old, 0644);
    const ino_t inode = statOf(dir + "/t.bin").st_ino;

    EXPECT_EQ(saveAsNobody("trace", dir + "/t.bin"), "saved");
    EXPECT_EQ(scratch::readAll(dir + "/t.bin"), trace());
    EXPECT_EQ(saveAsNobody("bmp", dir + "/shot.bmp"), "saved");
    EXPECT_EQ(readBmpFile(dir + "/shot.bmp"), savepattern::picture());
    for (const char* name : {"/t.bin", "/shot.bmp"}) {
        const struct stat st = statOf(dir + name);
        EXPECT_EQ(st.st_uid, 0u) << name;
        EXPECT_EQ(st.st_gid, 0u) << name;
        EXPECT_EQ(st.st_mode & 07777, 0666u) << name;
    }
    EXPECT_EQ(statOf(dir + "/t.bin").st_ino, inode);

    // What the user may not write is still refused, and kept.
    EXPECT_EQ(saveAsNobody("trace", dir + "/readonly.bin"), "EInOutError: File access denied");
    EXPECT_EQ(saveAsNobody("bmp", dir + "/readonly.bin"),
              "EFCreateError: Cannot create file " + dir + "/readonly.bin");
    EXPECT_EQ(scratch::readAll(dir + "/readonly.bin"), old);
    EXPECT_EQ(saveAsNobody("trace", dir + "/new.bin"), "EInOutError: File access denied");
    EXPECT_EQ(saveAsNobody("bmp", dir + "/new.bmp"), "EFCreateError: Cannot create file " + dir + "/new.bmp");
    EXPECT_EQ(scratch::namesIn(dir), (std::set<std::string>{"t.bin", "shot.bmp", "readonly.bin"}));
}

// Another user's file in a sticky folder such as /tmp: the user can make files there
// but cannot give a replacement the other owner, so the file is written in place.
TEST_F(SaveAsNobody, WritesAnotherUsersFileInAStickyFolderKeepingItsOwner) {
    const std::string dir = folder("sticky", 01777);
    file(dir + "/theirs.bin", Bytes(3000, 0x22), 0666);
    EXPECT_EQ(saveAsNobody("trace", dir + "/theirs.bin"), "saved");
    EXPECT_EQ(scratch::readAll(dir + "/theirs.bin"), trace());
    EXPECT_EQ(statOf(dir + "/theirs.bin").st_uid, 0u);
    EXPECT_EQ(statOf(dir + "/theirs.bin").st_mode & 07777, 0666u);

    // Its own file there is created, and replaced whole the next time.
    EXPECT_EQ(saveAsNobody("trace", dir + "/mine.bin"), "saved");
    EXPECT_EQ(statOf(dir + "/mine.bin").st_uid, nobodyUid_);
    const ino_t inode = statOf(dir + "/mine.bin").st_ino;
    EXPECT_EQ(saveAsNobody("trace", dir + "/mine.bin"), "saved");
    EXPECT_NE(statOf(dir + "/mine.bin").st_ino, inode);
    EXPECT_EQ(scratch::readAll(dir + "/mine.bin"), trace());
    EXPECT_EQ(scratch::namesIn(dir), (std::set<std::string>{"theirs.bin", "mine.bin"}));
}

TEST_F(SaveAsNobody, FollowsLinksAndReportsALoop) {
    const std::string home = folder("home", 0755, nobodyUid_, nobodyGid_);
    const std::string shared = folder("shared", 0755);
    file(shared + "/t.bin", Bytes(10, 0x33), 0666);
    EXPECT_EQ(::mkdir((home + "/data").c_str(), 0755), 0);
    EXPECT_EQ(::chown((home + "/data").c_str(), nobodyUid_, nobodyGid_), 0);
    const struct {
        const char* link;
        std::string target;
    } links[] = {
        {"/dangling.bin", "data/new.bin"},
        {"/dangling.bmp", home + "/data/new.bmp"},
        {"/to-shared.bin", shared + "/t.bin"},
        {"/loop-a", "loop-b"},
        {"/loop-b", "loop-a"},
    };
    for (const auto& l : links) {
        fs::create_symlink(l.target, home + l.link);
        EXPECT_EQ(::lchown((home + l.link).c_str(), nobodyUid_, nobodyGid_), 0);
    }

    EXPECT_EQ(saveAsNobody("trace", home + "/dangling.bin"), "saved");
    EXPECT_EQ(scratch::readAll(home + "/data/new.bin"), trace());
    EXPECT_EQ(statOf(home + "/data/new.bin").st_uid, nobodyUid_);
    EXPECT_EQ(saveAsNobody("bmp", home + "/dangling.bmp"), "saved");
    EXPECT_EQ(readBmpFile(home + "/data/new.bmp"), savepattern::picture());

    // Through a link into a folder the user cannot write: in place, owner kept.
    EXPECT_EQ(saveAsNobody("trace", home + "/to-shared.bin"), "saved");
    EXPECT_EQ(scratch::readAll(shared + "/t.bin"), trace());
    EXPECT_EQ(statOf(shared + "/t.bin").st_uid, 0u);

    EXPECT_EQ(saveAsNobody("trace", home + "/loop-a"), "EInOutError: I/O error 1921");
    EXPECT_EQ(saveAsNobody("bmp", home + "/loop-a"), "EFCreateError: Cannot create file " + home + "/loop-a");

    for (const auto& l : links) {
        EXPECT_TRUE(fs::is_symlink(home + l.link)) << l.link;
        EXPECT_EQ(fs::read_symlink(home + l.link), l.target) << l.link;
    }
    EXPECT_EQ(scratch::namesIn(home), (std::set<std::string>{"data", "dangling.bin", "dangling.bmp",
                                                             "to-shared.bin", "loop-a", "loop-b"}));
    EXPECT_EQ(scratch::namesIn(home + "/data"), (std::set<std::string>{"new.bin", "new.bmp"}));
    EXPECT_EQ(scratch::namesIn(shared), (std::set<std::string>{"t.bin"}));
}

// A reference trace made read-only, or kept on read-only media, loads as it is; a save
// over it is refused and changes nothing, and a file the user may not read is refused.
TEST_F(SaveAsNobody, LoadsAReadOnlyTraceButCannotSaveOverIt) {
    const std::string home = folder("home", 0755, nobodyUid_, nobodyGid_);
    const std::string shared = folder("shared", 0755);
    const Bytes old = trace();
    file(home + "/mine.bin", old, 0444, nobodyUid_, nobodyGid_);
    file(shared + "/reference.bin", old, 0444);
    file(home + "/secret.bin", old, 0000, nobodyUid_, nobodyGid_);
    const Bytes other(2240, 0x5A);
    file(home + "/other.bin", other, 0444, nobodyUid_, nobodyGid_);

    EXPECT_EQ(saveAsNobody("load", home + "/mine.bin"), "loaded");
    EXPECT_EQ(saveAsNobody("load", shared + "/reference.bin"), "loaded");
    EXPECT_EQ(saveAsNobody("load", home + "/other.bin"), "loaded another trace");
    EXPECT_EQ(saveAsNobody("load", home + "/secret.bin"), "EInOutError: File access denied");

    // Its own read-only file in its own folder is not replaced behind its back either.
    EXPECT_EQ(saveAsNobody("trace", home + "/other.bin"), "EInOutError: File access denied");
    EXPECT_EQ(scratch::readAll(home + "/other.bin"), other);
    EXPECT_EQ(statOf(home + "/other.bin").st_mode & 07777, 0444u);
    EXPECT_EQ(saveAsNobody("trace", home + "/secret.bin"), "EInOutError: File access denied");
    EXPECT_EQ(scratch::namesIn(home), (std::set<std::string>{"mine.bin", "secret.bin", "other.bin"}));

    scratch::Tmpfs media(base_ + "/media", "size=64k,mode=0755");
    if (!media.ok())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    file(base_ + "/media/t.bin", old, 0644);
    ASSERT_TRUE(media.makeReadOnly());
    EXPECT_EQ(saveAsNobody("load", base_ + "/media/t.bin"), "loaded");
}
