#include "calibration/PointHistory.h"

#include <algorithm>
#include <utility>

void PointHistory::pushStep(Step before) { replaced.push_back(std::move(before)); }

std::size_t PointHistory::keptCentres() const
{
    // Centres clicked after a step go first, one by one; then the step. With
    // no step the fourth corner's own centre stays until the corner goes.
    return std::max<std::size_t>(mark ? mark->centres : 1, 1);
}

PointHistory::Step PointHistory::popStep()
{
    Step step = std::move(replaced.back());
    replaced.pop_back();
    return step;
}

PointHistory::Step PointHistory::current(
    const CornerPoints& points, const QStringList& dimensions) const
{
    return Step { points, dimensions, mark };
}

void PointHistory::clearSteps()
{
    replaced.clear();
    mark.reset();
}

std::vector<PointHistory::Step> PointHistory::takeSteps()
{
    std::vector<Step> steps = std::move(replaced);
    replaced.clear();
    return steps;
}
