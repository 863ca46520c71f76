// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Scratch directories and files for the storage tests, and the ways to make a write
// fail for real even when the tests run as root (who ignores permission bits).
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/fs.h>
#include <set>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace scratch {

using Bytes = std::vector<uint8_t>;

class Dir {
  public:
    Dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "veldora-storage-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~Dir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::set<std::string> namesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// A tmpfs mounted on a fresh directory; needs the right to mount (root in the CI
// container usually has it). ok() tells whether the mount worked.
class Tmpfs {
  public:
    explicit Tmpfs(const std::string& dir, const std::string& options = "size=64k") : dir_(dir) {
        ::mkdir(dir.c_str(), 0755);
        mounted_ = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~Tmpfs() {
        if (mounted_)
            ::umount2(dir_.c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool ok() const { return mounted_; }
    bool makeReadOnly() {
        return ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

  private:
    std::string dir_;
    bool mounted_ = false;
};

// Makes a file or directory unwritable for this process, as root too: the immutable
// attribute when running as root (permission bits do not stop root), the permission
// bits otherwise. Undone on destruction so the scratch directory can be removed.
class Unwritable {
  public:
    explicit Unwritable(const std::string& path) : path_(path) {
        if (::geteuid() != 0) {
            struct stat st = {};
            ::stat(path.c_str(), &st);
            mode_ = st.st_mode & 07777;
            ok_ = ::chmod(path.c_str(), mode_ & ~0222u) == 0;
            byMode_ = true;
        } else {
            ok_ = setImmutable(true);
        }
    }
    ~Unwritable() {
        if (ok_ && byMode_)
            ::chmod(path_.c_str(), mode_);
        else if (ok_)
            setImmutable(false);
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool ok() const { return ok_; }

  private:
    bool setImmutable(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }
    std::string path_;
    mode_t mode_ = 0;
    bool ok_ = false;
    bool byMode_ = false;
};

} // namespace scratch
