// Screenshot checks for the display end-to-end tests.
//
//   display_check gl-geometry SHOT CLIP.json        the black (stopped) OpenGL
//       screen, and where the screen places the picture in it
//   display_check plain-geometry SHOT CLIP.json     where the plain screen shows
//       the clip's frame, at its native size
//   display_check clicks GEOMETRY CLIP.json RX RY   screen positions that map
//       to the four corners and to the real pitch point (RX, RY)
//   display_check lines BEFORE AFTER GEOMETRY CLIP.json [options]
//       the pixels that changed between the shots lie on the expected lines
//       (within 2 screen pixels) and cover them; the centre lines are drawn
//       in white, so they are looked for only where the clip is not white
//
// GEOMETRY is a file holding "originX originY scale offsetX offsetY" (and
// for the OpenGL screen its width and height): the
// picture's video pixel (x, y) covers the screen from originX + offsetX +
// x * scale on. Real pitch points map to the picture through the clip's
// homography. Exit code 0 when the check holds, 1 otherwise, 2 on bad input.

#include "ClipGenerator.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Point
{
    double x = 0, y = 0;
};

struct Geometry
{
    double originX = 0, originY = 0, scale = 1, offsetX = 0, offsetY = 0;
};

struct Clip
{
    testclips::ClipSettings clipSettings;
    std::vector<Point> corners; // click order
    cv::Matx33d homography;
};

using Curve = std::vector<Point>; // a polyline in screen pixel coordinates

constexpr int kChangedThreshold = 60; // sum of channel differences
constexpr double kSampleStepPx = 3.0;
constexpr double kSearchPx = 6.0;
constexpr double kToleratedOffsetPx = 2.0;
constexpr double kStrayDistancePx = 5.0;
constexpr double kParallelSine = 0.2; // about 12 degrees

[[noreturn]] void badInput(const std::string& what)
{
    std::fprintf(stderr, "display_check: %s\n", what.c_str());
    std::exit(2);
}

QImage loadShot(const char* path)
{
    QImage image(QString::fromLocal8Bit(path));
    if (image.isNull())
        badInput(std::string("cannot read ") + path);
    return image.convertToFormat(QImage::Format_RGB32);
}

Clip loadClip(const char* path)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly))
        badInput(std::string("cannot read ") + path);
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    Clip clip;
    clip.clipSettings.width = json["width"].toInt();
    clip.clipSettings.height = json["height"].toInt();
    clip.clipSettings.fps = json["fps"].toDouble();
    clip.clipSettings.frames = json["frames"].toInt();
    clip.clipSettings.fieldLength = float(json["fieldLength"].toDouble());
    clip.clipSettings.fieldWidth = float(json["fieldWidth"].toDouble());
    clip.clipSettings.radius = float(json["radius"].toDouble());
    clip.clipSettings.players = json["players"].toInt();
    clip.clipSettings.tilt = json["tilt"].toDouble();
    clip.clipSettings.seed = unsigned(json["seed"].toInt());
    for (const QJsonValue& corner : json["corners"].toArray())
        clip.corners.push_back({ corner[0].toDouble(), corner[1].toDouble() });
    const QJsonArray rows = json["homography"].toArray();
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            clip.homography(r, c) = rows[r][c].toDouble();
    }
    if (clip.corners.size() != 4 || clip.clipSettings.width <= 0)
        badInput(std::string("not a clip description: ") + path);
    return clip;
}

Geometry loadGeometry(const char* path)
{
    Geometry g;
    FILE* file = std::fopen(path, "r");
    if (!file
        || std::fscanf(file, "%lf %lf %lf %lf %lf", &g.originX, &g.originY, &g.scale, &g.offsetX,
               &g.offsetY)
            != 5)
        badInput(std::string("cannot read geometry ") + path);
    std::fclose(file);
    return g;
}

Point realToVideo(const Clip& clip, double realX, double realY)
{
    const cv::Vec3d p = clip.homography * cv::Vec3d(realX, realY, 1.0);
    return { p[0] / p[2], p[1] / p[2] };
}

