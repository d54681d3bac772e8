// A model-view matrix of the work plane: translations and rotations about
// the z axis, composed the way OpenGL composes them (each new transform acts
// first on the vertices that follow).
#pragma once

#include <cmath>

#include "sim/settings.h"

namespace hybridsim {

// (x, y) -> (a x + c y + e, b x + d y + f)
struct Affine {
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;

    void translate(double x, double y)
    {
        e += a * x + c * y;
        f += b * x + d * y;
    }

    // `degrees` counter-clockwise, with OpenGL's factor from degrees to radians
    void rotate(double degrees)
    {
        const double r = degrees * 3.14159265358979323846 / 180.0;
        const double cs = std::cos(r);
        const double sn = std::sin(r);
        const Affine o = *this;
        a = o.a * cs + o.c * sn;
        b = o.b * cs + o.d * sn;
        c = -o.a * sn + o.c * cs;
        d = -o.b * sn + o.d * cs;
    }

    Vec2 apply(double x, double y) const { return Vec2{a * x + c * y + e, b * x + d * y + f}; }
};

}  // namespace hybridsim
