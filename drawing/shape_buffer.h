// A canvas that records a whole picture into one flat buffer of numbers, for
// a drawing target outside C++ (the browser edition draws it on an HTML
// canvas in one pass).
//
// Every shape and text is one record of doubles, in painter's order:
//
//   kind  r g b a  lineWidth  lighting  n  role   (the header, headerSize numbers)
//   kind 0..3 (Shape):  x0 y0 ... x(n-1) y(n-1)   n vertices [window units]
//   kind 4 (text):      font x y first            n bytes of bytes() from first
//
// Vertices are carried through the model-view matrix into window units, as
// OpenGL would; a text's raster position is carried the same way.  Colours
// are the ones set (alpha included, 0 in the palette); the line width is in
// pixels of the 800-pixel window; lighting is 1 or 0 (a lit shape or text
// shows the lit colour, not its own).  font is 0 for Helvetica 12, 1 for
// Helvetica 18.  Text bytes are kept up to the first zero byte.  role is the
// Role value (0 for everything but the teaching overlay).
#pragma once

#include <string>
#include <vector>

#include "drawing/affine.h"
#include "drawing/transforming_canvas.h"

namespace hybridsim {

class ShapeBuffer : public TransformingCanvas {
public:
    // numbers in a record's header
    static constexpr int headerSize = 9;
    // places in the header of the vertex or byte count and of the role
    static constexpr int countField = 7;
    static constexpr int roleField = 8;
    // kind of a text record (the kinds below it are the Shape values)
    static constexpr int textKind = 4;
    // numbers after the header of a text record
    static constexpr int textFields = 4;

    // the records of the picture drawn since the last clear()
    const std::vector<double>& data() const { return data_; }
    // the bytes of every text, one after the other
    const std::string& bytes() const { return bytes_; }
    int shapeCount() const { return shapes_; }
    int textCount() const { return texts_; }
    // pictures finished by present() since this canvas was made
    int presents() const { return presents_; }

    void clear() override;
    void loadIdentity() override;
    void present() override;
    void begin(Shape shape) override;
    void vertex(double x, double y) override;
    void end() override;
    void text(float x, float y, Font font, const std::string& bytes) override;

private:
    void header(int kind, int n);

    std::vector<double> data_;
    std::string bytes_;
    // start of the open shape's record in data_, or -1 outside begin/end
    long open_ = -1;
    int shapes_ = 0;
    int texts_ = 0;
    int presents_ = 0;
};

}  // namespace hybridsim
