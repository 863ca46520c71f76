// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The real main window with a temporary folder for trace files and exported pictures.
// Nothing is written to the current directory (the default trace file name).
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/ProgramState.h"
#include "capture/SoundCaptureStream.h"
#include "display/TraceArrays.h"
#include "tests/app/Form2Fixture.h"
#include "tests/support/SimulatedSoundService.h"

class FilesFixture : public Form2Fixture {
  protected:
    void SetUp() override {
        Form2Fixture::SetUp();
        ASSERT_TRUE(folder.isValid());
        // Whatever start-up reported is not ours to check.
        TestApp::clearMessages();
        // Capture for the tests that need a running stream; it outlives the window
        // (members go after TearDown).
        sound = std::make_unique<SimulatedSoundService>();
    }

    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    static std::vector<uint8_t> readBytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeBytes(const std::string& file, const std::vector<uint8_t>& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static uint32_t le32(const std::vector<uint8_t>& bytes, size_t at) {
        return uint32_t(bytes.at(at)) | uint32_t(bytes.at(at + 1)) << 8 | uint32_t(bytes.at(at + 2)) << 16 |
               uint32_t(bytes.at(at + 3)) << 24;
    }
    static uint16_t le16(const std::vector<uint8_t>& bytes, size_t at) {
        return uint16_t(bytes.at(at) | bytes.at(at + 1) << 8);
    }

    // The export appends ".bmp" only to a path without any dot, folders included: the
    // folder's own path must hold none (a temporary folder such as ~/.tmp would).
    static QString dotFreeTemplate() {
        const QString temp = QDir::tempPath();
        return (temp.contains(u'.') ? QStringLiteral("/tmp") : temp) +
               QStringLiteral("/veldora-files-XXXXXX");
    }

    std::unique_ptr<SimulatedSoundService> sound;
    QTemporaryDir folder{dotFreeTemplate()};
};

// Distinct values in every entry, negative and large ones among them, so a swapped,
// shifted or truncated record shows.
inline void fillPattern(veldora::display::TraceArray& x, veldora::display::TraceArray& y, int32_t seed) {
    for (int i = 0; i < veldora::display::kTraceLength; ++i) {
        x[i] = seed * 100003 + i * 7919 - 1000000;
        y[i] = (i % 2 ? -1 : 1) * (seed * 7 + i * 65537);
    }
}

// A horizontal trace at height `y` from x = `left` to x = `left + length` (later points
// repeat the last one, adding nothing); entries 273..279 hold values that are never drawn.
inline void fillLine(veldora::display::TraceArray& x, veldora::display::TraceArray& y, int32_t left,
                     int32_t length, int32_t height) {
    for (int i = 0; i < veldora::display::kTraceLength; ++i) {
        x[i] = left + (i < length ? i : length);
        y[i] = height;
    }
    for (int i = veldora::display::kConvertedPoints; i < veldora::display::kStoredPoints; ++i) {
        x[i] = -5 - i;
        y[i] = 1 << 30;
    }
}
