#include "screens/GLOverlayPainter.h"

#include "calibration/FieldControls.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTextDocument>

#include <GL/gl.h>

#include <cmath>
#include <map>
#include <utility>

namespace {

constexpr int kTipMarginPx = 23;
constexpr int kTipPaddingPx = 6;
constexpr float kEndPointSizePx = 2.0f;
constexpr float kCornerSizePx = 8.0f;
constexpr float kSelectedCornerSizePx = 4.0f;
constexpr double kDepthRange = 10.0;
constexpr float kSnapLineWidthPx = 1.0f;
constexpr float kSnappedCornerSizePx = 6.0f;

const QColor kInitialFieldLinesColour(100, 100, 191, 150);
const QColor kInitialCentreLinesColour(255, 255, 255, 100);
const QColor kMarkerColour(200, 50, 50, 150);
const QColor kSelectedCornerColour(255, 255, 0, 200);
const QColor kSnapColour(255, 255, 0, 220);

void glColour(const QColor& colour)
{
    glColor4ub(GLubyte(colour.red()), GLubyte(colour.green()), GLubyte(colour.blue()),
        GLubyte(colour.alpha()));
}

QString tr(const char* text) { return QCoreApplication::translate("VideoScreenGL", text); }

// Where the painted lines end. Through a lens the engine gives each line as
// a chain of short segments, whose inner joints are no ends.
std::vector<QPoint> lineEnds(const std::vector<FieldLine>& lines, bool chained)
{
    std::vector<QPoint> ends;
    for (const FieldLine& line : lines) {
        ends.emplace_back(line.x1, line.y1);
        ends.emplace_back(line.x2, line.y2);
    }
    if (!chained)
        return ends;
    std::map<std::pair<int, int>, int> uses;
    for (const QPoint& end : ends)
        ++uses[{ end.x(), end.y() }];
    std::vector<QPoint> loose;
    for (const QPoint& end : ends) {
        if (uses[{ end.x(), end.y() }] == 1)
            loose.push_back(end);
    }
    return loose;
}

} // namespace

GLOverlayPainter::GLOverlayPainter(FieldControls* fieldControls, ToWidget toWidget)
    : fieldControls(fieldControls)
    , toWidget(std::move(toWidget))
    , fieldLinesColour(kInitialFieldLinesColour)
    , centreLinesColour(kInitialCentreLinesColour)
    , fieldWidthPx(fieldControls->fieldLinesThickness())
    , centreWidthPx(fieldControls->centreLinesThickness())
{ }

void GLOverlayPainter::beginWidgetPixels(int width, int height)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -kDepthRange, kDepthRange);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void GLOverlayPainter::endWidgetPixels()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

QString GLOverlayPainter::tipHtml(int remainingCorners, InteractionMode mode)
{
    if (remainingCorners <= 0)
        return QString();
    QString html = QStringLiteral(R"(<h3 align="center">Tip</h3><p align="center">)");
    if (mode == InteractionMode::SelectCorners)
        return html + tr("Right click on the image and select Mark.");
    switch (remainingCorners) {
    case 4:
        return html + tr("Click on the<br> <b>top left corner</b><br>of the football field.");
    case 3:
        return html + tr("Click on the <br><b>top right corner </b><br>of the football field.");
    case 2:
        return html + tr("Click on the <br><b>bottom left corner </b><br>of the football field.");
    default:
        return html + tr("Click on the <br><b>bottom right corner </b><br>of the football field.");
    }
}

void GLOverlayPainter::clear()
{
    deleteLists();
    listsStale = false;
}

void GLOverlayPainter::deleteLists()
{
    if (fieldLinesList != 0)
        glDeleteLists(fieldLinesList, 1);
    if (cornersList != 0)
        glDeleteLists(cornersList, 1);
    fieldLinesList = 0;
    cornersList = 0;
}

void GLOverlayPainter::drawTip(QPainter& painter, QSize widget, InteractionMode mode) const
{
    const QString html = tipHtml(fieldControls->remainingCorners(), mode);
    if (html.isEmpty())
        return;
    QTextDocument document;
    document.setDefaultStyleSheet(QStringLiteral("* { color: #FFFFAA }"));
    document.setHtml(html);
    document.setTextWidth(document.size().width());
    const QSize size = document.size().toSize();
    painter.save();
    painter.translate(widget.width() - size.width() - kTipMarginPx,
        widget.height() - size.height() - kTipMarginPx);
    painter.setPen(QColor(255, 239, 239, 255));
    painter.setBrush(QColor(255, 0, 0, 31));
    painter.drawRect(0, 0, size.width() + 2 * kTipPaddingPx, size.height() + 2 * kTipPaddingPx);
    painter.translate(kTipPaddingPx, kTipPaddingPx);
    document.drawContents(&painter);
    painter.restore();
}

void GLOverlayPainter::draw(
    QSize widget, bool showCorners, int selectedCorner, InteractionMode mode, const Clip& clip)
{
    if (listsStale)
        compileLists();
    beginWidgetPixels(widget.width(), widget.height());
    clipTo(widget, clip);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_MULTISAMPLE);

    if (fieldLinesList != 0)
        glCallList(fieldLinesList);
    if (showCorners && cornersList != 0)
        glCallList(cornersList);
    drawCentreLines();
    drawSnapMoves();
    if (selectedCorner >= 0 && mode == InteractionMode::SelectCorners)
        drawSelectedCorner(selectedCorner);

    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_SCISSOR_TEST);
    endWidgetPixels();
}

