#include "analysis/CSegmentation.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>

const cv::Scalar CSegmentation::kBlobColour { 0, 128, 255, 255 };

namespace {

// Relative costs of drawing blob rectangles one by one and of drawing their
// outlines through a mask, in pixel writes.
constexpr double kRectangleCallCostPx = 64.0;
constexpr double kMaskCostPerPixel = 3.0;

// One pass of a window over source into target, which starts as a copy of
// source. Every decision reads source only, so changes do not propagate
// within the pass. A pixel that already has the centre value keeps it; any
// other pixel takes the centre value unless some neighbour differs both from
// the pattern and from the centre value.
void applyWindow(const CBinaryWindow& window, const cv::Mat& source, cv::Mat& target)
{
    const int size = window.getSize();
    const int half = size / 2;
    if (size <= 0 || source.rows - half <= half || source.cols - half <= half)
        return;
    struct Neighbour
    {
        std::ptrdiff_t offset;
        int value;
    };
    std::vector<Neighbour> neighbours;
    const auto rowStep = static_cast<std::ptrdiff_t>(source.step[0]);
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column)
            if (row != half || column != half)
                neighbours.push_back(
                    { (row - half) * rowStep + (column - half), window.cell(row, column) });

    const int required = window.centre();
    const auto fill = static_cast<std::uint8_t>(required & 0xFF);
    for (int y = half; y < source.rows - half; ++y) {
        const std::uint8_t* in = source.ptr<std::uint8_t>(y);
        std::uint8_t* out = target.ptr<std::uint8_t>(y);
        for (int x = half; x < source.cols - half; ++x) {
            if (in[x] == required)
                continue;
            const bool blocked = std::any_of(
                neighbours.begin(), neighbours.end(), [p = in + x, required](const Neighbour& n) {
                    const int value = p[n.offset];
                    return value != n.value && value != required;
                });
            if (!blocked)
                out[x] = fill;
        }
    }
}

// The acceptance test of one window position, with the share of empty
// pixels computed in single precision as the detector always has.
struct BlobCriteria
{
    BlobCriteria(int area, double maxEmptyPercent, double minFillPercent)
        : fillLimit(static_cast<double>(area) * 255.0 * minFillPercent / 100.0)
        , emptyLimit(largestAcceptedEmpty(area, maxEmptyPercent))
    { }

    static bool emptyAccepted(int empty, int area, double maxEmptyPercent)
    {
        const float share = static_cast<float>(empty) / static_cast<float>(area);
        return static_cast<double>(100.0f * share) < maxEmptyPercent;
    }

    // The test is monotonic in the empty count, so one bound replaces it.
    static int largestAcceptedEmpty(int area, double maxEmptyPercent)
    {
        if (!emptyAccepted(0, area, maxEmptyPercent))
            return -1;
        int low = 0, high = area; // accepted at low; find the last accepted
        while (low < high) {
            const int mid = low + (high - low + 1) / 2;
            if (emptyAccepted(mid, area, maxEmptyPercent))
                low = mid;
            else
                high = mid - 1;
        }
        return low;
    }

    bool accepts(int empty, std::int64_t sum) const
    {
        return empty <= emptyLimit && fillLimit < static_cast<double>(sum);
    }

    double fillLimit;
    int emptyLimit;
};

// Per column, the pixel sum and the count of 0 pixels over the rows of the
// window's current vertical position.
class ColumnSums
{
public:
    ColumnSums(const cv::Mat& image, int windowHeight)
        : sum(static_cast<std::size_t>(image.cols), 0)
        , zeros(static_cast<std::size_t>(image.cols), 0)
    {
        for (int row = 0; row < windowHeight; ++row)
            addRow(image.ptr<std::uint8_t>(row), 1);
    }

    // Moves the window down by one row from the given top row.
    void advance(const cv::Mat& image, int top, int windowHeight)
    {
        addRow(image.ptr<std::uint8_t>(top), -1);
        if (top + windowHeight < image.rows)
            addRow(image.ptr<std::uint8_t>(top + windowHeight), 1);
    }

    std::vector<std::int64_t> sum;
    std::vector<int> zeros;

private:
    void addRow(const std::uint8_t* row, int sign)
    {
        for (std::size_t x = 0; x < sum.size(); ++x) {
            sum[x] += sign * row[x];
            zeros[x] += sign * (row[x] == 0);
        }
    }
};

int clampToInt(std::int64_t value)
{
    return static_cast<int>(std::min<std::int64_t>(value, std::numeric_limits<int>::max()));
}

// Clips the span [from, to] to [0, length) and records it in a difference
// array: +1 at its start, -1 just past its end.
template <typename At> void addSpan(std::int64_t from, std::int64_t to, int length, At at)
{
    if (from > to)
        std::swap(from, to);
    if (to < 0 || from >= length)
        return;
    ++at(static_cast<int>(std::max<std::int64_t>(from, 0)));
    --at(static_cast<int>(std::min<std::int64_t>(to, length - 1)) + 1);
}

// Drawing one rectangle costs about its perimeter plus a fixed overhead;
// the outline mask costs a few passes over the image. Blobs of one detection
// share their size, but any list is estimated correctly.
bool directDrawIsCheaper(const std::vector<CBlob>& blobs, cv::Size size)
{
    const double maskCost = kMaskCostPerPixel * static_cast<double>(size.area());
    double directCost = 0.0;
    for (const CBlob& blob : blobs) {
        directCost += kRectangleCallCostPx
            + 4.0 * (std::min(blob.width, size.width) + std::min(blob.height, size.height));
        if (directCost > maskCost)
            return false;
    }
    return true;
}

} // namespace

