#include "CField.h"

// Placeholder until the pitch model lands.
CField::CField() = default;
CField::~CField() = default;
int CField::AddPoint(int, int, int) { return topPointsLeft; }
void CField::ClearPoints() { }
int CField::SetGameCentre(int, int) { return 0; }
int CField::ComputePerspective() { return -1; }
cv::Point2f CField::PictureToField(cv::Point2f p) const { return p; }
cv::Point2f CField::FieldToPicture(cv::Point2f p) const { return p; }
int CField::UpdateCentreGeometry(int, int) { return -1; }
int CField::Draw(const cv::Mat& frame)
{
    overlayImage = frame.clone();
    return 0;
}
int CField::DrawPoints() { return 0; }
void CField::DrawLines() { }
void CField::BuildLineLists() { }
std::vector<FieldLine> CField::GetFieldLines() { return {}; }
std::vector<FieldLine> CField::GetCentreLines() { return {}; }
