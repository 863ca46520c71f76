// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A picture in memory: width x height pixels, row 0 at the top, each pixel stored
// as 0x00RRGGBB (the layout of QImage::Format_RGB32, so the window can show it
// without converting). Qt-free.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veldora::display {

// A colour as the program gives it: the 24-bit value 0xBBGGRR (white 0xFFFFFF,
// green 0x008000, blue 0xFF0000). Its own type, so a colour reaches a picture's
// pixels (0x00RRGGBB) only through colourToPixel.
enum class Colour : uint32_t {};

constexpr uint32_t colourToPixel(Colour colour) {
    const uint32_t bbggrr = static_cast<uint32_t>(colour);
    return ((bbggrr & 0xFFu) << 16) | (bbggrr & 0xFF00u) | ((bbggrr >> 16) & 0xFFu);
}

class Bitmap {
  public:
    Bitmap() = default;
    Bitmap(int width, int height, uint32_t fillPixel = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

    // Pixel access in 0x00RRGGBB; x, y must lie inside the picture.
    uint32_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void setPixel(int x, int y, uint32_t rgb) { pixels_[static_cast<size_t>(y) * width_ + x] = rgb; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    uint32_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* data() const { return pixels_.data(); }
    uint32_t* data() { return pixels_.data(); }

    // Copies the other picture's size and pixels, reusing this picture's storage.
    void assign(const Bitmap& other);

    bool operator==(const Bitmap& other) const = default;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

} // namespace veldora::display
