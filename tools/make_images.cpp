// make_images: draws the program's icons and splash screen into a folder.
// Everything is vector drawing with fixed colours, so the images are the same
// on every build.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>

namespace {

const QColor kSlateLight(0x56, 0x72, 0x94);
const QColor kSlateDark(0x1e, 0x2d, 0x42);
const QColor kGrassLight(0x3f, 0xa8, 0x4e);
const QColor kGrassDark(0x23, 0x74, 0x33);
const QColor kAmberLight(0xfb, 0xc9, 0x4e);
const QColor kAmberDark(0xd8, 0x8a, 0x1c);
const QColor kRedLight(0xe8, 0x5a, 0x4f);
const QColor kRedDark(0xa3, 0x22, 0x1d);
const QColor kMarker(0xff, 0x3b, 0x30);
const QColor kMeasure(0xff, 0xd6, 0x0a);
const QColor kShadow(0, 0, 0, 70);

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void smooth(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// A shape with a soft shadow below it, a top-to-bottom gradient, a darker rim
// and a faint highlight on its upper half: the lighting all icons share.
void litShape(QPainter& p, const QPainterPath& shape, const QColor& top, const QColor& bottom)
{
    const QRectF r = shape.boundingRect();
    const qreal unit = r.height() / 40.0;
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, 22));
        p.drawPath(shape.translated(0, unit * i * 0.6));
    }
    p.setBrush(vertical(r, top, bottom));
    p.setPen(QPen(bottom.darker(140), qMax(1.0, unit * 0.8)));
    p.drawPath(shape);
    QPainterPath upper;
    upper.addRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.48));
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(r, QColor(255, 255, 255, 90), QColor(255, 255, 255, 10)));
    p.drawPath(shape.intersected(upper));
    p.restore();
}

// A white glyph with a thin dark shadow, so it reads on every badge colour.
void glyph(QPainter& p, const QPainterPath& shape, qreal shadowOffset)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(kShadow);
    p.drawPath(shape.translated(0, shadowOffset));
    p.setBrush(Qt::white);
    p.drawPath(shape);
    p.restore();
}

