// The page's way into the C++ core: a few plain C functions over one
// WebSession (web/web_session.h).  JavaScript calls them through the
// module's exports; texts come back as NUL-terminated UTF-8 that stays valid
// until the next call that returns a text, the picture as one buffer of
// doubles and one of bytes that stay valid until the next hs_draw.
#include <emscripten/emscripten.h>

#include <memory>
#include <string>

#include "web/web_session.h"

using hybridsim::ShapeBuffer;
using hybridsim::WebSession;

namespace {

// the session, made by hs_start
std::unique_ptr<WebSession> session;
// the last text handed out
std::string text;
// the latest picture, recorded by hs_draw
const ShapeBuffer* picture = nullptr;

const char* handOut(std::string t)
{
    text = std::move(t);
    return text.c_str();
}

}  // namespace

extern "C" {

// Starts with the default task; 1 when the session is there.
EMSCRIPTEN_KEEPALIVE int hs_start()
{
    if (!session) session = std::make_unique<WebSession>();
    return session ? 1 : 0;
}

// Reads `size` bytes of a task file named `name`: 1 when taken, 0 when
// refused (hs_message says why) and the run unchanged.
EMSCRIPTEN_KEEPALIVE int hs_load(const char* bytes, int size, const char* name)
{
    const WebSession::LoadResult r =
        session->load(std::string(bytes, static_cast<std::size_t>(size < 0 ? 0 : size)), name);
    handOut(r.message);
    return r.ok ? 1 : 0;
}

// the message of the last hs_load
EMSCRIPTEN_KEEPALIVE const char* hs_message() { return text.c_str(); }

EMSCRIPTEN_KEEPALIVE const char* hs_report() { return handOut(session->report()); }
EMSCRIPTEN_KEEPALIVE const char* hs_summary() { return handOut(session->summary()); }
EMSCRIPTEN_KEEPALIVE const char* hs_csv() { return handOut(session->csv()); }
EMSCRIPTEN_KEEPALIVE const char* hs_notice() { return handOut(session->notice()); }
EMSCRIPTEN_KEEPALIVE int hs_unreachable() { return session->unreachable(); }

// the frame shown and the last one, 0..nsteps; setting clamps and returns it
EMSCRIPTEN_KEEPALIVE int hs_frame() { return session->frame(); }
EMSCRIPTEN_KEEPALIVE int hs_last_frame() { return session->lastFrame(); }
EMSCRIPTEN_KEEPALIVE int hs_set_frame(int frame) { return session->setFrame(frame); }
// time of a sample [s]
EMSCRIPTEN_KEEPALIVE double hs_time(int frame) { return session->time(frame); }

// Records the picture of the current frame; returns how many doubles the
// buffer holds (hs_shapes points at them, hs_text_bytes at the texts' bytes).
EMSCRIPTEN_KEEPALIVE int hs_draw()
{
    picture = &session->draw();
    return static_cast<int>(picture->data().size());
}
EMSCRIPTEN_KEEPALIVE const double* hs_shapes() { return picture->data().data(); }
EMSCRIPTEN_KEEPALIVE const char* hs_text_bytes() { return picture->bytes().data(); }
EMSCRIPTEN_KEEPALIVE int hs_text_size() { return static_cast<int>(picture->bytes().size()); }

}  // extern "C"
