// The flat picture buffer of the browser edition against the recording
// canvas: the same drawing must give the same shapes, record by record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing/frame.h"
#include "drawing/primitives.h"
#include "drawing/shape_buffer.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::computeTask;
using testing::defaultTask;
using testing::Task;

// One record of the buffer, read back the way the page's script reads it.
struct Record {
    int kind = 0;
    Color color;
    double lineWidth = 0.0;
    bool lighting = false;
    std::vector<Vec2> vertices;
    int font = 0;
    double x = 0.0, y = 0.0;
    std::string bytes;
};

std::vector<Record> decode(const ShapeBuffer& b)
{
    const std::vector<double>& d = b.data();
    std::vector<Record> out;
    std::size_t i = 0;
    while (i + ShapeBuffer::headerSize <= d.size()) {
        Record r;
        r.kind = static_cast<int>(d[i]);
        r.color = Color{float(d[i + 1]), float(d[i + 2]), float(d[i + 3]), float(d[i + 4])};
        r.lineWidth = d[i + 5];
        r.lighting = d[i + 6] != 0.0;
        const auto n = static_cast<std::size_t>(d[i + 7]);
        const std::size_t v = i + ShapeBuffer::headerSize;
        if (r.kind == ShapeBuffer::textKind) {
            r.font = static_cast<int>(d[v]);
            r.x = d[v + 1];
            r.y = d[v + 2];
            r.bytes = b.bytes().substr(static_cast<std::size_t>(d[v + 3]), n);
            i = v + ShapeBuffer::textFields;
        } else {
            for (std::size_t k = 0; k < n; ++k) r.vertices.push_back(Vec2{d[v + 2 * k], d[v + 2 * k + 1]});
            i = v + 2 * n;
        }
        out.push_back(r);
    }
    EXPECT_EQ(i, d.size()) << "the last record runs past the buffer";
    return out;
}

// Both canvases draw frame `frame`; every record must match the recording.
void expectSamePicture(const Task& task, int frame)
{
    SimSettings s = task.s;
    s.frame = frame;
    RecordingCanvas rec;
    ShapeBuffer buf;
    drawFrame(rec, s, *task.run);
    drawFrame(buf, s, *task.run);

    const std::vector<Record> got = decode(buf);
    ASSERT_EQ(got.size(), rec.shapes.size() + rec.texts.size());
    EXPECT_EQ(buf.shapeCount(), int(rec.shapes.size()));
    EXPECT_EQ(buf.textCount(), int(rec.texts.size()));
    for (const RecordedShape& sh : rec.shapes) {
        const Record& r = got[static_cast<std::size_t>(sh.sequence)];
        ASSERT_EQ(r.kind, int(sh.shape)) << "record " << sh.sequence;
        EXPECT_TRUE(sameColor(r.color, sh.color)) << "record " << sh.sequence;
        EXPECT_EQ(r.lineWidth, sh.lineWidth) << "record " << sh.sequence;
        EXPECT_EQ(r.lighting, sh.lighting) << "record " << sh.sequence;
        ASSERT_EQ(r.vertices.size(), sh.vertices.size()) << "record " << sh.sequence;
        for (std::size_t k = 0; k < sh.vertices.size(); ++k) {
            EXPECT_EQ(r.vertices[k].x, sh.vertices[k].x) << "record " << sh.sequence;
            EXPECT_EQ(r.vertices[k].y, sh.vertices[k].y) << "record " << sh.sequence;
        }
    }
    for (const RecordedText& t : rec.texts) {
        const Record& r = got[static_cast<std::size_t>(t.sequence)];
        ASSERT_EQ(r.kind, ShapeBuffer::textKind) << "record " << t.sequence;
        EXPECT_EQ(r.font, t.font == Font::Helvetica12 ? 0 : 1) << t.bytes;
        EXPECT_EQ(r.x, t.x) << t.bytes;
        EXPECT_EQ(r.y, t.y) << t.bytes;
        EXPECT_EQ(r.bytes, t.bytes);
        EXPECT_EQ(r.lighting, t.lighting) << t.bytes;
    }
}

