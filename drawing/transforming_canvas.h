// The part of a canvas that every drawing target keeps the same way: the
// render state the drawing asks for (lighting, colour, line width) and the
// model-view matrix stack, applied to vertices here rather than by OpenGL.
// A target derives from it and reads the state when it draws a shape.
#pragma once

#include <vector>

#include "drawing/affine.h"
#include "drawing/canvas.h"

namespace hybridsim {

class TransformingCanvas : public Canvas {
public:
    void setLighting(bool on) override { lighting_ = on; }
    void setColor(const Color& c) override { color_ = c; }
    void setLineWidth(float pixels) override { lineWidth_ = pixels; }
    void setRole(Role role) override { role_ = role; }

    void pushMatrix() override { stack_.push_back(stack_.back()); }
    // a pop without its push leaves the identity at the bottom
    void popMatrix() override
    {
        if (stack_.size() > 1) stack_.pop_back();
    }
    void translate(double x, double y) override { stack_.back().translate(x, y); }
    void rotate(double degrees) override { stack_.back().rotate(degrees); }

protected:
    // the model-view matrix in force
    Affine& top() { return stack_.back(); }
    const Affine& top() const { return stack_.back(); }

    bool lighting_ = false;
    float lineWidth_ = 1.0f;
    Color color_{1.0f, 1.0f, 1.0f, 1.0f};
    Role role_ = Role::Plain;

private:
    std::vector<Affine> stack_ = std::vector<Affine>(1);  // top last
};

}  // namespace hybridsim
