// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The checker the real-audio tests rely on must refuse what is not the tone.
#include "ServiceAlsaToneCheck.h"

#include <gtest/gtest.h>

#include <cstdint>

using veldora::servicetest::analyseTone;
using veldora::servicetest::isTone;
using veldora::servicetest::longestSilence;

namespace {

constexpr double kRate = 48000;
constexpr size_t kSamples = 24000; // half a second

std::vector<double> sine(double frequency, double amplitude, double phase = 0.3) {
    std::vector<double> out(kSamples);
    for (size_t i = 0; i < kSamples; ++i) {
        out[i] = amplitude * std::sin(2 * M_PI * frequency * double(i) / kRate + phase);
    }
    return out;
}

std::vector<double> noise(double amplitude) {
    std::vector<double> out(kSamples);
    uint32_t state = 12345;
    for (double& x : out) {
        state = state * 1664525u + 1013904223u;
        x = amplitude * (double(state >> 8) / double(1u << 24) * 2 - 1);
    }
    return out;
}

struct CheckCase {
    const char* name;
    std::vector<double> samples;
    bool tone;
};

TEST(ServiceAlsaToneCheck, AcceptsOnlyTheToneAtItsLevel) {
    std::vector<double> quantised = sine(1000, 0.5);
    for (double& x : quantised) {
        x = std::round(x * 32767) / 32768; // as 16-bit capture delivers it
    }
    std::vector<double> gap = sine(1000, 0.5);
    std::fill(gap.begin() + 1000, gap.begin() + 9000, 0.0); // a third of it lost
    const std::vector<CheckCase> cases = {
        {"tone", sine(1000, 0.5), true},
        {"tone as 16-bit samples", quantised, true},
        {"silence", std::vector<double>(kSamples, 0.0), false},
        {"half the frequency", sine(500, 0.5), false},
        {"a little off", sine(1030, 0.5), false},
        {"too quiet", sine(1000, 0.01), false},
        {"noise at the same level", noise(0.6), false},
        {"tone with a long dropout", gap, false},
        {"tone plus as much noise",
         [] {
             std::vector<double> mixed = sine(1000, 0.5);
             const std::vector<double> n = noise(0.6);
             for (size_t i = 0; i < kSamples; ++i)
                 mixed[i] += n[i];
             return mixed;
         }(),
         false},
    };
    for (const CheckCase& c : cases) {
        const auto report = analyseTone(c.samples, kRate, 1000);
        EXPECT_EQ(isTone(report, 1000, 0.2, 0.5), c.tone)
            << c.name << ": rms " << report.rms << " share " << report.toneShare << " crossings "
            << report.crossingHz << " Hz";
    }
}

TEST(ServiceAlsaToneCheck, MeasuresAPureSine) {
    const auto report = analyseTone(sine(1000, 0.5), kRate, 1000);
    EXPECT_NEAR(report.rms, 0.5 / std::sqrt(2.0), 1e-3);
    EXPECT_NEAR(report.toneShare, 1.0, 1e-3);
    EXPECT_NEAR(report.crossingHz, 1000, 4);
}

// At 1000 Hz a 10 ms period holds whole cycles, and losing one leaves no trace; at
// 1025 Hz it breaks the phase, and the check refuses it.
TEST(ServiceAlsaToneCheck, LostPeriodBreaksA1025HzTone) {
    auto withoutPeriod = [](double frequency) {
        std::vector<double> longer(kSamples + 480);
        for (size_t i = 0; i < longer.size(); ++i) {
            longer[i] = 0.5 * std::sin(2 * M_PI * frequency * double(i) / kRate + 0.3);
        }
        longer.erase(longer.begin() + 9000, longer.begin() + 9480);
        return longer;
    };
    EXPECT_TRUE(isTone(analyseTone(sine(1025, 0.5), kRate, 1025), 1025, 0.3, 0.4));
    EXPECT_TRUE(isTone(analyseTone(withoutPeriod(1000), kRate, 1000), 1000, 0.3, 0.4));
    const auto report = analyseTone(withoutPeriod(1025), kRate, 1025);
    EXPECT_FALSE(isTone(report, 1025, 0.3, 0.4)) << "share " << report.toneShare;
}

TEST(ServiceAlsaToneCheck, FindsTheLongestRunOfSilence) {
    struct Case {
        const char* name;
        std::vector<double> samples;
        size_t start;
        size_t length;
    };
    const std::vector<Case> cases = {
        {"empty", {}, 0, 0},
        {"no zeros", {0.5, -0.5, 0.25}, 0, 0},
        {"shorter than asked", {0.5, 0, 0, 0.5}, 0, 0},
        {"exactly as long as asked", {0.5, 0, 0, 0, 0.5}, 1, 3},
        {"at the start", {0, 0, 0, 0, 0.5, 0, 0, 0}, 0, 4},
        {"at the end, the longer", {0, 0, 0, 0.5, 0, 0, 0, 0}, 4, 4},
        {"the first of two as long", {0.1, 0, 0, 0, 0.1, 0, 0, 0}, 1, 3},
        {"all of it", {0, 0, 0}, 0, 3},
        {"nearly zero is sound", {1e-9, -1e-9, 1e-9, 0.5}, 0, 0},
    };
    for (const Case& c : cases) {
        const auto run = longestSilence(c.samples, 3);
        EXPECT_EQ(run.length, c.length) << c.name;
        if (c.length != 0) {
            EXPECT_EQ(run.start, c.start) << c.name;
        }
    }
    // A 16-bit sine crosses zero on at most one sample; a gap in it is found where it is.
    std::vector<double> gap = sine(1000, 0.5);
    for (double& x : gap) {
        x = std::round(x * 32767) / 32768;
    }
    EXPECT_EQ(longestSilence(gap, 8).length, 0u);
    std::fill(gap.begin() + 5000, gap.begin() + 6756, 0.0);
    const auto run = longestSilence(gap, 8);
    EXPECT_GE(run.length, 1756u);
    EXPECT_LE(run.start, 5000u);
    EXPECT_GE(run.start + run.length, 6756u);
}

} // namespace
