// The drawing target of the window's pictures: the handful of OpenGL 1.x
// immediate-mode calls the drawing needs, behind one small interface.
//
// The OpenGL implementation (GlCanvas) draws into the current context; the
// flat buffer (ShapeBuffer) records a picture for the page; the tests'
// recording canvas (tests/support) keeps every shape and text with its
// vertices in window units, so the geometry can be checked without a
// display.  The drawing routines of this folder never call OpenGL directly.
#pragma once

#include <string>

namespace hybridsim {

// A drawing colour: red, green, blue, alpha, each 0..1.
struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

// How the vertices between begin() and end() are joined.
enum class Shape {
    Polygon,    // a filled convex polygon
    LineLoop,   // a closed outline
    LineStrip,  // an open polyline
    Lines,      // separate segments, two vertices each
};

// The two bitmap fonts of the window.
enum class Font {
    Helvetica12,
    Helvetica18,
};

// What a shape or text of the teaching overlay (drawing/overlay.h) stands for;
// Plain for everything else in the picture.
enum class Role {
    Plain,
    Tangent,       // the contour's tangent at the contact point: position-controlled
    Normal,        // the normal into the workpiece: force-controlled
    Force,         // the contact force F n
    ForceCommand,  // the commanded force Fn n
    Deflection,    // the hand spring, from the undeflected to the deflected tip
    HandAxis,      // the hand frame's axes 1 and 2
    Reach,         // robot b's reachable area and the points out of it
    SpringForce,   // the hand spring's force Fc n at the recorded posture
};
constexpr Role lastRole = Role::SpringForce;

// A role's name as the page's shapes() and the tests give it; "" for Plain.
inline const char* roleName(Role role)
{
    switch (role) {
    case Role::Plain: return "";
    case Role::Tangent: return "tangent";
    case Role::Normal: return "normal";
    case Role::Force: return "force";
    case Role::ForceCommand: return "force-command";
    case Role::Deflection: return "deflection";
    case Role::HandAxis: return "hand-axis";
    case Role::Reach: return "reach";
    case Role::SpringForce: return "spring-force";
    }
    return "";
}

// Size of the window and of every picture of it [pixels]: a square.
constexpr int windowSize = 800;

class Canvas {
public:
    virtual ~Canvas() = default;

    // start of a picture: clear colour and depth buffer, identity model-view
    virtual void clear() = 0;
    virtual void loadIdentity() = 0;
    // end of a picture: flush, and show it where the target has two buffers
    virtual void present() = 0;

    // render state
    virtual void setLighting(bool on) = 0;
    virtual void setColor(const Color& c) = 0;
    virtual void setLineWidth(float pixels) = 0;

    // model-view matrix
    virtual void pushMatrix() = 0;
    virtual void popMatrix() = 0;
    virtual void translate(double x, double y) = 0;
    virtual void rotate(double degrees) = 0;  // about the z axis

    // one shape of vertices in the current model-view frame
    virtual void begin(Shape shape) = 0;
    virtual void vertex(double x, double y) = 0;
    virtual void end() = 0;

    // Bitmap text at a raster position in window units.  The current colour
    // is saved and restored around it; the bytes are drawn one by one up to
    // the first zero byte.
    virtual void text(float x, float y, Font font, const std::string& bytes) = 0;

    // The role of the shapes and texts drawn from now on; a target that
    // only draws (OpenGL) has no use for it.
    virtual void setRole(Role) {}
};

}  // namespace hybridsim
