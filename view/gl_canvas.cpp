#include "view/gl_canvas.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

#include "view/bitmap_font.h"
#include "view/pixel_cover.h"

namespace hybridsim {
namespace {

// Depth bits below which the depth order cannot keep thousands of shapes apart.
constexpr GLint minDepthBits = 16;

// Filled shapes at most this many pixels wide and high are sent as the
// smaller polygon that colours the same pixels (view/pixel_cover.h); only
// shapes of many vertices (the discs) gain from it.
constexpr double smallShapePixels = 24.0;
constexpr std::size_t roundShapeVertices = 12;

GLenum glMode(Shape shape)
{
    switch (shape) {
    case Shape::Polygon:
        return GL_POLYGON;
    case Shape::LineLoop:
        return GL_LINE_LOOP;
    case Shape::LineStrip:
        return GL_LINE_STRIP;
    case Shape::Lines:
        return GL_LINES;
    }
    return GL_LINES;
}

void* glutFont(Font font)
{
    return font == Font::Helvetica12 ? GLUT_BITMAP_HELVETICA_12 : GLUT_BITMAP_HELVETICA_18;
}

bool sameColor(const Color& p, const Color& q)
{
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}

void setGlLighting(bool on)
{
    if (on)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

}  // namespace

struct GlCanvas::PixelMap {
    double x0 = 0.0, y0 = 0.0, sx = 1.0, sy = 1.0;
    PixelMap()
    {
        GLint v[4] = {0, 0, 1, 1};
        glGetIntegerv(GL_VIEWPORT, v);
        x0 = v[0];
        y0 = v[1];
        sx = v[2] / 2.0;
        sy = v[3] / 2.0;
    }
    Vec2 operator()(Vec2 p) const { return Vec2{x0 + (p.x + 1.0) * sx, y0 + (p.y + 1.0) * sy}; }
};

GlCanvas::GlCanvas(std::function<void()> show, Order order, Text text)
    : show_(std::move(show)), order_(order)
{
    std::string unused;
    ownGlyphs_ = text == Text::Strings && bitmapFontsUsable(unused);
    if (order_ == Order::Depth) {
        GLint bits = 0;
        glGetIntegerv(GL_DEPTH_BITS, &bits);
        if (bits < minDepthBits) order_ = Order::Painter;
    }
}

void GlCanvas::apply()
{
    if (!stateKnown_ || lighting_ != sentLighting_) {
        setGlLighting(lighting_);
        sentLighting_ = lighting_;
    }
    if (!stateKnown_ || lineWidth_ != sentLineWidth_) {
        glLineWidth(lineWidth_);
        sentLineWidth_ = lineWidth_;
    }
    if (!stateKnown_ || !sameColor(color_, sentColor_)) {
        glColor4f(color_.r, color_.g, color_.b, color_.a);
        sentColor_ = color_;
    }
    stateKnown_ = true;
}

void GlCanvas::clear()
{
    // whatever was gathered lies under the cleared picture
    items_.clear();
    vertices_.clear();
    // another canvas or another part of the program may have used the context
    stateKnown_ = false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GlCanvas::loadIdentity()
{
    top() = Affine{};
    glLoadIdentity();
}

void GlCanvas::present()
{
    if (order_ == Order::Depth) sendGathered();
    apply();
    glFlush();
    if (show_) show_();
}

void GlCanvas::begin(Shape shape)
{
    if (order_ == Order::Painter) {
        apply();
        glBegin(glMode(shape));
        return;
    }
    shape_ = shape;
    shapeFirst_ = vertices_.size();
}

void GlCanvas::vertex(double x, double y)
{
    const Vec2 p = top().apply(x, y);
    if (order_ == Order::Painter)
        glVertex2d(p.x, p.y);
    else
        vertices_.push_back(p);
}

void GlCanvas::end()
{
    if (order_ == Order::Painter) {
        glEnd();
        return;
    }
    // the shape's vertices, at the end of the vertex list, become a polygon
    // to fill or a list of segment ends
    Item item;
    item.kind = shape_ == Shape::Polygon ? Item::Kind::Fill : Item::Kind::Lines;
    item.lighting = lighting_;
    item.lineWidth = lineWidth_;
    item.color = color_;
    item.first = shapeFirst_;
    const std::size_t n = vertices_.size() - shapeFirst_;
    switch (shape_) {
    case Shape::Polygon:
        if (n < 3) vertices_.resize(shapeFirst_);  // OpenGL draws nothing of it
        break;
    case Shape::Lines:
        vertices_.resize(shapeFirst_ + n - n % 2);
        break;
    case Shape::LineStrip:
    case Shape::LineLoop: {
        const std::vector<Vec2> v(vertices_.begin() + static_cast<std::ptrdiff_t>(shapeFirst_),
                                  vertices_.end());
        vertices_.resize(shapeFirst_);
        for (std::size_t k = 1; k < n; ++k) {
            vertices_.push_back(v[k - 1]);
            vertices_.push_back(v[k]);
        }
        if (shape_ == Shape::LineLoop && n >= 2) {
            vertices_.push_back(v[n - 1]);
            vertices_.push_back(v[0]);
        }
        break;
    }
    }
    item.count = vertices_.size() - item.first;
    if (item.count > 0) items_.push_back(item);
}

void GlCanvas::sendText(float x, float y, double z, Font font, const std::string& bytes)
{
    glPushAttrib(GL_CURRENT_BIT);
    glRasterPos3f(x, y, static_cast<float>(z));
    if (ownGlyphs_) {
        drawBitmapText(font, bytes);
    } else {
        void* f = glutFont(font);
        for (char c : bytes) {
            if (c == '\0') break;
            glutBitmapCharacter(f, static_cast<unsigned char>(c));
        }
    }
    glPopAttrib();
}

void GlCanvas::text(float x, float y, Font font, const std::string& bytes)
{
    const Vec2 p = top().apply(x, y);
    if (order_ == Order::Painter) {
        apply();
        sendText(static_cast<float>(p.x), static_cast<float>(p.y), 0.0, font, bytes);
        return;
    }
    Item item;
    item.kind = Item::Kind::Text;
    item.lighting = lighting_;
    item.lineWidth = lineWidth_;
    item.color = color_;
    item.x = static_cast<float>(p.x);
    item.y = static_cast<float>(p.y);
    item.font = font;
    item.bytes = bytes;
    items_.push_back(std::move(item));
}

// A filled convex polygon as triangles, added to the batch: the fan from
// its first vertex that OpenGL itself makes of a polygon, for a small disc
// the fan of the smaller polygon that colours the same pixels.
void GlCanvas::sendFill(const Vec2* v, std::size_t n, double depth, const Color& color, const PixelMap& pixels)
{
    auto fan = [&](auto vertexAt, std::size_t count) {
        for (std::size_t k = 2; k < count; ++k) {
            batchVertex(vertexAt(0), depth, color);
            batchVertex(vertexAt(k - 1), depth, color);
            batchVertex(vertexAt(k), depth, color);
        }
    };
    if (n >= roundShapeVertices) {
        std::vector<Vec2>& px = pixelScratch_;
        px.resize(n);
        for (std::size_t k = 0; k < n; ++k) px[k] = pixels(v[k]);
        const std::vector<std::size_t>* kept = nullptr;
        if (covers_.find(px, smallShapePixels, kept)) {
            fan([&](std::size_t k) { return v[(*kept)[k]]; }, kept->size());
            return;
        }
    }
    fan([&](std::size_t k) { return v[k]; }, n);
}

void GlCanvas::batchVertex(Vec2 p, double depth, const Color& color)
{
    batchPositions_.insert(batchPositions_.end(), {p.x, p.y, depth});
    batchColors_.insert(batchColors_.end(), {color.r, color.g, color.b, color.a});
}

// The batch's vertices to OpenGL as one array of primitives of `mode`.
void GlCanvas::drawBatch(unsigned mode)
{
    const std::size_t n = batchPositions_.size() / 3;
    if (n > 0) {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_DOUBLE, 0, batchPositions_.data());
        glColorPointer(4, GL_FLOAT, 0, batchColors_.data());
        glDrawArrays(mode, 0, static_cast<GLsizei>(n));
        glPopClientAttrib();
    }
    batchPositions_.clear();
    batchColors_.clear();
}

void GlCanvas::placeTexts(std::vector<TextAtlas::Place>& places, std::vector<char>& placed)
{
    places.assign(items_.size(), TextAtlas::Place{});
    placed.assign(items_.size(), 0);
    if (!ownGlyphs_) return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool full = false;
        for (std::size_t k = 0; k < items_.size(); ++k) {
            const Item& it = items_[k];
            if (it.kind != Item::Kind::Text) continue;
            placed[k] = atlas_.place(it.font, it.bytes, places[k]) ? 1 : 0;
            const bool tooLarge = places[k].width > TextAtlas::size || places[k].height > TextAtlas::size;
            if (!placed[k] && !tooLarge) full = true;
        }
        if (!full) return;
        // the strings of earlier pictures make room for this one's
        atlas_.clear();
    }
}

// A text as glBitmap places it: the raster position in window coordinates
// as OpenGL computes it (in single precision, through the viewport's scale
// and offset), the bitmap's corner on the pixel at or left of it less the
// origin (with the same small allowance), and nothing at all where the
// raster position lies outside the view.  A bitmap is cut by the edges of
// the surface, not by those of the viewport; a quad that would cross the
// viewport's edge is left to glBitmap (false).
bool GlCanvas::batchText(const Item& it, double depth, const TextAtlas::Place& place, const PixelMap& pixels)
{
    if (place.width <= 0) return true;
    if (!(it.x >= -1.0f && it.x <= 1.0f && it.y >= -1.0f && it.y <= 1.0f)) return true;
    const float scaleX = static_cast<float>(pixels.sx);
    const float scaleY = static_cast<float>(pixels.sy);
    const float rasterX = it.x * scaleX + static_cast<float>(pixels.x0 + pixels.sx);
    const float rasterY = it.y * scaleY + static_cast<float>(pixels.y0 + pixels.sy);
    const float epsilon = 0.0001f;
    const double left = std::floor(rasterX + epsilon - place.xOrigin);
    const double bottom = std::floor(rasterY + epsilon - place.yOrigin);
    if (left < pixels.x0 || left + place.width > pixels.x0 + 2.0 * pixels.sx || bottom < pixels.y0 ||
        bottom + place.height > pixels.y0 + 2.0 * pixels.sy)
        return false;
    auto windowX = [&](double px) { return (px - pixels.x0) / pixels.sx - 1.0; };
    auto windowY = [&](double py) { return (py - pixels.y0) / pixels.sy - 1.0; };
    const double x0 = windowX(left);
    const double x1 = windowX(left + place.width);
    const double y0 = windowY(bottom);
    const double y1 = windowY(bottom + place.height);
    const float s0 = static_cast<float>(place.u) / TextAtlas::size;
    const float s1 = static_cast<float>(place.u + place.width) / TextAtlas::size;
    const float t0 = static_cast<float>(place.v) / TextAtlas::size;
    const float t1 = static_cast<float>(place.v + place.height) / TextAtlas::size;
    TextBatch& b = textBatches_[it.lighting ? 1 : 0];
    auto corner = [&](double x, double y, float s, float t) {
        b.positions.insert(b.positions.end(), {x, y, depth});
        b.texels.insert(b.texels.end(), {s, t});
        b.colors.insert(b.colors.end(), {it.color.r, it.color.g, it.color.b, it.color.a});
    };
    corner(x0, y0, s0, t0);
    corner(x1, y0, s1, t0);
    corner(x1, y1, s1, t1);
    corner(x0, y0, s0, t0);
    corner(x1, y1, s1, t1);
    corner(x0, y1, s0, t1);
    return true;
}

// The text quads, their texels replacing nothing but the alpha that the
// alpha test reads: a pixel of ink takes the text's colour (lit as the
// raster position's colour is, under lighting), a pixel of none is left.
void GlCanvas::drawTextBatches()
{
    if (textBatches_[0].positions.empty() && textBatches_[1].positions.empty()) return;
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    atlas_.bind();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int lit = 0; lit < 2; ++lit) {
        TextBatch& b = textBatches_[lit];
        if (b.positions.empty()) continue;
        setGlLighting(lit == 1);
        glVertexPointer(3, GL_DOUBLE, 0, b.positions.data());
        glTexCoordPointer(2, GL_FLOAT, 0, b.texels.data());
        glColorPointer(4, GL_FLOAT, 0, b.colors.data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(b.positions.size() / 3));
        b.positions.clear();
        b.texels.clear();
        b.colors.clear();
    }
    glPopClientAttrib();
    glPopAttrib();
}