// Centre of the screen pixel area that shows video coordinate v, in screen
// pixel-index coordinates (pixel i spans i - 0.5 to i + 0.5).
Point videoToScreen(const Geometry& g, Point v)
{
    return { g.originX + g.offsetX + (v.x + 0.5) * g.scale - 0.5,
        g.originY + g.offsetY + (v.y + 0.5) * g.scale - 0.5 };
}

Curve realLine(const Clip& clip, const Geometry& g, Point from, Point to)
{
    Curve curve;
    constexpr int kPieces = 64;
    for (int i = 0; i <= kPieces; ++i) {
        const double t = double(i) / kPieces;
        curve.push_back(videoToScreen(
            g, realToVideo(clip, from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t)));
    }
    return curve;
}

Curve realCircle(const Clip& clip, const Geometry& g, Point centre, double radius)
{
    Curve curve;
    constexpr int kPieces = 256;
    for (int i = 0; i <= kPieces; ++i) {
        const double a = 2.0 * M_PI * i / kPieces;
        curve.push_back(videoToScreen(g,
            realToVideo(clip, centre.x + radius * std::cos(a), centre.y + radius * std::sin(a))));
    }
    return curve;
}

// The outline and the grid at a quarter, a half and three quarters of the
// length and at a third and two thirds of the width.
std::vector<Curve> fieldCurves(const Clip& clip, const Geometry& g)
{
    const double w = clip.clipSettings.fieldWidth, l = clip.clipSettings.fieldLength;
    std::vector<Curve> curves;
    const std::vector<std::pair<Point, Point>> lines { { { 0, 0 }, { w, 0 } },
        { { 0, l }, { w, l } }, { { 0, 0 }, { 0, l } }, { { w, 0 }, { w, l } },
        { { 0, l / 4 }, { w, l / 4 } }, { { 0, l / 2 }, { w, l / 2 } },
        { { 0, 3 * l / 4 }, { w, 3 * l / 4 } }, { { w / 3, 0 }, { w / 3, l } },
        { { 2 * w / 3, 0 }, { 2 * w / 3, l } } };
    for (const auto& [from, to] : lines)
        curves.push_back(realLine(clip, g, from, to));
    return curves;
}

// The line across the pitch through the centre and the circle round it.
std::vector<Curve> centreCurves(const Clip& clip, const Geometry& g, Point centre)
{
    return { realLine(clip, g, { 0, centre.y }, { clip.clipSettings.fieldWidth, centre.y }),
        realCircle(clip, g, centre, clip.clipSettings.radius) };
}

