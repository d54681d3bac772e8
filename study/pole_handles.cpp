#include "study/pole_handles.h"

#include <cmath>

#include "study/loop_poles.h"

namespace hybridsim {

PoleFrame poleFrame(const ChartLayout& layout)
{
    PoleFrame f;
    if (layout.panels.empty()) return f;
    const PanelLayout& at = layout.panels[0];
    f.x = at.x0;
    f.y = at.y0;
    f.width = at.x1 - at.x0;
    f.height = at.y1 - at.y0;
    f.reMin = at.xs.lo;
    f.reMax = at.xs.hi;
    f.imMin = at.ys.lo;
    f.imMax = at.ys.hi;
    return f;
}

double frameRe(const PoleFrame& f, double x) { return f.reMin + (f.reMax - f.reMin) * ((x - f.x) / f.width); }
double frameIm(const PoleFrame& f, double y) { return f.imMax - (f.imMax - f.imMin) * ((y - f.y) / f.height); }

const char* handleKindName(PoleHandle::Kind kind) { return kind == PoleHandle::Kind::pair ? "pair" : "alpha"; }

std::vector<PoleHandle> poleHandles(const SimSettings& s, const ChartLayout& layout)
{
    std::vector<PoleHandle> handles;
    // (designGains keeps fn and alpha for methods 7 and 8 only)
    if (layout.panels.empty() || (s.hybrid != '7' && s.hybrid != '8')) return handles;
    const PanelLayout& at = layout.panels[0];
    auto add = [&](int system, PoleHandle::Kind kind, const Pole& p) {
        PoleHandle h{system, kind, p.re, p.im, at.X(p.re), at.Y(p.im)};
        if (std::isfinite(p.re) && std::isfinite(p.im) && std::isfinite(h.x) && std::isfinite(h.y))
            handles.push_back(h);
    };
    for (const LoopPoles& l : loopPoles(s)) {
        // the pair: its pole above the axis while it is complex or double,
        // else the point of the circle |s| = wn on the axis
        Pole pair{-l.wn, 0.0};
        if (l.zeta <= 1.0 && l.designed.size() == 3) pair = l.designed[0].im >= 0.0 ? l.designed[0] : l.designed[1];
        add(l.system, PoleHandle::Kind::pair, pair);
        add(l.system, PoleHandle::Kind::alpha, l.designed.back());
    }
    return handles;
}

}  // namespace hybridsim
