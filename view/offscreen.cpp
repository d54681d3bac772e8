#include "view/offscreen.h"

#include <GL/gl.h>

#include "view/bitmap_font.h"
#include "view/window.h"

namespace hybridsim {

OffscreenView::OffscreenView(std::unique_ptr<Surface> surface, const char* path)
    : surface_(std::move(surface)), path_(path)
{
}

OffscreenView::~OffscreenView()
{
    // the canvas holds nothing of OpenGL's; the surface ends the context
    canvas_.reset();
    surface_.reset();
}

std::unique_ptr<OffscreenView> OffscreenView::finishOpening(std::unique_ptr<Surface> surface,
                                                            const char* path, std::string& error)
{
    // the text is drawn from the toolkit's font tables, GLUT being never
    // initialised here: without them there would be no text at all
    if (!bitmapFontsUsable(error)) return nullptr;
    std::unique_ptr<OffscreenView> view(new OffscreenView(std::move(surface), path));
    // the state the window has when it draws: white clear colour, the
    // viewport over the whole picture, identity projection
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    setPictureViewport(windowSize, windowSize);
    view->canvas_ = std::make_unique<GlCanvas>(std::function<void()>{}, GlCanvas::Order::Depth,
                                               GlCanvas::Text::Strings);
    return view;
}

RgbImage OffscreenView::draw(const std::function<void(Canvas&)>& paint)
{
    paint(*canvas_);
    return readBackBuffer(windowSize, windowSize);
}

GlCanvas::Order OffscreenView::order() const { return canvas_->order(); }

}  // namespace hybridsim