double distanceToSegment(Point p, Point a, Point b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// The distance to the nearest segment of the curve; its direction (a unit
// vector) in *direction when given.
double distanceToCurve(Point p, const Curve& curve, Point* direction = nullptr)
{
    double best = 1e9;
    for (size_t i = 1; i < curve.size(); ++i) {
        const double d = distanceToSegment(p, curve[i - 1], curve[i]);
        if (d < best) {
            best = d;
            if (direction) {
                const double dx = curve[i].x - curve[i - 1].x, dy = curve[i].y - curve[i - 1].y;
                const double length = std::max(std::hypot(dx, dy), 1e-9);
                *direction = { dx / length, dy / length };
            }
        }
    }
    return best;
}

bool changed(const QImage& before, const QImage& after, int x, int y)
{
    const QRgb a = before.pixel(x, y), b = after.pixel(x, y);
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
        + std::abs(qBlue(a) - qBlue(b))
        > kChangedThreshold;
}

bool isWhite(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return std::min({ qRed(p), qGreen(p), qBlue(p) }) > 200;
}

// Whether the clip shows white within 2 pixels across the line at p.
bool onWhite(const QImage& before, Point p, Point normal)
{
    for (double d = -2.0; d <= 2.0; d += 0.5) {
        const int x = int(std::lround(p.x + normal.x * d));
        const int y = int(std::lround(p.y + normal.y * d));
        if (x >= 0 && y >= 0 && x < before.width() && y < before.height() && isWhite(before, x, y))
            return true;
    }
    return false;
}

struct Area
{
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // inclusive start, exclusive end

    bool contains(double x, double y) const { return x >= x0 && y >= y0 && x < x1 && y < y1; }
};

struct Options
{
    std::vector<Curve> allowed; // lines that may change
    std::vector<size_t> required; // indices of those that must be drawn
    std::vector<bool> white; // drawn in white: cannot show on the clip's white lines
    std::optional<Area> excluded;
    Area picture;
};

// Whether p on line index lies where another line crosses it: crossings
// say nothing about this line. A line that runs along it (the grid's middle
// line and the line through the true centre) belongs at the same place.
bool atCrossing(Point p, Point tangent, size_t index, const Options& options)
{
    for (size_t k = 0; k < options.allowed.size(); ++k) {
        Point other;
        if (k != index && distanceToCurve(p, options.allowed[k], &other) < 2 * kSearchPx
            && std::abs(tangent.x * other.y - tangent.y * other.x) > kParallelSine)
            return true;
    }
    return false;
}

// The mean offset across the line of the changed pixels in a strip two
// pixels wide across it at p (a thin stepped line always leaves at least one
// pixel in it); nothing when none changed.
std::optional<double> changedOffset(
    const QImage& before, const QImage& after, Point p, Point tangent, Point normal)
{
    double offsetSum = 0.0;
    int count = 0;
    const int reach = int(std::ceil(kSearchPx)) + 1;
    for (int y = int(p.y) - reach; y <= int(p.y) + reach; ++y) {
        for (int x = int(p.x) - reach; x <= int(p.x) + reach; ++x) {
            const double along = (x - p.x) * tangent.x + (y - p.y) * tangent.y;
            const double across = (x - p.x) * normal.x + (y - p.y) * normal.y;
            if (std::abs(along) > 1.0 || std::abs(across) > kSearchPx || x < 0 || y < 0
                || x >= after.width() || y >= after.height() || !changed(before, after, x, y))
                continue;
            offsetSum += across;
            ++count;
        }
    }
    if (count == 0)
        return std::nullopt;
    return offsetSum / count;
}

// Along one required line, every few pixels: changed pixels must be found
// across it, and their mean offset from it must be small.
bool checkCurve(const QImage& before, const QImage& after, size_t index, const Options& options)
{
    const Curve& curve = options.allowed[index];
    int samples = 0, covered = 0, offCentre = 0;
    double worst = 0.0, sum = 0.0;
    for (size_t i = 1; i < curve.size(); ++i) {
        const Point a = curve[i - 1], b = curve[i];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const Point tangent { (b.x - a.x) / length, (b.y - a.y) / length };
        const Point normal { -tangent.y, tangent.x };
        for (double s = 0; length > 0.0 && s < length; s += kSampleStepPx) {
            const Point p { a.x + tangent.x * s, a.y + tangent.y * s };
            if (!options.picture.contains(p.x, p.y)
                || (options.excluded && options.excluded->contains(p.x, p.y))
                || atCrossing(p, tangent, index, options)
                || (options.white[index] && onWhite(before, p, normal)))
                continue;
            ++samples;
            const std::optional<double> offset = changedOffset(before, after, p, tangent, normal);
            if (!offset)
                continue;
            ++covered;
            worst = std::max(worst, std::abs(*offset));
            sum += std::abs(*offset);
            offCentre += std::abs(*offset) > kToleratedOffsetPx;
        }
    }
    const double mean = covered ? sum / covered : 0.0;
    std::printf("line %zu: %d samples, %d drawn, mean offset %.2f px, worst %.2f px, %d beyond "
                "%.0f px\n",
        index, samples, covered, mean, worst, offCentre, kToleratedOffsetPx);
    return samples >= 5 && covered >= samples * 0.9 && offCentre <= samples / 20
        && mean <= kToleratedOffsetPx;
}

// The clip's own white outline where the geometry expects it: otherwise the
// clicks and the expected lines would share one mistake.
bool checkClipOutline(const QImage& before, const Options& options, size_t first)
{
    int samples = 0, white = 0;
    for (size_t k = first; k < first + 4; ++k) {
        const Curve& curve = options.allowed[k];
        for (size_t i = 0; i < curve.size(); i += 2) {
            const Point p = curve[i];
            if (!options.picture.contains(p.x, p.y)
                || (options.excluded && options.excluded->contains(p.x, p.y)))
                continue;
            ++samples;
            bool found = false;
            for (int dy = -2; dy <= 2 && !found; ++dy) {
                for (int dx = -2; dx <= 2 && !found; ++dx)
                    found = isWhite(before, int(std::lround(p.x)) + dx, int(std::lround(p.y)) + dy);
            }
            white += found;
        }
    }
    std::printf("clip outline: %d of %d samples white\n", white, samples);
    return samples > 0 && white >= samples * 9 / 10;
}

// Changed pixels far from every allowed line: drawn where nothing belongs.
bool checkStray(const QImage& before, const QImage& after, const Options& options)
{
    long changedCount = 0, stray = 0;
    for (int y = options.picture.y0; y < options.picture.y1; ++y) {
        for (int x = options.picture.x0; x < options.picture.x1; ++x) {
            if ((options.excluded && options.excluded->contains(x, y))
                || !changed(before, after, x, y))
                continue;
            ++changedCount;
            double nearest = 1e9;
            for (const Curve& curve : options.allowed)
                nearest = std::min(nearest, distanceToCurve({ double(x), double(y) }, curve));
            stray += nearest > kStrayDistancePx;
        }
    }
    std::printf("%ld changed pixels, %ld away from the lines\n", changedCount, stray);
    return changedCount > 0 && stray <= 20 + changedCount / 200;
}

Area pictureArea(const Clip& clip, const Geometry& g)
{
    const int x0 = int(g.originX + g.offsetX), y0 = int(g.originY + g.offsetY);
    return { x0, y0, x0 + int(clip.clipSettings.width * g.scale), y0 + int(clip.clipSettings.height * g.scale) };
}

void addCurves(Options& options, const std::vector<Curve>& curves, bool required, bool white)
{
    for (const Curve& curve : curves) {
        if (required)
            options.required.push_back(options.allowed.size());
        options.allowed.push_back(curve);
        options.white.push_back(white);
    }
}

int commandLines(int argc, char** argv)
{
    if (argc < 6)
        badInput("lines BEFORE AFTER GEOMETRY CLIP.json [--field] [--centre RX RY] "
                 "[--old-centre RX RY] [--exclude X Y W H]");
    const QImage before = loadShot(argv[2]), after = loadShot(argv[3]);
    const Geometry g = loadGeometry(argv[4]);
    const Clip clip = loadClip(argv[5]);
    Options options;
    options.picture = pictureArea(clip, g);
    bool fieldRequired = false;
    for (int i = 6; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--field") {
            fieldRequired = true;
        } else if ((option == "--centre" || option == "--old-centre") && i + 2 < argc) {
            const Point centre { std::atof(argv[i + 1]), std::atof(argv[i + 2]) };
            addCurves(options, centreCurves(clip, g, centre), option == "--centre", true);
            i += 2;
        } else if (option == "--exclude" && i + 4 < argc) {
            const int x = std::atoi(argv[i + 1]), y = std::atoi(argv[i + 2]);
            options.excluded
                = Area { x, y, x + std::atoi(argv[i + 3]), y + std::atoi(argv[i + 4]) };
            i += 4;
        } else {
            badInput("unknown option " + option);
        }
    }
    const size_t outline = options.allowed.size();
    addCurves(options, fieldCurves(clip, g), fieldRequired, false);
    bool ok = checkClipOutline(before, options, outline);
    ok &= checkStray(before, after, options);
    for (size_t index : options.required)
        ok &= checkCurve(before, after, index, options);
    std::printf("%s\n", ok ? "lines: ok" : "lines: FAILED");
    return ok ? 0 : 1;
}