TEST(ShapeBuffer, RecordsEveryFrameAsTheRecordingCanvasDoes)
{
    for (int frame : {0, 1, 100, 200}) {
        SCOPED_TRACE(frame);
        expectSamePicture(defaultTask(), frame);
    }
    // robot a, the line and the circle of robot b, method 7
    expectSamePicture(computeTask('a', '7', 'L'), 60);
    expectSamePicture(computeTask('b', '7', 'C'), 150);
}

TEST(ShapeBuffer, EachPictureStartsEmpty)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    s.frame = 200;
    ShapeBuffer buf;
    drawFrame(buf, s, *task.run);
    const std::size_t size = buf.data().size();
    const std::size_t textBytes = buf.bytes().size();
    drawFrame(buf, s, *task.run);
    EXPECT_EQ(buf.data().size(), size);
    EXPECT_EQ(buf.bytes().size(), textBytes);
    EXPECT_EQ(buf.presents(), 2);
}

TEST(ShapeBuffer, LayoutOfShapesAndTexts)
{
    ShapeBuffer buf;
    buf.clear();
    buf.setLighting(false);
    buf.setLineWidth(3.0f);
    buf.setColor(palette::lightBlue);
    // a square turned by 90 degrees about (0.5, 0): vertices in window units
    buf.pushMatrix();
    buf.translate(0.5, 0.0);
    buf.rotate(90.0);
    buf.begin(Shape::LineLoop);
    buf.vertex(0.1, 0.0);
    buf.vertex(0.0, 0.2);
    buf.end();
    buf.popMatrix();
    // texts: lit, cut at the first zero byte, the control bytes kept for the page to skip
    buf.setLighting(true);
    buf.text(-0.9f, 0.8f, Font::Helvetica12, std::string("ab\ncd\0ef", 8));
    buf.text(0.25f, -0.5f, Font::Helvetica18, "Z");
    // a shape left open is closed by the next text or by present(); the
    // role in force goes into the header
    buf.setRole(Role::Force);
    buf.begin(Shape::Lines);
    buf.vertex(0.0, 0.0);
    buf.present();

    const std::vector<double>& d = buf.data();
    const std::vector<double> want = {
        1, 0.6f, 0.6f, 1, 0, 3, 0, 2, 0, 0.5, 0.1, 0.5 - 0.2, 0.0,  // the loop
        4, 0.6f, 0.6f, 1, 0, 3, 1, 5, 0, 0, -0.9f, 0.8f, 0,          // "ab\ncd"
        4, 0.6f, 0.6f, 1, 0, 3, 1, 1, 0, 1, 0.25f, -0.5f, 5,         // "Z"
        3, 0.6f, 0.6f, 1, 0, 3, 1, 1, 3, 0, 0,                       // one vertex of lines, a force
    };
    ASSERT_EQ(d.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(d[k], want[k], 1e-15) << "number " << k;
    EXPECT_EQ(buf.bytes(), "ab\ncdZ");
    EXPECT_EQ(buf.shapeCount(), 2);
    EXPECT_EQ(buf.textCount(), 2);

    // text under a transform lands where OpenGL puts it, in the buffer and
    // in the recording alike
    RecordingCanvas rec;
    for (Canvas* cv : {static_cast<Canvas*>(&rec), static_cast<Canvas*>(&buf)}) {
        cv->clear();
        cv->translate(0.5, 0.25);
        cv->text(0.1f, 0.1f, Font::Helvetica12, "T");
    }
    ASSERT_EQ(rec.texts.size(), 1u);
    EXPECT_NEAR(rec.texts[0].x, 0.6, 1e-6);
    EXPECT_NEAR(rec.texts[0].y, 0.35, 1e-6);
    EXPECT_NEAR(buf.data()[ShapeBuffer::headerSize + 1], 0.6, 1e-6);
}

}  // namespace
}  // namespace hybridsim
