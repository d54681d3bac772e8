#include "tests/support/recording_canvas.h"

#include <cmath>

namespace hybridsim {

bool sameColor(const Color& p, const Color& q)
{
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}

void RecordingCanvas::reset()
{
    shapes.clear();
    texts.clear();
    clears = 0;
    presents = 0;
    nonFiniteValues = 0;
    misuses = 0;
    sequence_ = 0;
}

std::vector<const RecordedShape*> RecordingCanvas::find(Shape shape, const Color& color) const
{
    std::vector<const RecordedShape*> out;
    for (const RecordedShape& s : shapes)
        if (s.shape == shape && sameColor(s.color, color)) out.push_back(&s);
    return out;
}

const RecordedText* RecordingCanvas::findText(const std::string& bytes) const
{
    for (const RecordedText& t : texts)
        if (t.bytes == bytes) return &t;
    return nullptr;
}

std::vector<const RecordedShape*> RecordingCanvas::withRole(Role role) const
{
    std::vector<const RecordedShape*> out;
    for (const RecordedShape& s : shapes)
        if (s.role == role) out.push_back(&s);
    return out;
}

void RecordingCanvas::check(double v)
{
    if (!std::isfinite(v)) ++nonFiniteValues;
}

void RecordingCanvas::clear()
{
    if (inShape_) ++misuses;
    ++clears;
}

void RecordingCanvas::loadIdentity()
{
    if (inShape_) ++misuses;
    stack_.back() = Affine{};
}

void RecordingCanvas::present()
{
    if (inShape_) ++misuses;
    ++presents;
}

void RecordingCanvas::setLighting(bool on)
{
    if (inShape_) ++misuses;
    lighting_ = on;
}

void RecordingCanvas::setColor(const Color& c)
{
    check(c.r);
    check(c.g);
    check(c.b);
    check(c.a);
    color_ = c;
}

void RecordingCanvas::setLineWidth(float pixels)
{
    if (inShape_) ++misuses;
    check(pixels);
    lineWidth_ = pixels;
}

void RecordingCanvas::pushMatrix()
{
    if (inShape_) ++misuses;
    stack_.push_back(stack_.back());
}

void RecordingCanvas::popMatrix()
{
    if (inShape_ || stack_.size() < 2) {
        ++misuses;
        return;
    }
    stack_.pop_back();
}

void RecordingCanvas::translate(double x, double y)
{
    if (inShape_) ++misuses;
    check(x);
    check(y);
    stack_.back().translate(x, y);
}

void RecordingCanvas::rotate(double degrees)
{
    if (inShape_) ++misuses;
    check(degrees);
    stack_.back().rotate(degrees);
}

void RecordingCanvas::begin(Shape shape)
{
    if (inShape_) ++misuses;
    inShape_ = true;
    current_ = RecordedShape{};
    current_.shape = shape;
    current_.color = color_;
    current_.lineWidth = lineWidth_;
    current_.lighting = lighting_;
    current_.role = role_;
}

void RecordingCanvas::vertex(double x, double y)
{
    if (!inShape_) {
        ++misuses;
        return;
    }
    check(x);
    check(y);
    current_.vertices.push_back(stack_.back().apply(x, y));
}

void RecordingCanvas::end()
{
    if (!inShape_) {
        ++misuses;
        return;
    }
    inShape_ = false;
    current_.sequence = sequence_++;
    shapes.push_back(std::move(current_));
}

void RecordingCanvas::text(float x, float y, Font font, const std::string& bytes)
{
    if (inShape_) ++misuses;
    check(x);
    check(y);
    RecordedText t;
    t.sequence = sequence_++;
    // where OpenGL puts the raster position: through the model-view matrix
    const Vec2 p = stack_.back().apply(x, y);
    t.x = static_cast<float>(p.x);
    t.y = static_cast<float>(p.y);
    t.font = font;
    t.bytes = bytes.substr(0, bytes.find('\0'));
    t.lighting = lighting_;
    t.role = role_;
    texts.push_back(std::move(t));
}

}  // namespace hybridsim
