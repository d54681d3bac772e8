// A GIF decoder of the tests' own, written from the format's description
// (GIF89a) and nothing of the encoder: it reads what any viewer reads and
// is strict where the encoder must be (every block in place, every code in
// the table, the end code present, nothing after the trailer).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/rgb_image.h"

namespace hybridsim::testing {

// The LZW data of one image (sub-blocks already joined) back to colour
// indices.  What the code stream showed is kept for the tests: the widest
// code read, the clear codes after the first, whether the end code came.
struct LzwDecoded {
    std::vector<std::uint8_t> indices;
    int widestCode = 0;      // bits
    int clearsAfterFirst = 0;
    bool ended = false;      // the end code was read
    std::string error;       // empty when the stream is sound
};
LzwDecoded decodeGifLzw(const std::vector<unsigned char>& data, int minCodeSize);

struct GifFrame {
    RgbImage picture;  // the whole canvas after this frame, row 0 at the bottom (when kept)
    int delay = -1;    // centiseconds; -1 without a graphic control extension
    int disposal = 0;
    int transparent = -1;  // the transparent slot, -1 when none
    int left = 0, top = 0, width = 0, height = 0;
    bool localTable = false;
    int tableSize = 0;  // slots of the table the frame uses
};

struct GifFile {
    int width = 0, height = 0;
    int loopCount = -1;  // NETSCAPE2.0's count; -1 without the extension
    int globalTableSize = 0;
    std::vector<GifFrame> frames;
    std::string error;  // empty when the whole file is sound
};
// `keep` says which frames (by number from 0) keep their picture; without
// it, every frame does.
GifFile decodeGif(const std::vector<unsigned char>& bytes, const std::function<bool(int)>& keep = {});

}  // namespace hybridsim::testing
