#pragma once

#include "screens/InteractionMode.h"

#include <QObject>
#include <QPointF>

class FieldControls;
class MeasureTool;
class QAction;
class QMouseEvent;
class VideoScreenGL;

// The mouse on the OpenGL screen: in Mark mode a click gives a point (a
// corner, then the game centre) and, once the corners are complete, a drag
// moves the centre; in Select mode a click picks the corner within six video
// pixels and a drag moves it, settling it on a line crossing when dropped.
// With a measure tool active the mouse belongs to the tool. The modes are
// chosen from the screen's context menu (Mark, Select, Clean).
class VideoScreenGLInput : public QObject
{
    Q_OBJECT

public:
    VideoScreenGLInput(VideoScreenGL* screen, FieldControls* fieldControls);

    void setMeasureTool(MeasureTool* tool) { measureTool = tool; }
    InteractionMode mode() const { return interaction; }
    int selectedCorner() const { return selected; }
    // Whether the corner markers are shown (in Select mode).
    bool showsCorners() const { return interaction == InteractionMode::SelectCorners; }

    // Each is false when the event is none of the screen's (not the left
    // button), for the widget to handle as usual.
    bool press(const QMouseEvent& event);
    bool move(const QMouseEvent& event);
    bool release(const QMouseEvent& event);
    void leave();

signals:
    void givePoint(int x, int y, bool exact);
    void resetPoints();
    void cursorChanged(Qt::CursorShape shape);
    // The overlay's lists need compiling anew (corners or centre moved).
    void linesChanged();
    void repaintWanted();
    // Clean: the lists are to be freed.
    void cleaned();

private:
    void setMarkPointsMode();
    void setSelectCornersMode();
    void clean();
    QAction* createAction(const QString& text, void (VideoScreenGLInput::*slot)());
    void pickCorner(const QPoint& video);
    bool hover(const QPointF& widgetPosition);

    VideoScreenGL* screen;
    FieldControls* fieldControls;
    MeasureTool* measureTool = nullptr;
    QAction* markAction = nullptr;
    QAction* selectAction = nullptr;
    QAction* cleanAction = nullptr;
    InteractionMode interaction = InteractionMode::MarkPoints;
    int selected = -1;
    QPointF pressPosition;
};
