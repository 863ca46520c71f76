#include "storage/BmpFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/Errors.h"
#include "storage/SafeFileWriter.h"
#include "storage/UniqueFd.h"

namespace {

constexpr uint64_t kMaxPixels = uint64_t{1} << 24;            // 16 Mpixel: 64 MB in memory
constexpr size_t kMaxFileBytes = 4 * kMaxPixels + (1u << 20); // a 32-bit picture of that size
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr int32_t kPixelsPerMetre = 3780; // 96 dots per inch, the screen's

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

[[noreturn]] void invalid() {
    throw EInvalidGraphic("Bitmap image is not valid");
}

// Bounds-checked little-endian reads: anything past the end makes the picture invalid.
class Bytes {
  public:
    Bytes(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    size_t size() const { return size_; }
    const unsigned char* at(size_t offset) const { return data_ + offset; }
    bool has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
    uint8_t u8(size_t offset) const { return need(offset, 1), data_[offset]; }
    uint16_t u16(size_t offset) const {
        need(offset, 2);
        return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
    }
    uint32_t u32(size_t offset) const {
        need(offset, 4);
        return static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
               static_cast<uint32_t>(data_[offset + 2]) << 16 |
               static_cast<uint32_t>(data_[offset + 3]) << 24;
    }
    int32_t i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }

  private:
    void need(uint64_t offset, uint64_t length) const {
        if (!has(offset, length))
            invalid();
    }
    const unsigned char* data_;
    size_t size_;
};

// One colour channel of a 16- or 32-bit pixel, given by its bit mask, scaled to 8 bits.
class Channel {
  public:
    Channel() = default;
    explicit Channel(uint32_t mask) : mask_(mask) {
        if (mask == 0)
            return;
        shift_ = std::countr_zero(mask);
        const uint32_t bits = mask >> shift_;
        if ((bits & (bits + 1)) != 0)
            invalid(); // the bits of a channel must be contiguous
        bits_ = std::popcount(bits);
    }
    uint32_t mask() const { return mask_; }
    uint32_t extract(uint32_t value) const {
        if (bits_ == 0)
            return 0;
        const uint32_t v = (value & mask_) >> shift_;
        if (bits_ >= 8)
            return v >> (bits_ - 8);
        const uint32_t max = (1u << bits_) - 1;
        return (v * 255 + max / 2) / max;
    }

  private:
    uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
};

struct Layout {
    int width = 0;
    int height = 0; // rows, whatever the direction
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t compression = kRgb;
    size_t pixelOffset = 0;
    std::vector<uint32_t> palette; // 0x00RRGGBB
    Channel red, green, blue;
};

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}

Layout readLayout(const Bytes& in) {
    if (!in.has(0, kFileHeaderBytes + 4) || in.u8(0) != 'B' || in.u8(1) != 'M')
        invalid();
    Layout layout;
    const uint32_t headerSize = in.u32(14);
    uint32_t colours = 0;
    uint32_t paletteEntryBytes = 4;
    uint64_t headersEnd = uint64_t{kFileHeaderBytes} + headerSize;

    if (headerSize == 12) { // the old core header: 16-bit sizes, 3-byte palette entries
        layout.width = in.u16(18);
        layout.height = in.u16(20);
        if (in.u16(22) != 1)
            invalid(); // planes: a bitmap has exactly one
        layout.bitsPerPixel = in.u16(24);
        paletteEntryBytes = 3;
        if (layout.bitsPerPixel != 1 && layout.bitsPerPixel != 4 && layout.bitsPerPixel != 8 &&
            layout.bitsPerPixel != 24)
            invalid();
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        if (!in.has(0, headersEnd))
            invalid();
        layout.width = in.i32(18);
        const int32_t height = in.i32(22);
        if (height == INT32_MIN)
            invalid();
        layout.topDown = height < 0;
        layout.height = height < 0 ? -height : height;
        if (in.u16(26) != 1)
            invalid(); // planes: a bitmap has exactly one
        layout.bitsPerPixel = in.u16(28);
        layout.compression = in.u32(30);
        colours = in.u32(46);
        const int bpp = layout.bitsPerPixel;
        switch (layout.compression) {
        case kRgb:
            if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
                invalid();
            break;
        case kRle8:
        case kRle4:
            if (bpp != (layout.compression == kRle8 ? 8 : 4) || layout.topDown)
                invalid();
            break;
        case kBitfields:
        case kAlphaBitfields: {
            if (bpp != 16 && bpp != 32)
                invalid();
            // The masks follow a 40-byte header and lie inside the larger ones.
            if (headerSize == 40)
                headersEnd += layout.compression == kBitfields ? 12 : 16;
            const uint32_t r = in.u32(54), g = in.u32(58), b = in.u32(62);
            if ((r | g | b) == 0 || (bpp == 16 && ((r | g | b) >> 16) != 0))
                invalid();
            layout.red = Channel(r);
            layout.green = Channel(g);
            layout.blue = Channel(b);
            break;
        }
        default:
            invalid(); // JPEG, PNG and other embedded formats are not pictures we draw
        }
    } else {
        invalid();
    }

    if (layout.width <= 0 || layout.height <= 0 ||
        static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height) > kMaxPixels)
        invalid();
    if (layout.compression == kRgb && (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 32)) {
        const bool five = layout.bitsPerPixel == 16;
        layout.red = Channel(five ? 0x7C00 : 0xFF0000);
        layout.green = Channel(five ? 0x03E0 : 0x00FF00);
        layout.blue = Channel(five ? 0x001F : 0x0000FF);
    }

    if (layout.bitsPerPixel <= 8) {
        const uint32_t full = 1u << layout.bitsPerPixel;
        // Extra entries beyond what the depth can index are never used.
        const uint32_t count = colours == 0 ? full : std::min(colours, full);
        if (!in.has(headersEnd, uint64_t{count} * paletteEntryBytes))
            invalid();
        layout.palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = headersEnd + size_t{i} * paletteEntryBytes;
            layout.palette[i] = rgb(in.u8(at + 2), in.u8(at + 1), in.u8(at));
        }
    }

    const uint32_t offset = in.u32(10);
    if (offset < headersEnd || offset >= in.size())
        invalid();
    layout.pixelOffset = offset;
    return layout;
}