QPainterPath circle(QPointF centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath roundedRect(const QRectF& r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath triangleRight(QPointF centre, qreal size)
{
    // Shifted right a little: a triangle looks centred by its centroid.
    const qreal h = size * 0.5, x = centre.x() + size * 0.12;
    QPainterPath path;
    path.moveTo(x - h * 0.85, centre.y() - h);
    path.lineTo(x + h * 0.95, centre.y());
    path.lineTo(x - h * 0.85, centre.y() + h);
    path.closeSubpath();
    return path;
}

QPainterPath pauseBars(QPointF centre, qreal size)
{
    const qreal w = size * 0.3, h = size, gap = size * 0.22;
    QPainterPath path;
    path.addRoundedRect(
        QRectF(centre.x() - gap / 2 - w, centre.y() - h / 2, w, h), w * 0.2, w * 0.2);
    path.addRoundedRect(QRectF(centre.x() + gap / 2, centre.y() - h / 2, w, h), w * 0.2, w * 0.2);
    return path;
}

// Speed streaks left of a glyph for the tool bar's play/pause pair.
QPainterPath streaks(QPointF centre, qreal size)
{
    QPainterPath path;
    const qreal x = centre.x() - size * 0.95, len = size * 0.38, t = size * 0.1;
    for (int i = -1; i <= 1; ++i) {
        const qreal l = i == 0 ? len : len * 0.7;
        path.addRoundedRect(
            QRectF(x + (len - l), centre.y() + i * size * 0.3 - t / 2, l, t), t / 2, t / 2);
    }
    return path;
}

// Round slate badge of the playback buttons (46 x 47) with a white glyph.
QImage badge(const std::function<QPainterPath(QPointF, qreal)>& draw, bool fast = false)
{
    QImage image = canvas(46, 47);
    QPainter p(&image);
    smooth(p);
    const QPointF c(23, 22.5);
    litShape(p, circle(c, 20.5), kSlateLight, kSlateDark);
    const QPointF at = fast ? c + QPointF(3.5, 0) : c;
    QPainterPath shape = draw(at, 19);
    if (fast)
        shape = shape.united(streaks(at, 19));
    glyph(p, shape, 1.0);
    return image;
}

QPainterPath stepForward(QPointF c, qreal size)
{
    QPainterPath path = triangleRight(c - QPointF(size * 0.18, 0), size * 0.9);
    path.addRoundedRect(QRectF(c.x() + size * 0.36, c.y() - size * 0.45, size * 0.18, size * 0.9),
        size * 0.05, size * 0.05);
    return path;
}

QPainterPath stepBackward(QPointF c, qreal size)
{
    QTransform mirror;
    mirror.translate(c.x(), 0).scale(-1, 1).translate(-c.x(), 0);
    return mirror.map(stepForward(c, size));
}

QPainterPath stopSquare(QPointF c, qreal size)
{
    const qreal s = size * 0.8;
    return roundedRect(QRectF(c.x() - s / 2, c.y() - s / 2, s, s), s * 0.14);
}

// The pitch seen in perspective, fitted into the trapezoid's corners:
// stripes, outline, middle line and centre circle.
struct Pitch
{
    QPointF topLeft, topRight, bottomLeft, bottomRight;
    qreal aspect; // real width over real length, for round circles

    QPointF at(qreal u, qreal v) const // u across 0..1, v from the bottom edge 0 to the top 1
    {
        // Projective spacing along v: the far half looks shorter than the near one.
        const qreal k = (topRight.x() - topLeft.x()) / (bottomRight.x() - bottomLeft.x());
        const qreal w = v / (v + k * (1 - v));
        const QPointF left = bottomLeft + (topLeft - bottomLeft) * w;
        const QPointF right = bottomRight + (topRight - bottomRight) * w;
        return left + (right - left) * u;
    }
};

QPolygonF quad(const Pitch& pitch, qreal u0, qreal v0, qreal u1, qreal v1)
{
    return QPolygonF({ pitch.at(u0, v0), pitch.at(u1, v0), pitch.at(u1, v1), pitch.at(u0, v1) });
}

// A circle on the pitch; radius in units of the pitch length.
QPainterPath ring(const Pitch& pitch, QPointF centre, qreal radius)
{
    const qreal ru = radius / pitch.aspect, rv = radius;
    QPainterPath path;
    constexpr int kSteps = 96;
    for (int i = 0; i <= kSteps; ++i) {
        const qreal a = 2 * M_PI * i / kSteps;
        const QPointF q = pitch.at(centre.x() + ru * std::cos(a), centre.y() + rv * std::sin(a));
        i ? path.lineTo(q) : path.moveTo(q);
    }
    return path;
}

void drawPitch(QPainter& p, const Pitch& pitch, qreal lineWidth, bool stripes = true)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(kGrassLight);
    p.drawPolygon(quad(pitch, 0, 0, 1, 1));
    if (stripes) {
        p.setBrush(QColor(0x37, 0x98, 0x45));
        for (int i = 1; i < 10; i += 2)
            p.drawPolygon(quad(pitch, i / 10.0, 0, (i + 1) / 10.0, 1));
    }
    QPen line(Qt::white, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(quad(pitch, 0, 0, 1, 1));
    p.drawLine(pitch.at(0, 0.5), pitch.at(1, 0.5));
    p.drawPath(ring(pitch, QPointF(0.5, 0.5), 0.135));
    p.restore();
}

void marker(QPainter& p, QPointF at, qreal radius)
{
    p.save();
    p.setPen(QPen(Qt::white, radius * 0.35));
    p.setBrush(kMarker);
    p.drawEllipse(at, radius, radius);
    p.restore();
}

QImage openIcon()
{
    QImage image = canvas(256, 256);
    QPainter p(&image);
    smooth(p);
    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(22, 62);
    back.lineTo(22, 214);
    back.lineTo(234, 214);
    back.lineTo(234, 78);
    back.lineTo(120, 78);
    back.lineTo(104, 56);
    back.lineTo(30, 56);
    back.closeSubpath();
    litShape(p, back, kAmberDark, kAmberDark.darker(130));
    // A video frame standing in the folder.
    const QRectF frame(58, 40, 150, 112);
    litShape(p, roundedRect(frame, 12), kSlateLight, kSlateDark);
    glyph(p, triangleRight(frame.center() - QPointF(0, 8), 56), 2);
    // Front of the folder, leaning forward.
    QPainterPath front;
    front.moveTo(14, 112);
    front.lineTo(242, 112);
    front.lineTo(226, 222);
    front.lineTo(30, 222);
    front.closeSubpath();
    litShape(p, front, kAmberLight, kAmberDark);
    return image;
}

QImage fieldControlsIcon()
{
    QImage image = canvas(256, 256);
    QPainter p(&image);
    smooth(p);
    const Pitch pitch { { 58, 58 }, { 198, 58 }, { 10, 204 }, { 246, 204 }, 1.2 };
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawPolygon(quad(pitch, 0, 0, 1, 1).translated(0, 6));
    drawPitch(p, pitch, 6);
    // The measuring overlay: a line across through a game centre and a ring round it.
    const QPointF centre(0.7, 0.3);
    p.setPen(QPen(kMeasure, 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(pitch.at(0, centre.y()), pitch.at(1, centre.y()));
    p.drawPath(ring(pitch, centre, 0.17));
    for (const QPointF c : { pitch.topLeft, pitch.topRight, pitch.bottomLeft, pitch.bottomRight })
        marker(p, c, 11);
    marker(p, pitch.at(centre.x(), centre.y()), 9);
    return image;
}

QImage videoControlsIcon()
{
    QImage image = canvas(256, 256);
    QPainter p(&image);
    smooth(p);
    const QRectF panel(14, 58, 228, 140);
    litShape(p, roundedRect(panel, 24), kSlateLight, kSlateDark);
    // Progress track with the played part in grass green and a knob.
    const QRectF track(40, 86, 176, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0f, 0x18, 0x24));
    p.drawRoundedRect(track, 8, 8);
    p.setBrush(vertical(track, kGrassLight, kGrassDark));
    p.drawRoundedRect(QRectF(track.left(), track.top(), track.width() * 0.6, track.height()), 8, 8);
    litShape(p, circle(QPointF(track.left() + track.width() * 0.6, track.center().y()), 15),
        Qt::white, QColor(0xc8, 0xd2, 0xdc));
    // Step back, play, step forward.
    glyph(p, stepBackward(QPointF(76, 152), 40), 2);
    glyph(p, triangleRight(QPointF(124, 152), 50), 2);
    glyph(p, stepForward(QPointF(180, 152), 40), 2);
    return image;
}

QImage exitIcon()
{
    QImage image = canvas(128, 128);
    QPainter p(&image);
    smooth(p);
    const QPointF c(64, 61);
    litShape(p, circle(c, 56), kRedLight, kRedDark);
    // Power symbol: an open ring with a bar through its gap.
    QPainterPath arc;
    const QRectF r(c.x() - 28, c.y() - 26, 56, 56);
    arc.arcMoveTo(r, 120);
    arc.arcTo(r, 120, 300);
    QPainterPathStroker stroker;
    stroker.setWidth(11);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath power = stroker.createStroke(arc);
    QPainterPath bar;
    bar.addRoundedRect(QRectF(c.x() - 5.5, c.y() - 38, 11, 38), 5.5, 5.5);
    glyph(p, power.united(bar), 2);
    return image;
}

QImage programIcon()
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    smooth(p);
    litShape(p, roundedRect(QRectF(3, 3, 58, 56), 12), kSlateLight, kSlateDark);
    const Pitch pitch { { 19, 17 }, { 45, 17 }, { 8, 49 }, { 56, 49 }, 1.2 };
    drawPitch(p, pitch, 2.0, false);
    p.setPen(QPen(kMeasure, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ring(pitch, QPointF(0.68, 0.32), 0.2));
    marker(p, pitch.at(0.66, 0.3), 3.2);
    return image;
}

QImage splashScreen()
{
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    smooth(p);
    p.fillRect(
        image.rect(), vertical(image.rect(), QColor(0x0b, 0x15, 0x22), QColor(0x1b, 0x33, 0x4f)));
    // Floodlight glow over the pitch.
    QRadialGradient glow(QPointF(320, 250), 330);
    glow.setColorAt(0, QColor(255, 255, 255, 46));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);

    // Proportioned like a real camera view of a 105 x 68 pitch.
    const Pitch pitch { { 132, 266 }, { 508, 266 }, { 24, 452 }, { 616, 452 }, 105.0 / 68.0 };
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawPolygon(quad(pitch, 0, 0, 1, 1).translated(0, 8));
    drawPitch(p, pitch, 3.5);
    const QPointF centre(0.7, 0.34);
    p.setPen(QPen(kMeasure, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(pitch.at(0, centre.y()), pitch.at(1, centre.y()));
    p.drawPath(ring(pitch, centre, 0.135));
    for (const QPointF c : { pitch.topLeft, pitch.topRight, pitch.bottomLeft, pitch.bottomRight })
        marker(p, c, 7);
    marker(p, pitch.at(centre.x(), centre.y()), 6);

    // The name on the left; the top right stays free for the start-up messages.
    QFont title("DejaVu Sans", 10, QFont::Bold);
    title.setPixelSize(76);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(QPointF(42, 133), "Tarvola");
    p.setPen(Qt::white);
    p.drawText(QPointF(40, 130), "Tarvola");
    QFont subtitle("DejaVu Sans", 10);
    subtitle.setPixelSize(19);
    p.setFont(subtitle);
    p.setPen(QColor(0xb8, 0xcc, 0xe0));
    p.drawText(QPointF(44, 168), "Distances on the pitch, despite perspective");
    p.setPen(QPen(kMeasure, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 186), QPointF(150, 186));
    return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name, const char* format)
{
    QImageWriter writer(dir.filePath(name), format);
    if (writer.write(image.convertToFormat(QImage::Format_ARGB32)))
        return true;
    std::fprintf(stderr, "make_images: cannot write %s: %s\n", qPrintable(dir.filePath(name)),
        qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing needs no screen; fonts come through fontconfig.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_images OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "make_images: cannot create %s\n", argv[1]);
        return 1;
    }
    const QImage icon = programIcon();
    const struct
    {
        const char* name;
        QImage image;
        const char* format;
    } images[] = {
        { "Open.png", openIcon(), "png" },
        { "Play.png", badge(triangleRight), "png" },
        { "Pause.png", badge(pauseBars), "png" },
        { "PlayFast.png", badge(triangleRight, true), "png" },
        { "PauseFast.png", badge(pauseBars, true), "png" },
        { "Stop.png", badge(stopSquare), "png" },
        { "StepForward.png", badge(stepForward), "png" },
        { "StepBackward.png", badge(stepBackward), "png" },
        { "FieldControls.png", fieldControlsIcon(), "png" },
        { "VideoControls.png", videoControlsIcon(), "png" },
        { "Exit.png", exitIcon(), "png" },
        { "TarvolaIcon.png", icon, "png" },
        { "SplashScreen.png", splashScreen(), "png" },
        { "Tarvola.ico", icon, "ico" },
    };
    for (const auto& i : images)
        if (!save(i.image, dir, i.name, i.format))
            return 1;
    return 0;
}
