// web_shape_dump [--overlay] [TASKFILE] FRAME: the shapes and texts that the desktop's
// drawing records (RecordingCanvas) for one frame of a task, in painter's
// order, and where the view mapping puts the probe tip of that frame, as
// JSON: {"tip": [x, y], "items": [...]} in window units, each item of the
// teaching overlay (--overlay) with its "role".  The browser tests compare
// the page's picture with it.
//
// The task is set up as hybridsim-batch sets it up: entry defaults,
// defaults, derivation, the task file, derivation, the run, and the view as
// a settings pass leaves it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "drawing/frame.h"
#include "drawing/graphs.h"
#include "drawing/primitives.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "task/task_file.h"
#include "tests/support/recording_canvas.h"

namespace {

using namespace hybridsim;

// the role as the page's shapes() names it; none for the plain picture
void role(Role r)
{
    if (r != Role::Plain) std::printf(",\"role\":\"%s\"", roleName(r));
}

const char* kindName(Shape shape)
{
    switch (shape) {
    case Shape::Polygon:
        return "polygon";
    case Shape::LineLoop:
        return "lineLoop";
    case Shape::LineStrip:
        return "lineStrip";
    case Shape::Lines:
        return "lines";
    }
    return "?";
}

// a number that JSON can hold (null for one that is not finite)
void number(double v)
{
    if (std::isfinite(v))
        std::printf("%.17g", v);
    else
        std::printf("null");
}

void color(const Color& c)
{
    std::printf("\"color\":[");
    number(c.r);
    std::printf(",");
    number(c.g);
    std::printf(",");
    number(c.b);
    std::printf(",");
    number(c.a);
    std::printf("]");
}

// a JSON string of the text's bytes, each byte above 127 as \u00XX (Latin-1)
void string(const std::string& bytes)
{
    std::printf("\"");
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\')
            std::printf("\\%c", c);
        else if (c < 32 || c > 126)
            std::printf("\\u%04x", c);
        else
            std::printf("%c", c);
    }
    std::printf("\"");
}

}  // namespace

int main(int argc, char** argv)
{
    const bool overlay = argc > 1 && std::string(argv[1]) == "--overlay";
    if (overlay) {
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: web_shape_dump [--overlay] [TASKFILE] FRAME\n");
        return 2;
    }
    auto s = std::make_unique<SimSettings>();
    auto run = std::make_unique<RunSeries>();
    setEntryDefaults(*s);
    setDefaults(*s);
    deriveSettings(*s);
    if (argc == 3) {
        const TaskFileResult r = loadRobotDataFile(argv[1], *s);
        if (!r.ok) {
            std::fprintf(stderr, "web_shape_dump: %s\n", r.error.c_str());
            return 2;
        }
        deriveSettings(*s);
    }
    calcontrol(*s, *run);
    s->viewScale = 1.0;
    s->pointErrorGain = 10.0;
    s->frame = std::atoi(argv[argc - 1]);

    RecordingCanvas cv;
    drawFrame(cv, *s, *run, PinSet{}, overlay);

    const Vec2 tip = toWindow(*s, currentSeries(*run, s->type).tipPos[std::size_t(lastSample(*s, s->frame))]);
    std::printf("{\"tip\":[");
    number(tip.x);
    std::printf(",");
    number(tip.y);
    // shapes and texts merged back into painter's order
    std::printf("],\n\"items\":[\n");
    std::size_t si = 0, ti = 0;
    bool first = true;
    while (si < cv.shapes.size() || ti < cv.texts.size()) {
        const bool shapeNext = ti == cv.texts.size() ||
                               (si < cv.shapes.size() && cv.shapes[si].sequence < cv.texts[ti].sequence);
        std::printf(first ? "" : ",\n");
        first = false;
        if (shapeNext) {
            const RecordedShape& sh = cv.shapes[si++];
            std::printf("{\"kind\":\"%s\",", kindName(sh.shape));
            color(sh.color);
            std::printf(",\"lineWidth\":");
            number(sh.lineWidth);
            std::printf(",\"lighting\":%s,\"vertices\":[", sh.lighting ? "true" : "false");
            for (std::size_t k = 0; k < sh.vertices.size(); ++k) {
                std::printf(k == 0 ? "[" : ",[");
                number(sh.vertices[k].x);
                std::printf(",");
                number(sh.vertices[k].y);
                std::printf("]");
            }
            std::printf("]");
            role(sh.role);
            std::printf("}");
        } else {
            const RecordedText& t = cv.texts[ti++];
            std::printf("{\"kind\":\"text\",\"font\":\"%s\",\"x\":",
                        t.font == Font::Helvetica12 ? "Helvetica12" : "Helvetica18");
            number(t.x);
            std::printf(",\"y\":");
            number(t.y);
            std::printf(",\"lighting\":%s,\"bytes\":", t.lighting ? "true" : "false");
            string(t.bytes);
            role(t.role);
            std::printf("}");
        }
    }
    std::printf("\n]}\n");
    return 0;
}
