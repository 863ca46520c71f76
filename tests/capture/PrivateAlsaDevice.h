// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A device of the test's own beside ALSA's system configuration: a private folder
// holding a FIFO and a configuration file that defines the device, named to ALSA
// through ALSA_CONFIG_PATH for as long as this lives. ALSA rereads its configuration
// when that list of files changes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace veldora::servicetest {

class PrivateAlsaDevice {
  public:
    static constexpr const char* kSystemConfig = "/usr/share/alsa/alsa.conf";
    // Where the system's configuration is not, the device cannot be put beside it.
    static bool systemConfigFound() { return std::filesystem::exists(kSystemConfig); }

    PrivateAlsaDevice() = default;
    PrivateAlsaDevice(const PrivateAlsaDevice&) = delete;
    PrivateAlsaDevice& operator=(const PrivateAlsaDevice&) = delete;
    ~PrivateAlsaDevice() {
        unsetenv("ALSA_CONFIG_PATH");
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }

    // The folder and the FIFO `name` in it (a fatal test failure when either cannot be made).
    void makeFifo(const std::string& name) {
        char pattern[] = "/tmp/veldora-alsa-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fifo_ = dir_ / name;
        ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    }
    const std::filesystem::path& fifo() const { return fifo_; }

    // `definition`, ALSA configuration text, read after the system's from now on.
    void define(const std::string& definition) const {
        const std::filesystem::path config = dir_ / "device.conf";
        std::ofstream(config) << definition;
        setenv("ALSA_CONFIG_PATH", (std::string(kSystemConfig) + ":" + config.string()).c_str(), 1);
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path fifo_;
};

} // namespace veldora::servicetest
