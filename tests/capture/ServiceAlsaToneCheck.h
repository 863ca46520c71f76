// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Deciding whether captured samples are a given tone: its share of the signal's power
// (Goertzel), the zero-crossing rate and the level. Pure; used by the real-audio tests
// and tested itself against made-up signals.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace veldora::servicetest {

struct ToneReport {
    double rms = 0;        // root mean square, full scale 1.0
    double toneShare = 0;  // power at the tone's frequency / total power, 0..1
    double crossingHz = 0; // frequency implied by the sign changes
};

// samples: full scale +-1.0; rate and frequency in Hz.
inline ToneReport analyseTone(const std::vector<double>& samples, double rate, double frequency) {
    ToneReport report;
    const size_t n = samples.size();
    if (n < 2) {
        return report;
    }
    double sumSquares = 0;
    size_t crossings = 0;
    int lastSign = 0;
    const double coefficient = 2 * std::cos(2 * M_PI * frequency / rate);
    double s1 = 0;
    double s2 = 0;
    for (double x : samples) {
        sumSquares += x * x;
        const int sign = x > 0 ? 1 : (x < 0 ? -1 : 0);
        if (sign != 0) {
            crossings += lastSign != 0 && sign != lastSign;
            lastSign = sign;
        }
        const double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double meanSquare = sumSquares / double(n);
    report.rms = std::sqrt(meanSquare);
    const double magnitudeSquared = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    // A sine of amplitude A gives |X| = A n / 2 and a mean square of A^2 / 2.
    const double tonePower = 2 * magnitudeSquared / (double(n) * double(n));
    report.toneShare = meanSquare > 0 ? std::min(1.0, tonePower / meanSquare) : 0.0;
    report.crossingHz = double(crossings) / 2 * rate / double(n);
    return report;
}

struct SilentRun {
    size_t start = 0;  // index of its first sample
    size_t length = 0; // 0: no run of exact zeros as long as asked
};

// The longest run of exact zeros, when it is at least minLength samples long. A sound
// server hands out silence as exact zeros, and so does a read that gave up waiting; a
// sine never gives more than a sample or two of them.
inline SilentRun longestSilence(const std::vector<double>& samples, size_t minLength) {
    SilentRun longest;
    size_t start = 0;
    for (size_t i = 0; i <= samples.size(); ++i) {
        if (i < samples.size() && samples[i] == 0.0) {
            continue;
        }
        if (i - start >= std::max<size_t>(minLength, longest.length + 1)) {
            longest = {start, i - start};
        }
        start = i + 1;
    }
    return longest;
}

// The tone is there, clean (90 % of the power at most a few hertz off its frequency),
// at a level between minRms and maxRms.
inline bool isTone(const ToneReport& report, double frequency, double minRms, double maxRms) {
    return report.toneShare > 0.9 && std::abs(report.crossingHz - frequency) < 0.01 * frequency &&
           report.rms >= minRms && report.rms <= maxRms;
}

} // namespace veldora::servicetest
