// The checker the real-audio tests rely on must refuse what is not the tone.
#include "ServiceAlsaToneCheck.h"

#include <gtest/gtest.h>

#include <cstdint>

using veldora::servicetest::analyseTone;
using veldora::servicetest::isTone;

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

} // namespace
