#pragma once

#include "calibration/CornerPoints.h"

#include <QStringList>

#include <optional>
#include <vector>

// What undo takes back. Clicks go one by one; a step that replaced every
// point at once (a found pitch, an imported calibration) goes whole, bringing
// back the points, and the dimension texts where the step replaced them too.
class PointHistory
{
public:
    struct Step
    {
        CornerPoints points;
        QStringList dimensions; // empty: left as they are on restoring
        std::optional<std::size_t> stepCentres;
    };

    // Before a step replaces the points: what it replaces.
    void pushStep(Step before);
    // After the step: the number of centres that came with it, which only
    // undoing the step takes back.
    void markStep(std::size_t centres) { stepCentres = centres; }
    // How many centres undo must leave in place before it takes back
    // something larger than a centre.
    std::size_t keptCentres() const;
    // Whether the points in place came in a step that undo can take back.
    bool canUndoStep() const { return stepCentres && !replaced.empty(); }
    // The points before the latest step (call only when canUndoStep()).
    Step popStep();
    Step current(const CornerPoints& points, const QStringList& dimensions) const;
    void restore(const Step& step) { stepCentres = step.stepCentres; }
    // The points are no longer a step's (new ones were typed or clicked
    // over them, or the history starts afresh with clearSteps).
    void leaveStep() { stepCentres.reset(); }
    void clearSteps();
    // Keeps the earlier steps across an import that starts by clearing.
    std::vector<Step> takeSteps();
    void giveSteps(std::vector<Step> steps) { replaced = std::move(steps); }

private:
    std::vector<Step> replaced; // the latest last
    std::optional<std::size_t> stepCentres;
};