// The picture in depth order: item k of n lies at depth 1 - (k + 1) / (n + 1)
// (window depth, nearer with k), so that with GL_LESS each pixel keeps the
// latest shape that covers it whatever order the batches are sent in.
// A batch goes to OpenGL as one vertex array, each vertex with its shape's
// colour: the same primitives in the same order as between glBegin and
// glEnd, without a call for every vertex; the texts go together as quads
// of the atlas's texture.
void GlCanvas::sendGathered()
{
    const std::size_t n = items_.size();
    if (n == 0) return;
    auto z = [n](std::size_t k) { return 1.0 - 2.0 * double(k + 1) / double(n + 1); };

    // shapes of equal kind, lighting and line width go in one batch,
    // in drawing order within it
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    auto key = [this](std::size_t k) {
        const Item& it = items_[k];
        return std::tuple(int(it.kind), it.lighting,
                          it.kind == Item::Kind::Lines ? it.lineWidth : 0.0f);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return key(a) < key(b); });

    std::vector<TextAtlas::Place>& places = textPlaces_;
    std::vector<char>& placed = textPlaced_;
    placeTexts(places, placed);

    const PixelMap pixels;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    GLenum mode = GL_TRIANGLES;
    for (std::size_t i = 0; i < n; ++i) {
        const Item& it = items_[order[i]];
        const double depth = z(order[i]);
        if (it.kind == Item::Kind::Text) {
            if (placed[order[i]] && batchText(it, depth, places[order[i]], pixels)) continue;
            drawBatch(mode);
            setGlLighting(it.lighting);
            glColor4f(it.color.r, it.color.g, it.color.b, it.color.a);
            sendText(it.x, it.y, depth, it.font, it.bytes);
            continue;
        }
        const bool newBatch = i == 0 || key(order[i]) != key(order[i - 1]);
        if (newBatch) {
            drawBatch(mode);
            setGlLighting(it.lighting);
            glLineWidth(it.lineWidth);
            mode = it.kind == Item::Kind::Fill ? GL_TRIANGLES : GL_LINES;
        }
        const Vec2* v = vertices_.data() + it.first;
        if (it.kind == Item::Kind::Fill)
            sendFill(v, it.count, depth, it.color, pixels);
        else
            for (std::size_t k = 0; k < it.count; ++k) batchVertex(v[k], depth, it.color);
    }
    drawBatch(mode);
    drawTextBatches();
    glDisable(GL_DEPTH_TEST);
    items_.clear();
    vertices_.clear();
    stateKnown_ = false;
}

RgbImage readBackBuffer(int width, int height)
{
    RgbImage img;
    img.width = width;
    img.height = height;
    img.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    glFinish();
    // the back buffer of a double-buffered window; the one buffer of a
    // single-buffered surface (an EGL pbuffer)
    GLboolean doubled = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubled);
    glReadBuffer(doubled ? GL_BACK : GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, img.rgb.data());
    return img;
}

void setPictureViewport(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace hybridsim