void decodeUncompressed(const Bytes& in, const Layout& layout, Bitmap& picture) {
    const uint64_t bitsPerRow = uint64_t{static_cast<uint32_t>(layout.width)} * layout.bitsPerPixel;
    const uint64_t stride = (bitsPerRow + 31) / 32 * 4;
    const int bpp = layout.bitsPerPixel;
    const auto paletteSize = layout.palette.size();
    for (int r = 0; r < layout.height; ++r) {
        const unsigned char* src = in.at(layout.pixelOffset + r * stride);
        uint32_t* dest = picture.row(layout.topDown ? r : layout.height - 1 - r);
        for (int x = 0; x < layout.width; ++x) {
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & ((1u << bpp) - 1);
                if (index >= paletteSize)
                    invalid();
                dest[x] = layout.palette[index];
                break;
            }
            case 16: {
                const uint32_t v = src[2 * x] | src[2 * x + 1] << 8;
                dest[x] = rgb(layout.red.extract(v), layout.green.extract(v), layout.blue.extract(v));
                break;
            }
            case 24:
                dest[x] = rgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            default: { // 32
                const unsigned char* p = src + 4 * x;
                const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                   static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
                dest[x] = rgb(layout.red.extract(v), layout.green.extract(v), layout.blue.extract(v));
            }
            }
        }
    }
}

