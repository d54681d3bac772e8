// The browser edition's state: one set of settings, its run and the picture
// of the current frame, driven by the page through web/bindings.cpp.
//
// Every step is the desktop program's own: the start-up defaults and the
// derivation, the task-file reader, the run, the report, the summary, the
// series CSV and the frame drawing.  Nothing here computes the model.
#pragma once

#include <memory>
#include <string>

#include "sim/run.h"
#include "sim/settings.h"
#include "view/shape_buffer.h"

namespace hybridsim {

class WebSession {
public:
    // The default task, derived and run, shown at frame 0.
    WebSession();

    struct LoadResult {
        bool ok = false;
        std::string message;  // the reader's one line when refused, else empty
    };
    // Reads a whole task file from `bytes` (named `name` in messages); when
    // it is valid the settings are replaced and the run computed anew, else
    // nothing changes.
    LoadResult load(const std::string& bytes, const std::string& name);

    // the settings report, as the console prints it (UTF-8)
    std::string report() const;
    // the run summary, as hybridsim-batch --summary prints it
    std::string summary() const;
    // samples 0..nsteps of the task's robot as CSV, as hybridsim-batch --csv
    std::string csv() const;

    // The unreachable-point notice of the latest run (derivation and run
    // together): the console's lines, empty when every point was reachable,
    // and how many points were unreachable.
    const std::string& notice() const { return notice_; }
    int unreachable() const { return unreachable_; }

    // The frame shown, 0..nsteps; setFrame clamps to that range.
    int frame() const { return s_->frame; }
    int lastFrame() const;
    int setFrame(long frame);
    // time of a sample [s]
    double time(int frame) const;

    // The picture of the current frame, recorded anew.
    const ShapeBuffer& draw();

    const SimSettings& settings() const { return *s_; }

private:
    // derivation and run of the settings in s_, with their unreachable points
    void compute();

    std::unique_ptr<SimSettings> s_ = std::make_unique<SimSettings>();
    std::unique_ptr<RunSeries> run_ = std::make_unique<RunSeries>();
    ShapeBuffer picture_;
    std::string notice_;
    int unreachable_ = 0;
};

}  // namespace hybridsim
