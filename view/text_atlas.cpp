#include "view/text_atlas.h"

#include <GL/gl.h>

namespace hybridsim {

TextAtlas::~TextAtlas()
{
    if (texture_ != 0) glDeleteTextures(1, &texture_);
}

void TextAtlas::clear()
{
    places_.clear();
    shelves_.clear();
    nextShelf_ = 0;
}

void TextAtlas::bind() const
{
    glBindTexture(GL_TEXTURE_2D, texture_);
}

bool TextAtlas::place(Font font, const std::string& text, Place& out)
{
    const std::string bytes = text.substr(0, text.find('\0'));
    std::string key(1, font == Font::Helvetica12 ? '1' : '2');
    key += bytes;
    if (const auto found = places_.find(key); found != places_.end()) {
        out = found->second;
        return true;
    }
    stringBitmap(font, bytes, scratch_);
    const int w = scratch_.width;
    const int h = scratch_.height;
    out = Place{0, 0, w, h, scratch_.xOrigin, scratch_.yOrigin};
    if (w <= 0) return true;
    if (w > size || h > size) return false;

    // the first shelf of its height with room, else a new shelf above the rest
    Shelf* shelf = nullptr;
    for (Shelf& s : shelves_)
        if (s.height == h && s.used + w <= size) {
            shelf = &s;
            break;
        }
    if (shelf == nullptr) {
        if (nextShelf_ + h > size) return false;
        shelves_.push_back(Shelf{nextShelf_, h, 0});
        nextShelf_ += h;
        shelf = &shelves_.back();
    }

    if (texture_ == 0) {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, size, size, 0, GL_ALPHA, GL_UNSIGNED_BYTE, nullptr);
    }

    // the bits as texels: ink opaque, the rest clear
    const std::size_t rowBytes = (static_cast<std::size_t>(w) + 7) / 8;
    texels_.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    for (int row = 0; row < h; ++row)
        for (int k = 0; k < w; ++k)
            if (scratch_.bits[static_cast<std::size_t>(row) * rowBytes + static_cast<std::size_t>(k / 8)] &
                (0x80 >> (k % 8)))
                texels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(w) + static_cast<std::size_t>(k)] =
                    255;
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, shelf->used, shelf->v, w, h, GL_ALPHA, GL_UNSIGNED_BYTE, texels_.data());
    glPopClientAttrib();

    out = Place{shelf->used, shelf->v, w, h, scratch_.xOrigin, scratch_.yOrigin};
    shelf->used += w;
    places_.emplace(std::move(key), out);
    return true;
}

}  // namespace hybridsim