// Run-length encoded 8- or 4-bit pictures, rows from the bottom. Pixels the stream
// skips (by a delta, an early end of line or of the picture) keep palette colour 0.
// Runs that reach past the right edge are clipped.
void decodeRle(const Bytes& in, const Layout& layout, Bitmap& picture) {
    const bool four = layout.compression == kRle4;
    const uint64_t width = static_cast<uint32_t>(layout.width);
    const uint64_t height = static_cast<uint32_t>(layout.height);
    const auto paletteSize = layout.palette.size();
    uint64_t x = 0, y = 0; // y counts rows from the bottom
    size_t p = layout.pixelOffset;
    auto put = [&](unsigned index) {
        if (index >= paletteSize)
            invalid();
        if (x < width && y < height)
            picture.row(static_cast<int>(height - 1 - y))[x] = layout.palette[index];
        ++x;
    };
    while (y < height && in.has(p, 2)) {
        const unsigned count = in.u8(p), value = in.u8(p + 1);
        p += 2;
        if (count > 0) { // `count` pixels, alternating two indexes in the 4-bit form
            const unsigned first = four ? value >> 4 : value;
            const unsigned second = four ? value & 0x0Fu : value;
            if (first >= paletteSize || (count > 1 && second >= paletteSize))
                invalid();
            for (unsigned k = 0; k < count; ++k) {
                if (x >= width) {
                    x += count - k;
                    break;
                }
                put(k % 2 == 0 ? first : second);
            }
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of picture
            return;
        case 2: // move right and up
            x += in.u8(p);
            y += in.u8(p + 1);
            p += 2;
            break;
        default: { // `value` literal pixels, padded to a 16-bit boundary
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (!in.has(p, bytes))
                invalid();
            for (unsigned k = 0; k < value; ++k) {
                const unsigned byte = in.u8(p + (four ? k / 2 : k));
                put(four ? (k % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            p += bytes + (bytes & 1);
        }
        }
    }
    // A stream that ends without its end-of-picture mark leaves the rest in colour 0.
}

void putLe16(std::string& out, size_t at, uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void putLe32(std::string& out, size_t at, uint32_t v) {
    putLe16(out, at, v & 0xFFFF);
    putLe16(out, at + 2, v >> 16);
}

} // namespace

Bitmap decodeBmp(const unsigned char* data, size_t size) {
    const Bytes in(data, data == nullptr ? 0 : size);
    const Layout layout = readLayout(in);
    if (layout.compression == kRle8 || layout.compression == kRle4) {
        // A run-length stream can skip pixels, so its length does not bound the
        // picture; a tiny file must still not claim a huge one. 32768 pixels per
        // byte is far beyond what real encoders produce (a delta skips 65025 in 4).
        const uint64_t streamBytes = in.size() - layout.pixelOffset;
        if (uint64_t{static_cast<uint32_t>(layout.width)} * static_cast<uint32_t>(layout.height) >
            streamBytes * 32768)
            invalid();
        Bitmap picture(layout.width, layout.height, layout.palette.empty() ? 0 : layout.palette[0]);
        decodeRle(in, layout, picture);
        return picture;
    }
    // The rows must all be there before the picture is allocated; the last row may
    // lack its padding.
    const uint64_t bitsPerRow = uint64_t{static_cast<uint32_t>(layout.width)} * layout.bitsPerPixel;
    const uint64_t stride = (bitsPerRow + 31) / 32 * 4;
    const uint64_t needed = stride * (static_cast<uint64_t>(layout.height) - 1) + (bitsPerRow + 7) / 8;
    if (!in.has(layout.pixelOffset, needed))
        invalid();
    Bitmap picture(layout.width, layout.height);
    decodeUncompressed(in, layout, picture);
    return picture;
}

Bitmap readBmpFile(const std::string& path) {
    const auto cannotOpen = [&] { return EFOpenError("Cannot open file " + path); };
    if (path.empty() || path.find('\0') != std::string::npos)
        throw cannotOpen();
    // Non-blocking, so that a pipe named by mistake cannot hang the program.
    UniqueFd fd;
    do {
        fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    } while (!fd.valid() && errno == EINTR);
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw cannotOpen();

    std::vector<unsigned char> bytes;
    if (S_ISREG(st.st_mode))
        bytes.reserve(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), kMaxFileBytes) + 1);
    unsigned char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw cannotOpen();
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > kMaxFileBytes)
            invalid();
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return decodeBmp(bytes.data(), bytes.size());
}

std::string encodeBmp(const Bitmap& picture) {
    const uint64_t width = static_cast<uint64_t>(picture.width());
    const uint64_t height = static_cast<uint64_t>(picture.height());
    const uint64_t stride = (width * 3 + 3) / 4 * 4;
    const uint64_t imageBytes = stride * height;
    const uint64_t total = kFileHeaderBytes + kInfoHeaderBytes + imageBytes;
    if (total > UINT32_MAX)
        invalid(); // beyond what the format's 32-bit size fields can say

    std::string out(static_cast<size_t>(total), '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, static_cast<uint32_t>(total));
    // 6..9: two reserved words, zero
    putLe32(out, 10, kFileHeaderBytes + kInfoHeaderBytes);
    putLe32(out, 14, kInfoHeaderBytes);
    putLe32(out, 18, static_cast<uint32_t>(width));
    putLe32(out, 22, static_cast<uint32_t>(height)); // positive: rows bottom-up
    putLe16(out, 26, 1);                             // planes
    putLe16(out, 28, 24);                            // bits per pixel
    putLe32(out, 30, kRgb);
    putLe32(out, 34, static_cast<uint32_t>(imageBytes));
    putLe32(out, 38, kPixelsPerMetre);
    putLe32(out, 42, kPixelsPerMetre);
    // 46..53: colours used and important, zero: no palette

    for (uint64_t r = 0; r < height; ++r) {
        const uint32_t* src = picture.row(static_cast<int>(height - 1 - r));
        char* dest = out.data() + kFileHeaderBytes + kInfoHeaderBytes + r * stride;
        for (uint64_t x = 0; x < width; ++x) {
            dest[3 * x] = static_cast<char>(src[x] & 0xFF);
            dest[3 * x + 1] = static_cast<char>((src[x] >> 8) & 0xFF);
            dest[3 * x + 2] = static_cast<char>((src[x] >> 16) & 0xFF);
        }
    }
    return out;
}

void writeBmpFile(const std::string& path, const Bitmap& picture, const FileCalls& calls) {
    const std::string content = encodeBmp(picture);
    try {
        SafeFileWriter file(path, calls);
        file.write(content.data(), content.size());
        file.commit();
    } catch (const FileFailure& failure) {
        if (failure.step == FileFailure::Step::Write)
            throw EWriteError("Stream write error");
        throw EFCreateError("Cannot create file " + path);
    }
}
