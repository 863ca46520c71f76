// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ScreenAxisMap.h"

#include <algorithm>
#include <cmath>

namespace veldora::app {

namespace {

std::vector<int> nearestMap(int pictureLength, int deviceLength) {
    std::vector<int> map(static_cast<size_t>(deviceLength));
    for (int d = 0; d < deviceLength; ++d)
        map[static_cast<size_t>(d)] =
            static_cast<int>(static_cast<long long>(d) * pictureLength / deviceLength);
    return map;
}

} // namespace

std::vector<int> screenAxisMap(int pictureLength, int deviceLength, const AxisGrid& grid) {
    if (pictureLength <= 0 || deviceLength <= 0)
        return {};
    if (deviceLength % pictureLength == 0 || deviceLength < pictureLength)
        return nearestMap(pictureLength, deviceLength);

    std::vector<bool> onLine(static_cast<size_t>(pictureLength), false);
    int lines = 0;
    for (int i = 0; i < grid.count; ++i) {
        const int at = grid.first + i * grid.pitch;
        if (at >= 0 && at < pictureLength && !onLine[static_cast<size_t>(at)]) {
            onLine[static_cast<size_t>(at)] = true;
            ++lines;
        }
    }
    const double scale = double(deviceLength) / pictureLength;
    const int lineWidth = std::max(1, static_cast<int>(std::lround(scale)));
    const int others = pictureLength - lines;
    const int rest = deviceLength - lines * lineWidth;
    // Every other pixel needs at least one device pixel.
    if (rest < others)
        return nearestMap(pictureLength, deviceLength);

    std::vector<int> map;
    map.reserve(static_cast<size_t>(deviceLength));
    int other = 0;
    for (int p = 0; p < pictureLength; ++p) {
        int width = lineWidth;
        if (!onLine[static_cast<size_t>(p)]) {
            // The rest spread evenly: the j-th of the other pixels ends at (j+1)*rest/others.
            const long long before = static_cast<long long>(other) * rest / std::max(others, 1);
            const long long after = static_cast<long long>(other + 1) * rest / std::max(others, 1);
            width = static_cast<int>(after - before);
            ++other;
        }
        map.insert(map.end(), static_cast<size_t>(width), p);
    }
    return map;
}

} // namespace veldora::app
