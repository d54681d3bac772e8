#include "gif_reader.h"

#include <algorithm>

namespace hybridsim::testing {

LzwDecoded decodeGifLzw(const std::vector<unsigned char>& data, int minCodeSize)
{
    LzwDecoded r;
    if (minCodeSize < 2 || minCodeSize > 8) {
        r.error = "minimum code size " + std::to_string(minCodeSize);
        return r;
    }
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    // each code: the code of the string without its last index, that index,
    // and the string's first index
    std::vector<int> prefix(4096, -1);
    std::vector<std::uint8_t> last(4096, 0), first(4096, 0);
    for (int c = 0; c < clear; ++c) {
        last[c] = first[c] = static_cast<std::uint8_t>(c);
    }
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    bool started = false;
    std::size_t bit = 0;
    const std::size_t bits = data.size() * 8;
    std::vector<std::uint8_t> string;
    auto emit = [&](int code) {
        string.clear();
        for (int c = code; c >= 0; c = prefix[c]) string.push_back(last[c]);
        r.indices.insert(r.indices.end(), string.rbegin(), string.rend());
    };
    for (;;) {
        if (bit + codeSize > bits) {
            r.error = "the data ends before the end code";
            return r;
        }
        int code = 0;
        for (int k = 0; k < codeSize; ++k, ++bit)
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
        r.widestCode = std::max(r.widestCode, codeSize);
        if (!started && code != clear) {
            r.error = "the data does not start with a clear code";
            return r;
        }
        if (code == clear) {
            if (started) ++r.clearsAfterFirst;
            started = true;
            codeSize = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) {
            r.ended = true;
            break;
        }
        if (previous < 0) {
            if (code >= clear) {
                r.error = "code " + std::to_string(code) + " after a clear code is no index";
                return r;
            }
            emit(code);
        } else if (code < next) {
            emit(code);
            if (next < 4096) {
                prefix[next] = previous;
                last[next] = first[code];
                first[next] = first[previous];
                ++next;
            }
        } else if (code == next && next < 4096) {
            prefix[next] = previous;
            last[next] = first[previous];
            first[next] = first[previous];
            ++next;
            emit(code);
        } else {
            r.error = "code " + std::to_string(code) + " is not in the table (next " + std::to_string(next) + ")";
            return r;
        }
        previous = code;
        if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    if ((bit + 7) / 8 != data.size()) r.error = "data after the end code";
    return r;
}

namespace {

class Reader {
public:
    explicit Reader(const std::vector<unsigned char>& b) : b_(b) {}
    bool has(std::size_t n) const { return pos_ + n <= b_.size(); }
    int byte() { return has(1) ? b_[pos_++] : -1; }
    int word()
    {
        if (!has(2)) return -1;
        const int v = b_[pos_] | (b_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    bool take(std::size_t n, std::vector<unsigned char>& out)
    {
        if (!has(n)) return false;
        out.insert(out.end(), b_.begin() + static_cast<std::ptrdiff_t>(pos_),
                   b_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return true;
    }
    // sub-blocks up to their terminator, joined
    bool subBlocks(std::vector<unsigned char>& out)
    {
        for (;;) {
            const int n = byte();
            if (n < 0) return false;
            if (n == 0) return true;
            if (!take(static_cast<std::size_t>(n), out)) return false;
        }
    }
    std::size_t pos() const { return pos_; }
    std::size_t size() const { return b_.size(); }

private:
    const std::vector<unsigned char>& b_;
    std::size_t pos_ = 0;
};

std::vector<std::uint32_t> colourTable(Reader& in, int slots, bool& ok)
{
    std::vector<unsigned char> raw;
    ok = in.take(static_cast<std::size_t>(slots) * 3, raw);
    std::vector<std::uint32_t> table;
    for (std::size_t i = 0; ok && i + 2 < raw.size(); i += 3)
        table.push_back((std::uint32_t{raw[i]} << 16) | (std::uint32_t{raw[i + 1]} << 8) | raw[i + 2]);
    return table;
}

}  // namespace

GifFile decodeGif(const std::vector<unsigned char>& bytes, const std::function<bool(int)>& keep)
{
    GifFile f;
    Reader in(bytes);
    std::vector<unsigned char> sig;
    if (!in.take(6, sig) || std::string(sig.begin(), sig.end()) != "GIF89a") {
        f.error = "no GIF89a signature";
        return f;
    }
    f.width = in.word();
    f.height = in.word();
    const int packed = in.byte();
    const int background = in.byte();
    in.byte();  // aspect
    if (f.width <= 0 || f.height <= 0 || packed < 0) {
        f.error = "no logical screen";
        return f;
    }
    std::vector<std::uint32_t> global;
    bool ok = true;
    if (packed & 0x80) {
        f.globalTableSize = 1 << ((packed & 7) + 1);
        global = colourTable(in, f.globalTableSize, ok);
        if (!ok) {
            f.error = "the global colour table is cut short";
            return f;
        }
    }
    const std::size_t w = static_cast<std::size_t>(f.width), h = static_cast<std::size_t>(f.height);
    const std::uint32_t backgroundColour =
        background < static_cast<int>(global.size()) ? global[static_cast<std::size_t>(background)] : 0;
    std::vector<std::uint32_t> canvas(w * h, backgroundColour);  // top row first
    GifFrame pending;  // what the next graphic control extension says
    bool controlSeen = false;
    int disposePrevious = 0;
    int prevLeft = 0, prevTop = 0, prevW = 0, prevH = 0;
    for (;;) {
        const int block = in.byte();
        if (block == 0x3B) break;
        if (block == 0x21) {
            const int label = in.byte();
            std::vector<unsigned char> body;
            if (!in.subBlocks(body)) {
                f.error = "an extension is cut short";
                return f;
            }
            if (label == 0xF9) {
                if (body.size() != 4) {
                    f.error = "a graphic control extension of " + std::to_string(body.size()) + " bytes";
                    return f;
                }
                if (controlSeen) {
                    f.error = "two graphic control extensions before one image";
                    return f;
                }
                controlSeen = true;
                pending.disposal = (body[0] >> 2) & 7;
                pending.delay = body[1] | (body[2] << 8);
                pending.transparent = (body[0] & 1) ? body[3] : -1;
            } else if (label == 0xFF) {
                // "NETSCAPE2.0" then {1, loop count}: the sub-blocks joined
                if (body.size() == 14 && std::string(body.begin(), body.begin() + 11) == "NETSCAPE2.0" &&
                    body[11] == 1)
                    f.loopCount = body[12] | (body[13] << 8);
            }
            continue;
        }
        if (block != 0x2C) {
            f.error = block < 0 ? "the file ends before its trailer" : "block " + std::to_string(block);
            return f;
        }
        GifFrame frame = pending;
        pending = GifFrame{};
        controlSeen = false;
        frame.left = in.word();
        frame.top = in.word();
        frame.width = in.word();
        frame.height = in.word();
        const int flags = in.byte();
        if (flags < 0 || frame.width <= 0 || frame.height <= 0 || frame.left + frame.width > f.width ||
            frame.top + frame.height > f.height) {
            f.error = "image " + std::to_string(f.frames.size()) + " lies outside the screen";
            return f;
        }
        if (flags & 0x40) {
            f.error = "an interlaced image";
            return f;
        }
        std::vector<std::uint32_t> table = global;
        frame.localTable = (flags & 0x80) != 0;
        if (frame.localTable) {
            table = colourTable(in, 1 << ((flags & 7) + 1), ok);
            if (!ok) {
                f.error = "a local colour table is cut short";
                return f;
            }
        }
        frame.tableSize = static_cast<int>(table.size());
        if (table.empty()) {
            f.error = "an image without a colour table";
            return f;
        }
        const int minCode = in.byte();
        std::vector<unsigned char> data;
        if (!in.subBlocks(data)) {
            f.error = "image data cut short";
            return f;
        }
        const LzwDecoded lzw = decodeGifLzw(data, minCode);
        const std::string which = "image " + std::to_string(f.frames.size()) + ": ";
        if (!lzw.error.empty()) {
            f.error = which + lzw.error;
            return f;
        }
        if (lzw.indices.size() != static_cast<std::size_t>(frame.width) * frame.height) {
            f.error = which + std::to_string(lzw.indices.size()) + " indices for " +
                      std::to_string(frame.width * frame.height) + " pixels";
            return f;
        }
        // what the frame before leaves
        if (disposePrevious == 2) {
            for (int y = prevTop; y < prevTop + prevH; ++y)
                for (int x = prevLeft; x < prevLeft + prevW; ++x)
                    canvas[static_cast<std::size_t>(y) * w + x] = backgroundColour;
        } else if (disposePrevious == 3) {
            f.error = "disposal 3 is not read here";
            return f;
        }
        std::size_t k = 0;
        for (int y = frame.top; y < frame.top + frame.height; ++y)
            for (int x = frame.left; x < frame.left + frame.width; ++x) {
                const int index = lzw.indices[k++];
                if (index == frame.transparent) continue;
                if (index >= frame.tableSize) {
                    f.error = which + "index " + std::to_string(index) + " past its table";
                    return f;
                }
                canvas[static_cast<std::size_t>(y) * w + x] = table[static_cast<std::size_t>(index)];
            }
        disposePrevious = frame.disposal;
        prevLeft = frame.left;
        prevTop = frame.top;
        prevW = frame.width;
        prevH = frame.height;
        if (keep && !keep(static_cast<int>(f.frames.size()))) {
            f.frames.push_back(std::move(frame));
            continue;
        }
        frame.picture.width = f.width;
        frame.picture.height = f.height;
        frame.picture.rgb.resize(w * h * 3);
        for (std::size_t y = 0; y < h; ++y)
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint32_t c = canvas[y * w + x];
                unsigned char* p = &frame.picture.rgb[((h - 1 - y) * w + x) * 3];
                p[0] = static_cast<unsigned char>(c >> 16);
                p[1] = static_cast<unsigned char>(c >> 8);
                p[2] = static_cast<unsigned char>(c);
            }
        f.frames.push_back(std::move(frame));
    }
    if (in.pos() != in.size()) f.error = "bytes after the trailer";
    return f;
}

}  // namespace hybridsim::testing