CSegmentation::CSegmentation() = default;

CSegmentation::~CSegmentation() = default;

int CSegmentation::AddWindow(CBinaryWindow window)
{
    windows.push_back(std::move(window));
    return 0;
}

// The images are refilled in place when the size stays: per-frame use then
// allocates nothing.
const cv::Mat& CSegmentation::SetImage(const cv::Mat& image)
{
    image.copyTo(input);
    return input;
}

int CSegmentation::ApplyWindows()
{
    input.copyTo(result);
    if (input.empty())
        return -1;
    if (input.type() != CV_8UC1)
        return -2;
    for (const CBinaryWindow& window : windows) {
        applyWindow(window, input, result);
        result.copyTo(input);
    }
    return 0;
}

int CSegmentation::DetectBlobs(
    int windowWidth, int windowHeight, double maxEmptyPercent, double minFillPercent)
{
    blobs.clear();
    if (input.empty())
        return -1;
    if (input.type() != CV_8UC1)
        return -2;
    const int halfW = windowWidth / 2;
    const int halfH = windowHeight / 2;
    if (windowWidth <= 0 || windowHeight <= 0 || halfH >= input.rows - halfH
        || halfW >= input.cols - halfW)
        return 0;

    const int area = windowWidth * windowHeight;
    const BlobCriteria criteria(area, maxEmptyPercent, minFillPercent);
    ColumnSums columns(input, windowHeight);
    for (int y = halfH; y < input.rows - halfH; ++y) {
        // Slide along the row: the window covers columns x - halfW onwards.
        std::int64_t sum = 0;
        int empty = 0;
        for (int column = 0; column < windowWidth; ++column) {
            sum += columns.sum[static_cast<std::size_t>(column)];
            empty += columns.zeros[static_cast<std::size_t>(column)];
        }
        for (int x = halfW; x < input.cols - halfW; ++x) {
            if (x > halfW) {
                const auto enter = static_cast<std::size_t>(x - halfW + windowWidth - 1);
                const auto leave = static_cast<std::size_t>(x - halfW - 1);
                sum += columns.sum[enter] - columns.sum[leave];
                empty += columns.zeros[enter] - columns.zeros[leave];
            }
            if (criteria.accepts(empty, sum))
                blobs.emplace_back(
                    area, windowWidth, windowHeight, area - empty, empty, clampToInt(sum), x, y);
        }
        columns.advance(input, y - halfH, windowHeight);
    }
    return 0;
}

void CSegmentation::DrawBlobs(const cv::Mat& frame)
{
    frame.copyTo(drawn);
    if (drawn.empty() || blobs.empty())
        return;
    if (directDrawIsCheaper(blobs, drawn.size())) {
        for (const CBlob& blob : blobs)
            cv::rectangle(drawn, cv::Point(blob.x - blob.width, blob.y - blob.height),
                cv::Point(blob.x + blob.width, blob.y + blob.height), kBlobColour, 1, cv::LINE_8,
                0);
        return;
    }
    outline.draw(blobs, drawn.size());
    drawn.setTo(kBlobColour, outline.mask);
}

// Marks the outline pixels of every blob rectangle as cv::rectangle draws
// them with thickness 1, using difference arrays per row for the horizontal
// edges and per column for the vertical ones: one pass over the image
// however many rectangles there are and however much they overlap.
void CSegmentation::OutlineCanvas::draw(const std::vector<CBlob>& blobs, cv::Size size)
{
    rowEdges.create(size.height, size.width + 1);
    columnEdges.create(size.height + 1, size.width);
    rowEdges.setTo(0);
    columnEdges.setTo(0);
    for (const CBlob& blob : blobs) {
        const std::int64_t left = std::int64_t { blob.x } - blob.width;
        const std::int64_t right = std::int64_t { blob.x } + blob.width;
        const std::int64_t top = std::int64_t { blob.y } - blob.height;
        const std::int64_t bottom = std::int64_t { blob.y } + blob.height;
        for (const std::int64_t row : { top, bottom })
            if (row >= 0 && row < size.height)
                addSpan(left, right, size.width,
                    [&](int x) -> int& { return rowEdges(static_cast<int>(row), x); });
        for (const std::int64_t column : { left, right })
            if (column >= 0 && column < size.width)
                addSpan(top, bottom, size.height,
                    [&](int y) -> int& { return columnEdges(y, static_cast<int>(column)); });
    }

    mask.create(size, CV_8UC1);
    std::vector<int> columnRun(static_cast<std::size_t>(size.width), 0);
    for (int y = 0; y < size.height; ++y) {
        const int* rowEdge = rowEdges[y];
        const int* columnEdge = columnEdges[y];
        std::uint8_t* out = mask.ptr<std::uint8_t>(y);
        int rowRun = 0;
        for (int x = 0; x < size.width; ++x) {
            rowRun += rowEdge[x];
            columnRun[static_cast<std::size_t>(x)] += columnEdge[x];
            out[x] = (rowRun > 0 || columnRun[static_cast<std::size_t>(x)] > 0) ? 255 : 0;
        }
    }
}
