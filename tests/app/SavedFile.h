// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Keeps a file's content while a test replaces or removes it, and puts it back when the
// test ends, whatever the test did: the build places the background pictures next to
// the test programs, and other tests and runs of the program rely on them.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

class SavedFile {
  public:
    explicit SavedFile(std::string path) : path_(std::move(path)) {
        std::ifstream in(path_, std::ios::binary);
        if (in)
            content_.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ~SavedFile() {
        std::remove(path_.c_str());
        if (content_)
            std::ofstream(path_, std::ios::binary | std::ios::trunc) << *content_;
    }
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::optional<std::string> content_;
};