// The largest area of black pixels: the OpenGL screen while stopped.
Area largestBlackArea(const QImage& shot)
{
    const int w = shot.width(), h = shot.height();
    auto black = [&](int x, int y) {
        const QRgb p = shot.pixel(x, y);
        return qRed(p) + qGreen(p) + qBlue(p) <= 6;
    };
    std::vector<char> seen(size_t(w) * size_t(h), 0);
    Area best;
    long bestCount = 0;
    std::vector<std::pair<int, int>> stack;
    for (int y0 = 0; y0 < h; ++y0) {
        for (int x0 = 0; x0 < w; ++x0) {
            if (seen[size_t(y0) * w + x0] || !black(x0, y0))
                continue;
            Area area { x0, y0, x0 + 1, y0 + 1 };
            long count = 0;
            stack.assign(1, { x0, y0 });
            seen[size_t(y0) * w + x0] = 1;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++count;
                area = { std::min(area.x0, x), std::min(area.y0, y), std::max(area.x1, x + 1),
                    std::max(area.y1, y + 1) };
                const int next[4][2] = { { x + 1, y }, { x - 1, y }, { x, y + 1 }, { x, y - 1 } };
                for (const auto& n : next) {
                    if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h)
                        continue;
                    char& mark = seen[size_t(n[1]) * w + n[0]];
                    if (!mark && black(n[0], n[1])) {
                        mark = 1;
                        stack.push_back({ n[0], n[1] });
                    }
                }
            }
            if (count > bestCount) {
                bestCount = count;
                best = area;
            }
        }
    }
    const long areaSize = long(best.x1 - best.x0) * (best.y1 - best.y0);
    if (bestCount == 0 || bestCount < areaSize * 98 / 100)
        badInput("no black screen rectangle in the shot");
    return best;
}

