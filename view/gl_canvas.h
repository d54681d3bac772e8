// The canvas of the window: OpenGL 1.x immediate mode in the current
// context, bitmap text with the GLUT fonts.
//
// Lighting, line width and colour are sent to OpenGL only when something is
// drawn with them and only when they change; the model-view transforms of
// the shapes are applied here, so OpenGL's own matrix stays the identity.
//
// Two ways of handing a picture to OpenGL give the same pixels:
//   Painter  every shape is sent when it is drawn, in the drawing order;
//   Depth    the shapes of a picture are gathered and sent at its end in a
//            few batches of equal state (filled shapes as triangles, lines as
//            segments, one batch per line width), each shape given a depth
//            that grows nearer with its place in the drawing order, and the
//            depth test keeps the later shape on top, as painting would.  A
//            small disc goes as the smaller polygon of its own vertices that
//            colours the same pixels (view/pixel_cover.h).
// The graphs change the line width around every segment; sent in drawing
// order, each change ends a batch inside OpenGL, and Mesa's software
// renderer then spends most of a picture's time on those batches, and much
// of the rest on setting up the 118 triangles of each trail point.
// Depth is used when the window has a depth buffer, otherwise Painter; a
// test draws the same pictures both ways and compares every pixel.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "drawing/affine.h"
#include "drawing/transforming_canvas.h"
#include "image/rgb_image.h"
#include "view/pixel_cover.h"
#include "view/text_atlas.h"

namespace hybridsim {

class GlCanvas : public TransformingCanvas {
public:
    enum class Order { Painter, Depth };

    // `show` runs after the flush at the end of a picture (the buffer swap
    // of a double-buffered window); without it the picture stays in the
    // back buffer, where readBackBuffer finds it.  Depth order needs a
    // depth buffer in the current context and falls back to Painter without.
    // Text goes to OpenGL a string at a time (view/bitmap_font.h) or, as the
    // toolkit sends it, a character at a time; both give the same pixels,
    // and Strings falls back to Characters where the fonts cannot be read.
    enum class Text { Strings, Characters };

    explicit GlCanvas(std::function<void()> show = {}, Order order = Order::Depth, Text text = Text::Strings);

    // The order in use.
    Order order() const { return order_; }

    void clear() override;
    void loadIdentity() override;
    void present() override;
    void begin(Shape shape) override;
    void vertex(double x, double y) override;
    void end() override;
    void text(float x, float y, Font font, const std::string& bytes) override;

private:
    // One shape or text of a picture gathered in depth order.
    struct Item {
        enum class Kind { Fill, Lines, Text } kind = Kind::Fill;
        bool lighting = false;
        float lineWidth = 1.0f;
        Color color;
        std::size_t first = 0;  // Fill: polygon vertices, Lines: segment ends
        std::size_t count = 0;
        float x = 0.0f;  // Text: raster position, font and bytes
        float y = 0.0f;
        Font font = Font::Helvetica18;
        std::string bytes;
    };

    // Window units to pixels of the current viewport.
    struct PixelMap;

    // Sends the wanted render state that OpenGL does not have yet.
    void apply();
    // Sends the gathered picture and forgets it.
    void sendGathered();
    void sendText(float x, float y, double z, Font font, const std::string& bytes);
    void sendFill(const Vec2* v, std::size_t n, double depth, const Color& color, const PixelMap& pixels);
    void batchVertex(Vec2 p, double depth, const Color& color);
    void drawBatch(unsigned mode);
    // The places of the picture's texts in the atlas (emptied once if it
    // is full); false for a text that must go as a bitmap of its own.
    void placeTexts(std::vector<TextAtlas::Place>& places, std::vector<char>& placed);
    // A text's quad added to the text batch of its lighting; false when
    // it must go as a bitmap of its own.
    bool batchText(const Item& it, double depth, const TextAtlas::Place& place, const PixelMap& pixels);
    void drawTextBatches();

    std::function<void()> show_;
    Order order_;

    // what OpenGL has, of the render state the drawing wants (lighting_,
    // lineWidth_, color_); unknown at the start of every picture
    bool stateKnown_ = false;
    bool sentLighting_ = false;
    float sentLineWidth_ = 1.0f;
    Color sentColor_;

    // Depth order: the shapes and texts of the picture so far
    std::vector<Item> items_;
    std::vector<Vec2> vertices_;
    Shape shape_ = Shape::Polygon;
    std::size_t shapeFirst_ = 0;
    std::vector<Vec2> pixelScratch_;
    // the batch being gathered: x, y, depth and r, g, b, a of each vertex
    std::vector<double> batchPositions_;
    std::vector<float> batchColors_;
    CoveringMemo covers_;
    bool ownGlyphs_ = false;
    // Depth order: the strings drawn so far, and the picture's text quads,
    // unlit and lit: x, y, depth, texture s, t and r, g, b, a of each vertex
    TextAtlas atlas_;
    struct TextBatch {
        std::vector<double> positions;
        std::vector<float> texels;
        std::vector<float> colors;
    };
    TextBatch textBatches_[2];
    std::vector<TextAtlas::Place> textPlaces_;
    std::vector<char> textPlaced_;
};

// The back buffer of the current context (the picture drawn before `show`),
// or its only buffer when it has no back buffer.
RgbImage readBackBuffer(int width, int height);

// The state a picture of the window is drawn in, for a surface of width x
// height pixels: the viewport over all of it, the identity projection (the
// window's reshape callback, and the off-screen pictures).
void setPictureViewport(int width, int height);

}  // namespace hybridsim
