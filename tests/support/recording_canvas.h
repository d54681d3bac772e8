// A canvas that draws nothing and remembers everything: each shape with its
// vertices carried through the model-view matrix into window units, each
// text with its raster position, and the render state in force for both.
// Tests check the drawing's geometry with it, without a display.
#pragma once

#include <vector>

#include "drawing/affine.h"
#include "drawing/canvas.h"
#include "sim/settings.h"

namespace hybridsim {

struct RecordedShape {
    int sequence = 0;  // place in the painter's order (shapes and texts together)
    Shape shape = Shape::Polygon;
    Color color;
    float lineWidth = 1.0f;  // pixels, in force when the shape was drawn
    bool lighting = false;   // GL_LIGHTING in force when the shape was drawn
    Role role = Role::Plain;
    std::vector<Vec2> vertices;  // window units
};

struct RecordedText {
    int sequence = 0;
    float x = 0.0f;  // raster position carried through the model-view matrix, window units
    float y = 0.0f;
    Font font = Font::Helvetica18;
    std::string bytes;
    bool lighting = false;  // decides the text colour in OpenGL
    Role role = Role::Plain;
};

class RecordingCanvas : public Canvas {
public:
    std::vector<RecordedShape> shapes;
    std::vector<RecordedText> texts;
    int clears = 0;
    int presents = 0;
    // Values that were not finite numbers (vertices, translations, angles,
    // widths): OpenGL must never receive one.
    int nonFiniteValues = 0;
    // Calls out of place: a vertex outside begin/end, begin inside begin,
    // end without begin, a pop without a push, a state change inside a shape.
    int misuses = 0;

    // Forgets everything recorded; the render state stays.
    void reset();

    bool lighting() const { return lighting_; }
    float lineWidth() const { return lineWidth_; }
    int matrixDepth() const { return static_cast<int>(stack_.size()) - 1; }

    // The shapes of one colour and kind, in painter's order.
    std::vector<const RecordedShape*> find(Shape shape, const Color& color) const;
    // The first text with these bytes, or nullptr.
    const RecordedText* findText(const std::string& bytes) const;
    // The shapes of one role, in painter's order.
    std::vector<const RecordedShape*> withRole(Role role) const;

    void clear() override;
    void loadIdentity() override;
    void present() override;
    void setLighting(bool on) override;
    void setColor(const Color& c) override;
    void setLineWidth(float pixels) override;
    void pushMatrix() override;
    void popMatrix() override;
    void translate(double x, double y) override;
    void rotate(double degrees) override;
    void begin(Shape shape) override;
    void vertex(double x, double y) override;
    void end() override;
    void text(float x, float y, Font font, const std::string& bytes) override;
    void setRole(Role role) override { role_ = role; }

private:
    void check(double v);

    std::vector<Affine> stack_ = std::vector<Affine>(1);
    bool lighting_ = false;
    float lineWidth_ = 1.0f;
    Color color_{1.0f, 1.0f, 1.0f, 1.0f};
    Role role_ = Role::Plain;
    bool inShape_ = false;
    RecordedShape current_;
    int sequence_ = 0;
};

// Colours compared component by component.
bool sameColor(const Color& p, const Color& q);

}  // namespace hybridsim
