#include "drawing/shape_buffer.h"

namespace hybridsim {

void ShapeBuffer::header(int kind, int n)
{
    data_.push_back(kind);
    data_.push_back(color_.r);
    data_.push_back(color_.g);
    data_.push_back(color_.b);
    data_.push_back(color_.a);
    data_.push_back(lineWidth_);
    data_.push_back(lighting_ ? 1.0 : 0.0);
    data_.push_back(n);
    data_.push_back(static_cast<double>(role_));
}

void ShapeBuffer::clear()
{
    // the capacity stays, so that later pictures allocate nothing
    data_.clear();
    bytes_.clear();
    open_ = -1;
    shapes_ = 0;
    texts_ = 0;
}

void ShapeBuffer::loadIdentity() { top() = Affine{}; }

void ShapeBuffer::present()
{
    if (open_ >= 0) end();
    ++presents_;
}

void ShapeBuffer::begin(Shape shape)
{
    // a shape left open is closed as it stands
    if (open_ >= 0) end();
    open_ = static_cast<long>(data_.size());
    header(static_cast<int>(shape), 0);
}

void ShapeBuffer::vertex(double x, double y)
{
    if (open_ < 0) return;
    const Vec2 p = top().apply(x, y);
    data_.push_back(p.x);
    data_.push_back(p.y);
}

void ShapeBuffer::end()
{
    if (open_ < 0) return;
    // the vertex count goes into the header now that it is known
    const std::size_t first = static_cast<std::size_t>(open_) + headerSize;
    data_[static_cast<std::size_t>(open_) + countField] =
        static_cast<double>((data_.size() - first) / 2);
    open_ = -1;
    ++shapes_;
}

void ShapeBuffer::text(float x, float y, Font font, const std::string& bytes)
{
    if (open_ >= 0) end();
    const std::string shown = bytes.substr(0, bytes.find('\0'));
    const Vec2 p = top().apply(x, y);
    header(textKind, static_cast<int>(shown.size()));
    data_.push_back(font == Font::Helvetica12 ? 0.0 : 1.0);
    data_.push_back(p.x);
    data_.push_back(p.y);
    data_.push_back(static_cast<double>(bytes_.size()));
    bytes_ += shown;
    ++texts_;
}

}  // namespace hybridsim
