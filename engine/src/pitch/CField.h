#pragma once

#include "VistrelInterface.h"
#include "pitch/CLensModel.h"

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The pitch model: four picture corners, the real dimensions, the perspective
// transform between the picture and the normalised field plane (bottom edge
// at y = 0, top edge at y = 1, one unit = one pitch length), and the overlay
// built on it.
//
// No lock of its own: the engine serialises every call with its mutex.
class CField
{
public:
    CField();
    virtual ~CField();

    // Corner clicks: edge 0 top, 1 bottom. Returns the top points still
    // missing. The fourth accepted corner computes the perspective.
    int AddPoint(int edge, int x, int y);
    void ClearPoints();
    int SetGameCentre(int x, int y);
    // 0 done; -1 when the corners are incomplete or cannot define a
    // perspective (two equal, three on one line).
    int ComputePerspective();
    // Homogeneous mappings in single precision. A point on the horizon maps
    // to infinity, never to NaN.
    cv::Point2f PictureToField(cv::Point2f picture) const;
    cv::Point2f FieldToPicture(cv::Point2f field) const;

    float getWidth() const { return width; }
    void setWidth(float value) { width = value; }
    float getLength() const { return length; }
    void setLength(float value) { length = value; }
    float getRadius() const { return radius; }
    void setRadius(float value) { radius = value; }
    int getTopPointsLeft() const { return topPointsLeft; }
    void setTopPointsLeft(int value) { topPointsLeft = value; }
    int getBottomPointsLeft() const { return bottomPointsLeft; }
    void setBottomPointsLeft(int value) { bottomPointsLeft = value; }
    void SetDrawLines(bool value) { drawLines = value; }
    // The four corners in click order (top left, top right, bottom left,
    // bottom right) once both edges hold their points, as clicked.
    std::optional<std::array<cv::Point2f, 4>> getCorners() const;

    // The lens every picture point goes through: clicks and the game centre
    // are undistorted before the perspective, projected points distorted
    // after it, and with a lens the overlay is drawn as curves. Setting it
    // keeps the corners' picture points and recomputes the perspective.
    void SetLens(const CLensModel& value);
    const CLensModel& getLens() const { return lens; }
    // Calibrates from corners a fit produced, in ideal (undistorted) picture
    // coordinates in click order; they may lie outside the picture. Replaces
    // any clicks. 0, or -1 (no calibration) when they define no perspective.
    int SetFittedCorners(const std::array<cv::Point2d, 4>& ideal);
    bool hasFittedCorners() const { return fittedCorners; }
    // The four corners in ideal picture coordinates, double, click order,
    // once both edges hold their points.
    std::optional<std::array<cv::Point2d, 4>> getIdealCorners() const;

    // Overlay.
    int UpdateCentreGeometry(int x, int y);
    int Draw(const cv::Mat& frame);
    // Channel order of an image DrawOnto marks.
    enum class ChannelOrder { Bgr, Rgb };
    // Marks image in place as Draw marks its copy of a frame, for a caller
    // that owns a copy already; the overlay image keeps what it held. With
    // Rgb the same colours are written for an image in R, G, B order.
    int DrawOnto(cv::Mat& image, ChannelOrder order = ChannelOrder::Bgr);
    int DrawPoints();
    void DrawLines();
    void BuildLineLists();
    std::vector<FieldLine> GetFieldLines();
    std::vector<FieldLine> GetCentreLines();
    const cv::Mat& getOverlayImage() const { return overlayImage; }

    bool isCalibrated() const { return cornersComplete && perspectiveValid; }
    // Calibrated and a game centre given: the state in which lines exist.
    bool isReady() const { return isCalibrated() && centreSet; }

    // Picture coordinates become pixels by truncation toward zero. Values
    // beyond +-kPixelLimit (and NaN, as 0) are clamped first, since
    // converting them to int would be undefined.
    static constexpr double kPixelLimit = 1'000'000.0;
    static std::int32_t toPixel(double coordinate);
    // (x / w, y / w); on the horizon (w = 0) a signed infinity, never NaN.
    static cv::Point2f fromHomogeneous(float x, float y, float w);

private:
    // The angle step of the centre circle is this value over the sample
    // count; it is kept as it always was rather than replaced by a precise
    // 2 pi, so the circle points do not move between versions.
    static constexpr double kFullTurnRad = 6.283184;

    // A picture point that lies in front of the camera, or nothing for a
    // point on or beyond the horizon.
    using PicturePoint = std::optional<cv::Point2f>;

    void recountPoints();
    bool cornersDefinePerspective() const;
    cv::Matx33d solvePerspective() const;
    bool perspectiveIsUsable() const;
    PicturePoint projectVisible(cv::Point2f field) const;
    // With a lens: the segments of a straight pitch line from a to b as it
    // appears bent in the picture.
    void appendCurve(std::vector<FieldLine>& lines, cv::Point2f a, cv::Point2f b) const;
    bool curved() const { return !lens.isPinhole(); }
    void appendCircleCurve(std::vector<FieldLine>& lines) const;
    void computeCircle(cv::Point2f centre);
    void computeGrid();

    std::vector<FieldLine> outlineSegments() const;
    std::vector<FieldLine> halfwaySegments() const;
    std::vector<FieldLine> circleSegments() const;
    std::vector<FieldLine> gridSegments() const;
    void drawSegments(const std::vector<FieldLine>& segments, const cv::Scalar& colour);
    // A colour given in B, G, R order, in the order of the image drawn into.
    cv::Scalar ink(const cv::Scalar& bgr) const;

    int topPointsLeft = 2;
    int bottomPointsLeft = 2;
    float length = 36.0f;
    float width = 27.0f;
    float radius = 1.0f / 36.0f;
    cv::Mat overlayImage;
    ChannelOrder overlayOrder = ChannelOrder::Bgr;
    int pointsPerEdge = 2;
    float aspect = 0.75f;
    std::array<cv::Point2f, 4> sourceQuad {};
    std::array<cv::Point2f, 4> targetQuad;
    cv::Matx33f pictureFromField;
    cv::Matx33f fieldFromPicture;
    bool cornersComplete = false;
    bool perspectiveValid = false;
    bool centreSet = false;
    std::vector<cv::Point2f> topPoints;
    std::vector<cv::Point2f> bottomPoints;
    PicturePoint halfwayStart { cv::Point2f() };
    PicturePoint halfwayEnd { cv::Point2f() };
    cv::Point2f gameCentre;
    int circleSamples = 32;
    int gridEndpoints = 10;
    std::vector<cv::Point2f> circleField;
    std::vector<cv::Point2f> gridField;
    std::vector<PicturePoint> circlePicture;
    std::vector<PicturePoint> gridPicture;
    std::vector<FieldLine> fieldLines;
    std::vector<FieldLine> centreLines;
    bool drawLines = true;
    CLensModel lens;
    bool fittedCorners = false;
    std::array<cv::Point2d, 4> fittedIdeal {};
    // Field positions of what is drawn with a lens.
    std::optional<std::array<cv::Point2f, 2>> halfwayField;
    cv::Point2f circleCentreField;
    bool circleComputable = false;
};
