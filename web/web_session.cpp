#include "web/web_session.h"

#include <sstream>

#include "console/reach_notice.h"
#include "console/report.h"
#include "console/series_csv.h"
#include "console/summary.h"
#include "console/task_file.h"
#include "sim/derivation.h"
#include "view/frame.h"

namespace hybridsim {

WebSession::WebSession()
{
    // the program's start: entry defaults, defaults, then the first run
    setEntryDefaults(*s_);
    setDefaults(*s_);
    compute();
}

void WebSession::compute()
{
    // one notice for the derivation and the run: the first unreachable
    // point with its coordinates, then how many there were
    std::ostringstream out;
    ReachNotice notice(out);
    notice.beginScope();
    deriveSettings(*s_, &notice);
    calcontrol(*s_, *run_, &notice);
    unreachable_ = notice.count();
    notice.endScope();
    notice_ = out.str();
    // the view as a settings pass leaves it
    s_->viewScale = 1.0;
    s_->pointErrorGain = 10.0;
    s_->frame = 0;
}

WebSession::LoadResult WebSession::load(const std::string& bytes, const std::string& name)
{
    // the reader changes the copy only when the whole file is valid
    SimSettings next = *s_;
    const TaskFileResult r = parseRobotData(bytes, name, next);
    if (!r.ok) return LoadResult{false, r.error};
    *s_ = next;
    compute();
    return LoadResult{true, ""};
}

std::string WebSession::report() const
{
    std::ostringstream out;
    printSettings(*s_, out);
    return out.str();
}

std::string WebSession::summary() const
{
    std::ostringstream out;
    printSummary(*s_, summarizeRun(*s_, currentSeries(*run_, s_->type)), out);
    return out.str();
}

std::string WebSession::csv() const
{
    std::ostringstream out;
    writeSeriesCsv(*s_, currentSeries(*run_, s_->type), out);
    return out.str();
}

int WebSession::lastFrame() const
{
    return s_->nsteps < seriesCapacity ? s_->nsteps : seriesCapacity - 1;
}

int WebSession::setFrame(long frame)
{
    const long last = lastFrame();
    s_->frame = static_cast<int>(frame < 0 ? 0 : frame > last ? last : frame);
    return s_->frame;
}

double WebSession::time(int frame) const
{
    if (frame < 0 || frame > lastFrame()) return 0.0;
    return currentSeries(*run_, s_->type).time[static_cast<std::size_t>(frame)];
}

const ShapeBuffer& WebSession::draw()
{
    drawFrame(picture_, *s_, *run_);
    return picture_;
}

}  // namespace hybridsim