// OpenGL counts the scissor box in device pixels from the bottom left.
void GLOverlayPainter::clipTo(QSize widget, const Clip& clip)
{
    const double r = clip.pixelRatio;
    const QRect& p = clip.picture;
    glEnable(GL_SCISSOR_TEST);
    glScissor(GLint(std::lround(p.x() * r)),
        GLint(std::lround((widget.height() - p.y() - p.height()) * r)),
        GLsizei(std::lround(p.width() * r)), GLsizei(std::lround(p.height() * r)));
}

void GLOverlayPainter::drawCentreLines() const
{
    glColour(centreLinesColour);
    glLineWidth(GLfloat(centreWidthPx));
    glBegin(GL_LINES);
    for (const FieldLine& line : fieldControls->centreLines()) {
        const QPointF start = toWidget(line.x1, line.y1);
        const QPointF end = toWidget(line.x2, line.y2);
        glVertex3d(start.x(), start.y(), 0.0);
        glVertex3d(end.x(), end.y(), 0.0);
    }
    glEnd();
}

// A thin line from each click to the corner it snapped to, and a dot there.
void GLOverlayPainter::drawSnapMoves() const
{
    const std::vector<QLineF> moves = fieldControls->snapMoves();
    if (moves.empty())
        return;
    glColour(kSnapColour);
    glLineWidth(kSnapLineWidthPx);
    glBegin(GL_LINES);
    for (const QLineF& move : moves) {
        const QPointF from = toWidget(int(move.x1()), int(move.y1()));
        const QPointF to = toWidget(int(move.x2()), int(move.y2()));
        glVertex3d(from.x(), from.y(), 0.0);
        glVertex3d(to.x(), to.y(), 0.0);
    }
    glEnd();
    glEnable(GL_POINT_SMOOTH);
    glPointSize(kSnappedCornerSizePx);
    glBegin(GL_POINTS);
    for (const QLineF& move : moves) {
        const QPointF to = toWidget(int(move.x2()), int(move.y2()));
        glVertex3d(to.x(), to.y(), 0.0);
    }
    glEnd();
    glDisable(GL_POINT_SMOOTH);
}

void GLOverlayPainter::drawSelectedCorner(int selectedCorner) const
{
    const QPoint corner = fieldControls->corners()[selectedCorner];
    const QPointF at = toWidget(corner.x(), corner.y());
    glEnable(GL_POINT_SMOOTH);
    glColour(kSelectedCornerColour);
    glPointSize(kSelectedCornerSizePx);
    glBegin(GL_POINTS);
    glVertex3d(at.x(), at.y(), 0.0);
    glEnd();
    glDisable(GL_POINT_SMOOTH);
}

void GLOverlayPainter::compileLists()
{
    glShadeModel(GL_FLAT);
    compileFieldLinesList();
    compileCornersList();
    listsStale = false;
}

void GLOverlayPainter::compileFieldLinesList()
{
    if (fieldLinesList != 0)
        glDeleteLists(fieldLinesList, 1);
    fieldLinesList = glGenLists(1);
    glNewList(fieldLinesList, GL_COMPILE);
    const std::vector<FieldLine>& lines = fieldControls->fieldLines();
    glColour(fieldLinesColour);
    glLineWidth(GLfloat(fieldWidthPx));
    glBegin(GL_LINES);
    for (const FieldLine& line : lines) {
        const QPointF start = toWidget(line.x1, line.y1);
        const QPointF end = toWidget(line.x2, line.y2);
        glVertex3d(start.x(), start.y(), 0.0);
        glVertex3d(end.x(), end.y(), 0.0);
    }
    glEnd();
    glEnable(GL_POINT_SMOOTH);
    glColour(kMarkerColour);
    glPointSize(kEndPointSizePx);
    glBegin(GL_POINTS);
    for (const QPoint& end : lineEnds(lines, !fieldControls->lens().isPinhole())) {
        const QPointF at = toWidget(end.x(), end.y());
        glVertex3d(at.x(), at.y(), 0.0);
    }
    glEnd();
    glEndList();
}

void GLOverlayPainter::compileCornersList()
{
    if (cornersList != 0)
        glDeleteLists(cornersList, 1);
    cornersList = glGenLists(1);
    glNewList(cornersList, GL_COMPILE);
    glEnable(GL_POINT_SMOOTH);
    glColour(kMarkerColour);
    glPointSize(kCornerSizePx);
    glBegin(GL_POINTS);
    // Only the corners clicked so far: the others are placeholders.
    const std::vector<QPoint> corners = fieldControls->corners();
    const int given = FieldControls::kCornerCount - fieldControls->remainingCorners();
    for (int i = 0; i < given; ++i) {
        const QPointF at = toWidget(corners[i].x(), corners[i].y());
        glVertex3d(at.x(), at.y(), 0.0);
    }
    glEnd();
    glDisable(GL_POINT_SMOOTH);
    glEndList();
}
