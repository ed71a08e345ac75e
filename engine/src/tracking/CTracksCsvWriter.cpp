#include "tracking/CTracksCsvWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

const char* stateName(CTrackSample::State s)
{
    switch (s) {
    case CTrackSample::State::Detected:
        return "detected";
    case CTrackSample::State::Predicted:
        return "predicted";
    case CTrackSample::State::Interpolated:
        return "interpolated";
    }
    return "";
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string shortest(double value)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

} // namespace

std::string CTracksCsvWriter::fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    // Rounded values of either sign that show as zero are written as zero.
    const double unit = std::pow(10.0, decimals);
    if (std::round(std::abs(value) * unit) == 0)
        value = 0;
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, r.ptr);
}

void CTracksCsvWriter::write(std::ostream& out, const std::vector<CFinishedTrack>& tracks, double fps)
{
    out << kHeader;
    // Tracks by first frame; the ones spanning the current frame by id.
    std::vector<std::size_t> byStart;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (!tracks[i].samples.empty())
            byStart.push_back(i);
    std::stable_sort(byStart.begin(), byStart.end(), [&](std::size_t a, std::size_t b) {
        return tracks[a].samples.front().frame < tracks[b].samples.front().frame;
    });
    // Frame by frame over the span the tracks cover.
    int last = -1;
    for (const CFinishedTrack& t : tracks)
        if (!t.samples.empty())
            last = std::max(last, t.samples.back().frame);
    std::vector<std::size_t> active;
    std::size_t next = 0;
    for (int frame = 0; frame <= last; ++frame) {
        while (next < byStart.size() && tracks[byStart[next]].samples.front().frame == frame) {
            const std::size_t idx = byStart[next++];
            active.insert(std::lower_bound(active.begin(), active.end(), idx,
                              [&](std::size_t a, std::size_t b) { return tracks[a].id < tracks[b].id; }),
                idx);
        }
        for (const std::size_t idx : active) {
            const CFinishedTrack& t = tracks[idx];
            const std::size_t k = std::size_t(frame - t.samples.front().frame);
            const CTrackSample& s = t.samples[k];
            out << std::to_string(frame) + ',' + fixed(frame / fps, 3) + ',' + std::to_string(t.id)
                + ',' + (t.team ? std::string(1, t.team) : std::string()) + ','
                + fixed(s.pitch.x, 2) + ',' + fixed(s.pitch.y, 2) + ','
                + fixed(k < t.speedsMps.size() ? t.speedsMps[k] : 0.0, 2) + ',' + stateName(s.state)
                + '\n';
        }
        active.erase(std::remove_if(active.begin(), active.end(),
                         [&](std::size_t idx) { return tracks[idx].samples.back().frame <= frame; }),
            active.end());
    }
}

std::string CTracksCsvWriter::sidecar(const Sidecar& f)
{
    std::string j = "{\n";
    j += "  \"format\": \"tarvola-tracks\",\n  \"version\": 1,\n";
    j += "  \"video\": " + jsonString(f.video) + ",\n";
    j += "  \"fps\": " + shortest(f.fps) + ",\n";
    j += "  \"frames\": " + std::to_string(f.frames) + ",\n";
    j += "  \"pitch\": {\"length\": " + shortest(f.length) + ", \"width\": " + shortest(f.width)
        + "},\n";
    j += "  \"origin\": \"bottom-left corner\",\n  \"units\": \"m\",\n";
    j += "  \"calibration\": {\"cornerOrder\": [\"top left\", \"top right\", \"bottom left\", "
         "\"bottom right\"], \"corners\": [";
    for (std::size_t i = 0; i < f.corners.size(); ++i)
        j += std::string(i ? ", " : "") + "[" + shortest(f.corners[i].x) + ", "
            + shortest(f.corners[i].y) + "]";
    j += "], \"lens\": null}\n}\n";
    return j;
}
