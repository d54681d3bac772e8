// The bitmaps of the strings a window has drawn, kept side by side in one
// OpenGL texture of the current context, so that a picture's texts go to
// OpenGL as one array of textured quads instead of a glBitmap each.
//
// Mesa's software renderer ends its batch of primitives at every glBitmap
// whose colour or depth differs from the one before, and turns each into a
// texture of its own and a quad; a picture of some forty texts at forty
// depths spent about a millisecond on that, a fifth of the picture.  A quad
// whose texels are the string's bitmap, laid on whole pixels with the
// texture sampled at their centres and the pixels of no ink discarded by the
// alpha test, colours the pixels glBitmap colours (GlRender's tests draw
// every byte value both ways and compare the pictures).
//
// The texture is made in the context current at the first `place`; a string
// once placed stays where it is until the atlas is full, when `clear`
// empties it for the strings of the picture at hand.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "drawing/canvas.h"
#include "view/bitmap_font.h"

namespace hybridsim {

class TextAtlas {
public:
    // texels of the texture, both ways
    static constexpr int size = 1024;

    // Where a string lies in the texture [texels] and how it is placed
    // about the raster position (StringBitmap).
    struct Place {
        int u = 0;
        int v = 0;
        int width = 0;
        int height = 0;
        float xOrigin = 0.0f;
        float yOrigin = 0.0f;
    };

    TextAtlas() = default;
    TextAtlas(const TextAtlas&) = delete;
    TextAtlas& operator=(const TextAtlas&) = delete;
    ~TextAtlas();

    // The place of `text` (up to a NUL) in `font`, its bitmap put into the
    // texture the first time (a string that draws nothing has a width of 0
    // and no place); false when the atlas has no room left for it, or
    // never has for a string wider or higher than `size`.
    bool place(Font font, const std::string& text, Place& out);
    // Forgets every string (their places are free again).
    void clear();
    // Binds the texture to GL_TEXTURE_2D (made by the first `place`).
    void bind() const;

private:
    // A row of strings of one height, filled from the left.
    struct Shelf {
        int v = 0;
        int height = 0;
        int used = 0;
    };

    unsigned texture_ = 0;
    std::unordered_map<std::string, Place> places_;
    std::vector<Shelf> shelves_;
    int nextShelf_ = 0;  // the lowest row no shelf holds
    StringBitmap scratch_;
    std::vector<unsigned char> texels_;
};

}  // namespace hybridsim
