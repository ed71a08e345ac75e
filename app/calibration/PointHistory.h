#pragma once

#include "calibration/CornerPoints.h"

#include <QStringList>

#include <optional>
#include <vector>

// What undo takes back. Clicks go one by one; a step that replaced every
// point at once (a found pitch, an imported calibration) or the lens goes
// whole, bringing back the points and lens, and the dimension texts where
// the step replaced them too. Points clicked after a step go first.
class PointHistory
{
public:
    // How many centres and corners came with the step in place.
    struct Mark
    {
        std::size_t centres = 0;
        int corners = 0;
    };
    struct Step
    {
        CornerPoints points;
        QStringList dimensions; // empty: left as they are on restoring
        std::optional<Mark> mark;
    };

    // Before a step replaces the points: what it replaces.
    void pushStep(Step before);
    // After the step: the points it left, which only undoing the step
    // takes back.
    void markStep(const CornerPoints& points) { mark = Mark { points.centres().size(), points.given() }; }
    // How many centres undo must leave in place before it takes back
    // something larger than a centre.
    std::size_t keptCentres() const;
    // Whether the points in place came in a step that undo can take back.
    bool canUndoStep(const CornerPoints& points) const
    {
        return mark && !replaced.empty() && points.given() == mark->corners;
    }
    // The points before the latest step (call only when canUndoStep()).
    Step popStep();
    Step current(const CornerPoints& points, const QStringList& dimensions) const;
    void restore(const Step& step) { mark = step.mark; }
    // The points are no longer a step's (new ones were typed or clicked
    // over them, or the history starts afresh with clearSteps).
    void leaveStep() { mark.reset(); }
    void clearSteps();
    // Keeps the earlier steps across an import that starts by clearing.
    std::vector<Step> takeSteps();
    void giveSteps(std::vector<Step> steps) { replaced = std::move(steps); }

private:
    std::vector<Step> replaced; // the latest last
    std::optional<Mark> mark;
};
