#include "image/gif_image.h"

#include <algorithm>
#include <cstring>

namespace hybridsim {
namespace {

// Most slots of a colour table, and most codes of the LZW code table.
constexpr int maxColors = 256;
constexpr int maxCodes = 4096;
constexpr int maxCodeBits = 12;

// The disposal method of every frame: leave it in place, for the next
// frame's transparent pixels to show it.
constexpr unsigned disposalLeave = 1;

void put16(std::vector<unsigned char>& out, int v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

// Colours to their slots, for the few hundred colours a table can hold:
// open addressing, the last colour looked up remembered (runs of one
// colour are the rule in a picture).
class ColorSlots {
public:
    ColorSlots() { clear(); }

    void clear()
    {
        std::fill(std::begin(keys_), std::end(keys_), empty);
        lastColor_ = empty;
    }

    // The slot of `color`, -1 when it has none.
    int find(std::uint32_t color)
    {
        if (color == lastColor_) return lastSlot_;
        for (std::size_t h = hash(color);; h = (h + 1) & mask) {
            if (keys_[h] == empty) return -1;
            if (keys_[h] == color) {
                lastColor_ = color;
                lastSlot_ = slots_[h];
                return lastSlot_;
            }
        }
    }

    // Gives `color` the slot `slot` (it has none yet).
    void add(std::uint32_t color, int slot)
    {
        std::size_t h = hash(color);
        while (keys_[h] != empty) h = (h + 1) & mask;
        keys_[h] = color;
        slots_[h] = static_cast<std::int16_t>(slot);
    }

private:
    // colours are 24-bit: this key is none of them
    static constexpr std::uint32_t empty = 0xFFFFFFFFu;
    static constexpr std::size_t size = 1024;  // four times the most colours
    static constexpr std::size_t mask = size - 1;
    static std::size_t hash(std::uint32_t c) { return ((c * 2654435761u) >> 22) & mask; }

    std::uint32_t keys_[size];
    std::int16_t slots_[size] = {};
    std::uint32_t lastColor_ = empty;
    int lastSlot_ = -1;
};

// The colours of the pixels `pixels` yields (a callback per pixel), in the
// order they first appear, into `colors` and `slots`; false as soon as
// there are more than `most`.
template <class ForEachPixel>
bool collectColors(ForEachPixel forEachPixel, std::size_t most, std::vector<std::uint32_t>& colors,
                   ColorSlots& slots)
{
    colors.clear();
    slots.clear();
    bool fits = true;
    forEachPixel([&](std::uint32_t c) {
        if (!fits || slots.find(c) >= 0) return fits;
        if (colors.size() == most) return fits = false;
        slots.add(c, static_cast<int>(colors.size()));
        colors.push_back(c);
        return true;
    });
    return fits;
}

// Codes of `bits` bits each, packed from the least significant bit up, as
// GIF's LZW data is.
class BitPacker {
public:
    explicit BitPacker(std::vector<unsigned char>& out) : out_(out) {}
    void put(int code, int bits)
    {
        acc_ |= static_cast<std::uint32_t>(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            out_.push_back(static_cast<unsigned char>(acc_ & 0xFF));
            acc_ >>= 8;
            count_ -= 8;
        }
    }
    void flush()
    {
        if (count_ > 0) out_.push_back(static_cast<unsigned char>(acc_ & 0xFF));
        acc_ = 0;
        count_ = 0;
    }

private:
    std::vector<unsigned char>& out_;
    std::uint32_t acc_ = 0;
    int count_ = 0;
};

}  // namespace

std::vector<unsigned char> gifLzw(const std::vector<std::uint8_t>& indices, int minCodeSize)
{
    // The code table maps a string already coded (its code) followed by
    // one more index to the string's own code; it is kept as a hash of
    // (prefix code << 8 | index) with a generation stamp per entry, so that
    // a clear code empties it at once.
    constexpr std::size_t tableSize = 8192;  // twice the most codes
    constexpr std::size_t mask = tableSize - 1;
    static thread_local std::vector<std::uint32_t> keys(tableSize);
    static thread_local std::vector<std::int16_t> codes(tableSize);
    static thread_local std::vector<std::uint32_t> stamps(tableSize, 0);
    static thread_local std::uint32_t generation = 0;

    std::vector<unsigned char> out;
    out.reserve(indices.size() / 4 + 16);
    BitPacker bits(out);
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    int codeSize = minCodeSize + 1;
    int next = endCode + 1;
    ++generation;

    bits.put(clearCode, codeSize);
    if (indices.empty()) {
        bits.put(endCode, codeSize);
        bits.flush();
        return out;
    }
    int prefix = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const int k = indices[i];
        const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | static_cast<std::uint32_t>(k);
        std::size_t h = ((key * 2654435761u) >> 19) & mask;
        bool found = false;
        while (stamps[h] == generation) {
            if (keys[h] == key) {
                found = true;
                break;
            }
            h = (h + 1) & mask;
        }
        if (found) {
            prefix = codes[h];
            continue;
        }
        bits.put(prefix, codeSize);
        // the string coded and the index after it become the next code; the
        // code size grows once that code needs one more bit, as it does in
        // a decoder one code later
        keys[h] = key;
        codes[h] = static_cast<std::int16_t>(next);
        stamps[h] = generation;
        if (next == (1 << codeSize) && codeSize < maxCodeBits) ++codeSize;
        ++next;
        if (next == maxCodes) {
            // the table is full: a clear code, and it starts again
            bits.put(clearCode, codeSize);
            ++generation;
            codeSize = minCodeSize + 1;
            next = endCode + 1;
        }
        prefix = k;
    }
    bits.put(prefix, codeSize);
    // a decoder adds a string after this last code too, and reads the end
    // code one bit wider when that string's code needs it
    if (next == (1 << codeSize) && codeSize < maxCodeBits) ++codeSize;
    bits.put(endCode, codeSize);
    bits.flush();
    return out;
}

int GifEncoder::Palette::sizeBits() const
{
    const std::size_t slots = colors.size() + (transparent >= 0 ? 1 : 0);
    int b = 1;
    while ((std::size_t{1} << b) < slots) ++b;
    return b;
}

GifEncoder::GifEncoder(int width, int height, Options options)
    : width_(std::clamp(width, 1, 65535)), height_(std::clamp(height, 1, 65535)), options_(options)
{
}

void GifEncoder::writeHeader(const Palette& global)
{
    static const char signature[] = "GIF89a";
    out_.insert(out_.end(), signature, signature + 6);
    // the logical screen: the frames' size, a global colour table of
    // 2^bits slots, 8 bits a primary colour
    put16(out_, width_);
    put16(out_, height_);
    const int bits = global.sizeBits();
    out_.push_back(static_cast<unsigned char>(0x80 | (7 << 4) | (bits - 1)));
    out_.push_back(0);  // background colour: slot 0 (the first frame covers it all)
    out_.push_back(0);  // square pixels
    for (int slot = 0; slot < (1 << bits); ++slot) {
        const std::uint32_t c = slot < static_cast<int>(global.colors.size()) ? global.colors[slot] : 0;
        out_.push_back(static_cast<unsigned char>(c >> 16));
        out_.push_back(static_cast<unsigned char>(c >> 8));
        out_.push_back(static_cast<unsigned char>(c));
    }
    if (options_.loopCount >= 0) {
        // NETSCAPE2.0: sub-block 1 holds the number of loops
        static const char app[] = "NETSCAPE2.0";
        out_.insert(out_.end(), {0x21, 0xFF, 11});
        out_.insert(out_.end(), app, app + 11);
        out_.insert(out_.end(), {3, 1});
        put16(out_, std::min(options_.loopCount, 65535));
        out_.push_back(0);
    }
}

void GifEncoder::writeFrame(int left, int top, int w, int h, const std::vector<std::uint8_t>& indices,
                            const Palette& palette, bool local)
{
    // graphic control extension: disposal, delay, the transparent slot
    const bool transparent = palette.transparent >= 0 && frames_ > 0;
    out_.insert(out_.end(), {0x21, 0xF9, 4});
    out_.push_back(static_cast<unsigned char>((disposalLeave << 2) | (transparent ? 1u : 0u)));
    put16(out_, std::clamp(options_.delayCentiseconds, 0, 65535));
    out_.push_back(static_cast<unsigned char>(transparent ? palette.transparent : 0));
    out_.push_back(0);

    // image descriptor, with its own colour table when `local`
    out_.push_back(0x2C);
    put16(out_, left);
    put16(out_, top);
    put16(out_, w);
    put16(out_, h);
    const int bits = palette.sizeBits();
    out_.push_back(static_cast<unsigned char>(local ? 0x80 | (bits - 1) : 0));
    if (local)
        for (int slot = 0; slot < (1 << bits); ++slot) {
            const std::uint32_t c =
                slot < static_cast<int>(palette.colors.size()) ? palette.colors[slot] : 0;
            out_.push_back(static_cast<unsigned char>(c >> 16));
            out_.push_back(static_cast<unsigned char>(c >> 8));
            out_.push_back(static_cast<unsigned char>(c));
        }

    // the indices, LZW-coded, in sub-blocks of at most 255 bytes
    const int minCodeSize = std::max(2, bits);
    const std::vector<unsigned char> data = gifLzw(indices, minCodeSize);
    out_.push_back(static_cast<unsigned char>(minCodeSize));
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        out_.push_back(static_cast<unsigned char>(n));
        out_.insert(out_.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                    data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out_.push_back(0);
}

bool GifEncoder::addFrame(const RgbImage& image, std::string& error)
{
    if (image.width != width_ || image.height != height_ ||
        image.rgb.size() != static_cast<std::size_t>(width_) * height_ * 3) {
        error = "a frame of " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                " pixels in an animation of " + std::to_string(width_) + " x " + std::to_string(height_);
        return false;
    }
    return addFrame(image.rgb.data(), Rows::BottomFirst, error);
}

namespace {

// The colours' slots of the frame being added: one table a thread, shared
// by the steps of addFrame.
ColorSlots& frameSlots()
{
    static thread_local ColorSlots slots;
    return slots;
}

}  // namespace

void GifEncoder::takePixels(const unsigned char* rgb, Rows rows)
{
    const std::size_t w = static_cast<std::size_t>(width_);
    const std::size_t h = static_cast<std::size_t>(height_);
    // the frame as 0xRRGGBB, top row first as GIF has it
    current_.resize(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t source = rows == Rows::TopFirst ? y : h - 1 - y;
        const unsigned char* p = rgb + source * w * 3;
        std::uint32_t* q = current_.data() + y * w;
        for (std::size_t x = 0; x < w; ++x, p += 3)
            q[x] = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
}

bool GifEncoder::addFirstFrame(const std::string& which, std::string& error)
{
    // the first frame whole, its colours the global table, with a slot
    // for the transparent pixels of later frames when there is room
    ColorSlots& slots = frameSlots();
    Palette global;
    auto all = [&](auto take) {
        for (std::uint32_t c : current_)
            if (!take(c)) return;
    };
    if (!collectColors(all, maxColors, global.colors, slots)) {
        error = which + " has more than 256 colours; a GIF frame holds at most 256";
        return false;
    }
    if (global.colors.size() < static_cast<std::size_t>(maxColors))
        global.transparent = static_cast<int>(global.colors.size());
    indices_.resize(current_.size());
    for (std::size_t i = 0; i < current_.size(); ++i)
        indices_[i] = static_cast<std::uint8_t>(slots.find(current_[i]));
    global_ = global;
    writeHeader(global_);
    writeFrame(0, 0, width_, height_, indices_, global_, false);
    return true;
}

GifEncoder::Rect GifEncoder::changedRect() const
{
    // the rectangle around the pixels that changed; one pixel when none did
    const std::size_t w = static_cast<std::size_t>(width_);
    const std::size_t h = static_cast<std::size_t>(height_);
    Rect r{w, h, 0, 0};
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint32_t* a = current_.data() + y * w;
        const std::uint32_t* b = previous_.data() + y * w;
        if (std::memcmp(a, b, w * sizeof(std::uint32_t)) == 0) continue;
        r.top = std::min(r.top, y);
        r.bottom = y;
        std::size_t x0 = 0;
        while (a[x0] == b[x0]) ++x0;
        std::size_t x1 = w - 1;
        while (a[x1] == b[x1]) --x1;
        r.left = std::min(r.left, x0);
        r.right = std::max(r.right, x1);
    }
    if (r.top == h) r = Rect{};
    return r;
}

bool GifEncoder::choosePalette(const Rect& r, Palette& palette, bool& local, const std::string& which,
                               std::string& error)
{
    const std::size_t w = static_cast<std::size_t>(width_);
    auto inRect = [&](bool changedOnly) {
        return [&, changedOnly](auto take) {
            for (std::size_t y = r.top; y <= r.bottom; ++y)
                for (std::size_t x = r.left; x <= r.right; ++x) {
                    const std::size_t i = y * w + x;
                    if (changedOnly && current_[i] == previous_[i]) continue;
                    if (!take(current_[i])) return;
                }
        };
    };

    // the global table when it holds every changed colour, else a table of
    // the changed colours; both with a transparent slot for the pixels that
    // did not change.  Failing both, a table of every colour in the
    // rectangle, nothing transparent.
    ColorSlots& slots = frameSlots();
    local = true;
    bool fits = collectColors(inRect(true), maxColors, palette.colors, slots);
    if (fits && global_.transparent >= 0 &&
        std::all_of(palette.colors.begin(), palette.colors.end(), [&](std::uint32_t c) {
            return std::find(global_.colors.begin(), global_.colors.end(), c) != global_.colors.end();
        })) {
        palette = global_;
        local = false;
        slots.clear();
        for (std::size_t k = 0; k < palette.colors.size(); ++k) slots.add(palette.colors[k], static_cast<int>(k));
    } else if (fits && palette.colors.size() < static_cast<std::size_t>(maxColors)) {
        palette.transparent = static_cast<int>(palette.colors.size());
    } else if (!collectColors(inRect(false), maxColors, palette.colors, slots)) {
        error = which + " has more than 256 colours where it differs from the frame before; a GIF "
                        "frame holds at most 256";
        return false;
    }
    return true;
}

void GifEncoder::indexRect(const Rect& r, const Palette& palette)
{
    // each pixel's slot; transparent where it did not change, when the
    // palette has a transparent slot
    const std::size_t w = static_cast<std::size_t>(width_);
    ColorSlots& slots = frameSlots();
    indices_.resize((r.right - r.left + 1) * (r.bottom - r.top + 1));
    std::uint8_t* q = indices_.data();
    for (std::size_t y = r.top; y <= r.bottom; ++y)
        for (std::size_t x = r.left; x <= r.right; ++x) {
            const std::size_t i = y * w + x;
            *q++ = static_cast<std::uint8_t>(palette.transparent >= 0 && current_[i] == previous_[i]
                                                 ? palette.transparent
                                                 : slots.find(current_[i]));
        }
}

bool GifEncoder::addFrame(const unsigned char* rgb, Rows rows, std::string& error)
{
    if (finished_) {
        error = "the animation is finished";
        return false;
    }
    takePixels(rgb, rows);
    const std::string which = "frame " + std::to_string(frames_);
    if (frames_ == 0) {
        if (!addFirstFrame(which, error)) return false;
    } else {
        // the rectangle of the changes, in a palette of its own or the global one
        const Rect r = changedRect();
        Palette palette;
        bool local = true;
        if (!choosePalette(r, palette, local, which, error)) return false;
        indexRect(r, palette);
        writeFrame(static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left + 1),
                   static_cast<int>(r.bottom - r.top + 1), indices_, palette, local);
    }
    previous_.swap(current_);
    ++frames_;
    return true;
}

std::vector<unsigned char> GifEncoder::takeBytes()
{
    std::vector<unsigned char> bytes;
    bytes.swap(out_);
    return bytes;
}

std::vector<unsigned char> GifEncoder::finish()
{
    if (!finished_) {
        if (frames_ == 0) {
            // an animation of no frame: one white frame, so that the file is a GIF
            const std::vector<unsigned char> white(static_cast<std::size_t>(width_) * height_ * 3, 0xFF);
            std::string ignored;
            addFrame(white.data(), Rows::TopFirst, ignored);
        }
        out_.push_back(0x3B);
        finished_ = true;
    }
    return takeBytes();
}

}  // namespace hybridsim