// The fit of the picture into the OpenGL screen, computed as the screen does.
int commandGlGeometry(int argc, char** argv)
{
    if (argc != 4)
        badInput("gl-geometry SHOT CLIP.json");
    const Area screen = largestBlackArea(loadShot(argv[2]));
    const Clip clip = loadClip(argv[3]);
    const float w = float(screen.x1 - screen.x0), h = float(screen.y1 - screen.y0);
    const float iw = float(clip.clipSettings.width), ih = float(clip.clipSettings.height);
    const float scale = (w / h > iw / ih) ? h / ih : w / iw;
    const int offsetY = int(int(h - ih * scale) * 0.5);
    const int offsetX = int(int(w - iw * scale) * 0.5);
    std::printf("%d %d %.9g %d %d %d %d\n", screen.x0, screen.y0, double(scale), offsetX, offsetY,
        screen.x1 - screen.x0, screen.y1 - screen.y0);
    std::fprintf(stderr, "screen %gx%g at %d,%d\n", double(w), double(h), screen.x0, screen.y0);
    return 0;
}

// Where the plain screen shows the clip's frame: the position at which
// nearly all of the frame's pixels match (the players move).
int commandPlainGeometry(int argc, char** argv)
{
    if (argc != 4)
        badInput("plain-geometry SHOT CLIP.json");
    const QImage shot = loadShot(argv[2]);
    const Clip clip = loadClip(argv[3]);
    const cv::Mat frame = testclips::renderFrame(clip.clipSettings, 0);
    auto same = [&](int sx, int sy, int fx, int fy) {
        const QRgb p = shot.pixel(sx, sy);
        const cv::Vec3b q = frame.at<cv::Vec3b>(fy, fx);
        return qRed(p) == q[2] && qGreen(p) == q[1] && qBlue(p) == q[0];
    };
    // The share of the frame's pixels, on a grid of step, that the shot
    // shows with the frame at (x, y).
    auto equalShare = [&](int x, int y, int step) {
        long equal = 0, all = 0;
        for (int fy = step / 2; fy < frame.rows; fy += step) {
            for (int fx = step / 2; fx < frame.cols; fx += step, ++all)
                equal += same(x + fx, y + fy, fx, fy);
        }
        return double(equal) / double(std::max(all, 1L));
    };
    const int coarseStep = std::max(1, std::min(frame.rows, frame.cols) / 8);
    // The pitch is mostly even colours and stripes, so the frame shifted a
    // little along them still matches well: take the best position, not
    // the first good one.
    constexpr int kProbeStep = 3;
    double best = -1.0;
    int bestX = -1, bestY = -1;
    for (int y = 0; y + frame.rows <= shot.height(); ++y) {
        for (int x = 0; x + frame.cols <= shot.width(); ++x) {
            if (equalShare(x, y, coarseStep) < 0.75)
                continue;
            const double equal = equalShare(x, y, kProbeStep);
            if (equal > best) {
                best = equal;
                bestX = x;
                bestY = y;
            }
        }
    }
    if (best < 0 || equalShare(bestX, bestY, 1) < 0.9)
        badInput("the clip's frame is not in the shot");
    std::printf("%d %d 1 0 0\n", bestX, bestY);
    return 0;
}

