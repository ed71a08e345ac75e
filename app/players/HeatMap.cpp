#include "players/HeatMap.h"

#include "players/TrackSet.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Three box passes of this half-width come close to a Gaussian of about 3 m.
constexpr int kBoxHalfWidth = 2;
constexpr int kBoxPasses = 3;
constexpr int kMaxAlpha = 190;

} // namespace

QImage HeatMap::of(const PlayerTrack& track, double length, double width)
{
    const int columns = std::max(1, int(std::ceil(width)));
    const int rows = std::max(1, int(std::ceil(length)));
    std::vector<float> cells(std::size_t(columns) * std::size_t(rows), 0.f);
    for (const TrackSample& sample : track.samples) {
        const int column = int(std::floor(sample.pitch.x()));
        const int row = int(std::floor(length - sample.pitch.y()));
        if (column >= 0 && column < columns && row >= 0 && row < rows)
            cells[std::size_t(row) * std::size_t(columns) + std::size_t(column)] += 1.f;
    }
    blur(cells, columns, rows);
    const float peak = *std::max_element(cells.begin(), cells.end());
    QImage image(columns, rows, QImage::Format_ARGB32_Premultiplied);
    for (int row = 0; row < rows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int column = 0; column < columns; ++column) {
            const float value = cells[std::size_t(row) * std::size_t(columns) + std::size_t(column)];
            line[column] = colourOf(peak > 0 ? value / peak : 0.f);
        }
    }
    return image;
}

void HeatMap::blur(std::vector<float>& cells, int columns, int rows)
{
    std::vector<float> pass(cells.size());
    for (int n = 0; n < kBoxPasses; ++n) {
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                float sum = 0;
                for (int d = -kBoxHalfWidth; d <= kBoxHalfWidth; ++d) {
                    const int c = std::clamp(column + d, 0, columns - 1);
                    sum += cells[std::size_t(row) * std::size_t(columns) + std::size_t(c)];
                }
                pass[std::size_t(row) * std::size_t(columns) + std::size_t(column)] = sum;
            }
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                float sum = 0;
                for (int d = -kBoxHalfWidth; d <= kBoxHalfWidth; ++d) {
                    const int r = std::clamp(row + d, 0, rows - 1);
                    sum += pass[std::size_t(r) * std::size_t(columns) + std::size_t(column)];
                }
                cells[std::size_t(row) * std::size_t(columns) + std::size_t(column)] = sum;
            }
    }
}

// From clear through yellow to red as the share of the peak grows.
QRgb HeatMap::colourOf(float share)
{
    const int alpha = int(std::sqrt(std::clamp(share, 0.f, 1.f)) * kMaxAlpha);
    const int green = int(220 * (1.f - share));
    return qPremultiply(qRgba(255, green, 0, alpha));
}
