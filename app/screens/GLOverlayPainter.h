#pragma once

#include "screens/InteractionMode.h"

#include <QColor>
#include <QRect>
#include <QPointF>
#include <QSize>

#include <functional>

class FieldControls;
class QPainter;

// What the OpenGL screen draws over the picture: the pitch lines and corner
// markers (display lists, rebuilt only when the corners, the line colour or
// the line width change), the lines through and round the game centre (sent
// with every paint, they follow every click), where snapping moved a corner
// from its click, the corner being dragged, and a tip that asks for the four
// corners in turn. Every OpenGL call needs the screen's context current.
class GLOverlayPainter
{
public:
    // The widget position of the centre of a video pixel.
    using ToWidget = std::function<QPointF(int x, int y)>;

    GLOverlayPainter(FieldControls* fieldControls, ToWidget toWidget);

    // Saves the OpenGL state and makes one unit one widget pixel, y growing
    // downwards; endWidgetPixels restores what begin saved.
    static void beginWidgetPixels(int width, int height);
    static void endWidgetPixels();

    // The tip's HTML for the corners still to be clicked; empty when none.
    static QString tipHtml(int remainingCorners, InteractionMode mode);

    // The lists are compiled at the next paint.
    void invalidate() { listsStale = true; }
    // Frees the lists and does not compile them again until invalidated.
    void clear();
    void deleteLists();

    // Where the picture lies in the widget, and device pixels per widget pixel.
    struct Clip
    {
        QRect picture;
        double pixelRatio = 1.0;
    };

    // Compiles stale lists and draws the lines, markers and corners, on the
    // picture only.
    void draw(QSize widget, bool showCorners, int selectedCorner, InteractionMode mode,
        const Clip& clip);
    void drawTip(QPainter& painter, QSize widget, InteractionMode mode) const;

    QColor fieldColour() const { return fieldLinesColour; }
    QColor centreColour() const { return centreLinesColour; }
    int fieldWidth() const { return fieldWidthPx; }
    int centreWidth() const { return centreWidthPx; }
    void setFieldColour(const QColor& colour) { fieldLinesColour = colour; }
    void setCentreColour(const QColor& colour) { centreLinesColour = colour; }
    void setFieldWidth(int widthPx) { fieldWidthPx = widthPx; }
    void setCentreWidth(int widthPx) { centreWidthPx = widthPx; }

private:
    static void clipTo(QSize widget, const Clip& clip);
    void drawCentreLines() const;
    void drawSelectedCorner(int selectedCorner) const;
    void drawSnapMoves() const;
    void compileLists();
    void compileFieldLinesList();
    void compileCornersList();

    FieldControls* fieldControls;
    ToWidget toWidget;
    QColor fieldLinesColour;
    QColor centreLinesColour;
    int fieldWidthPx = 0;
    int centreWidthPx = 0;
    unsigned fieldLinesList = 0;
    unsigned cornersList = 0;
    // The lists are compiled in the paint path, where the context is current.
    bool listsStale = false;
};