// Whether the OpenGL screen shows the clip's first frame where the geometry
// puts it: nearly all frame pixels (on a grid) are seen exactly at the
// centre of their screen area.
int commandGlFrame(int argc, char** argv)
{
    if (argc != 5)
        badInput("gl-frame SHOT CLIP.json GEOMETRY");
    const QImage shot = loadShot(argv[2]);
    const Clip clip = loadClip(argv[3]);
    const Geometry g = loadGeometry(argv[4]);
    const cv::Mat frame = testclips::renderFrame(clip.clipSettings, 0);
    constexpr int kGridStep = 3;
    long equal = 0, all = 0;
    for (int fy = 1; fy < frame.rows; fy += kGridStep) {
        for (int fx = 1; fx < frame.cols; fx += kGridStep, ++all) {
            const Point p = videoToScreen(g, { double(fx), double(fy) });
            const int sx = int(std::lround(p.x)), sy = int(std::lround(p.y));
            if (!shot.rect().contains(sx, sy))
                continue;
            const QRgb s = shot.pixel(sx, sy);
            const cv::Vec3b q = frame.at<cv::Vec3b>(fy, fx);
            equal += qRed(s) == q[2] && qGreen(s) == q[1] && qBlue(s) == q[0];
        }
    }
    const double share = double(equal) / double(std::max(all, 1L));
    std::printf("first frame: %.3f of its pixels on screen\n", share);
    return share >= 0.9 ? 0 : 1;
}

// A screen coordinate that the screen maps back to exactly video coordinate v.
int exactScreenCoordinate(int v, double scale, double offset)
{
    const float s = float(scale);
    for (int w = int(std::floor(v * scale)) - 1; w <= int(std::ceil(v * scale)) + 2; ++w) {
        if (int(float(w) / s) == v)
            return int(offset) + w;
    }
    badInput("no screen pixel maps to video coordinate " + std::to_string(v));
}

int commandClicks(int argc, char** argv)
{
    if (argc < 4 || argc % 2 != 0)
        badInput("clicks GEOMETRY CLIP.json [RX RY]...");
    const Geometry g = loadGeometry(argv[2]);
    const Clip clip = loadClip(argv[3]);
    std::vector<Point> targets = clip.corners;
    for (int i = 4; i + 1 < argc; i += 2) {
        const Point v = realToVideo(clip, std::atof(argv[i]), std::atof(argv[i + 1]));
        targets.push_back({ std::round(v.x), std::round(v.y) });
    }
    for (const Point& t : targets) {
        std::printf("%d %d\n", int(g.originX) + exactScreenCoordinate(int(t.x), g.scale, g.offsetX),
            int(g.originY) + exactScreenCoordinate(int(t.y), g.scale, g.offsetY));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        badInput("usage: display_check gl-geometry|gl-frame|plain-geometry|clicks|lines ...");
    const std::string command = argv[1];
    if (command == "lines")
        return commandLines(argc, argv);
    if (command == "gl-geometry")
        return commandGlGeometry(argc, argv);
    if (command == "plain-geometry")
        return commandPlainGeometry(argc, argv);
    if (command == "clicks")
        return commandClicks(argc, argv);
    if (command == "gl-frame")
        return commandGlFrame(argc, argv);
    badInput("unknown command " + command);
}
