#include "view/bitmap_font.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

// The toolkit's font tables, as the library exports them (see the header:
// the layout read off their data).
extern "C" {
struct ToolkitBitmapFont {
    const char* name;
    int glyphCount;
    int height;
    const unsigned char* const* glyphs;
    float xOrigin;
    float yOrigin;
};
extern const ToolkitBitmapFont fgFontHelvetica12;
extern const ToolkitBitmapFont fgFontHelvetica18;
}

namespace hybridsim {
namespace {

static_assert(sizeof(ToolkitBitmapFont) == 32, "the record is 32 bytes, as its symbol");

// A glyph for every byte value.
constexpr int glyphsPerFont = 256;

const ToolkitBitmapFont& toolkitFont(Font font)
{
    return font == Font::Helvetica12 ? fgFontHelvetica12 : fgFontHelvetica18;
}

// Whether the font's X name is a Helvetica of the size `size` ("--12-": 12 pixels).
bool namedAs(const ToolkitBitmapFont& f, const char* size)
{
    return f.name != nullptr && std::strncmp(f.name, "-adobe-helvetica-", 17) == 0 &&
           std::strstr(f.name, size) != nullptr;
}

bool looksRight(const ToolkitBitmapFont& f, const char* size)
{
    if (!namedAs(f, size) || f.glyphCount != glyphsPerFont || f.height < 8 || f.height > 64 ||
        f.glyphs == nullptr || !(f.xOrigin >= 0.0f && f.xOrigin < 8.0f) ||
        !(f.yOrigin >= 0.0f && f.yOrigin < static_cast<float>(f.height)))
        return false;
    for (int c = 0; c < glyphsPerFont; ++c)
        if (f.glyphs[c] == nullptr || f.glyphs[c][0] > 2 * f.height) return false;
    return true;
}

}  // namespace

bool bitmapFontsUsable(std::string& error)
{
    if (looksRight(fgFontHelvetica12, "--12-") && looksRight(fgFontHelvetica18, "--18-")) return true;
    error = "the bitmap fonts of the window toolkit's library are not laid out as this program "
            "reads them";
    return false;
}

void stringBitmap(Font font, const std::string& text, StringBitmap& out)
{
    const ToolkitBitmapFont& f = toolkitFont(font);
    const std::size_t length = std::min(text.size(), text.find('\0'));
    int width = 0;
    for (std::size_t i = 0; i < length; ++i) width += f.glyphs[static_cast<unsigned char>(text[i])][0];
    out.width = width;
    out.height = f.height;
    out.xOrigin = f.xOrigin;
    out.yOrigin = f.yOrigin;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    out.bits.assign(rowBytes * static_cast<std::size_t>(f.height), 0);
    int x = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char* glyph = f.glyphs[static_cast<unsigned char>(text[i])];
        const int w = glyph[0];
        const int glyphRowBytes = (w + 7) / 8;
        for (int row = 0; row < f.height; ++row) {
            const unsigned char* from = glyph + 1 + row * glyphRowBytes;
            unsigned char* to = out.bits.data() + static_cast<std::size_t>(row) * rowBytes;
            for (int k = 0; k < w; ++k)
                if (from[k / 8] & (0x80 >> (k % 8))) to[(x + k) / 8] |= static_cast<unsigned char>(0x80 >> ((x + k) % 8));
        }
        x += w;
    }
}

void drawBitmapText(Font font, const std::string& text)
{
    // one scratch bitmap for every string
    thread_local StringBitmap b;
    stringBitmap(font, text, b);
    if (b.width == 0) return;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBitmap(b.width, b.height, b.xOrigin, b.yOrigin, static_cast<GLfloat>(b.width), 0.0f, b.bits.data());
    glPopClientAttrib();
}

}  // namespace hybridsim
