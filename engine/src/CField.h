#pragma once

#include "VistrelInterface.h"

#include <opencv2/core.hpp>

#include <vector>

// The pitch model: four picture corners, the real dimensions, the perspective
// transform between the picture and the normalised field plane (bottom edge
// at y = 0, top edge at y = 1, one unit = one pitch length), and the overlay
// built on it.
class CField
{
public:
    CField();
    virtual ~CField();

    int AddPoint(int edge, int x, int y);
    void ClearPoints();
    int SetGameCentre(int x, int y);
    int ComputePerspective();
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

    // Overlay.
    int UpdateCentreGeometry(int x, int y);
    int Draw(const cv::Mat& frame);
    int DrawPoints();
    void DrawLines();
    void BuildLineLists();
    std::vector<FieldLine> GetFieldLines();
    std::vector<FieldLine> GetCentreLines();
    const cv::Mat& getOverlayImage() const { return overlayImage; }

private:
    int topPointsLeft = 2;
    int bottomPointsLeft = 2;
    float length = 36.0f;
    float width = 27.0f;
    float radius = 1.0f / 36.0f;
    cv::Mat overlayImage;
    int pointsPerEdge = 2;
    float aspect = 0.75f;
    bool drawLines = true;
};
