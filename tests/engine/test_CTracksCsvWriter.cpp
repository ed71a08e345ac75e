#include "tracking/CTracksCsvWriter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <sstream>

namespace {

CFinishedTrack makeTrack(int id, char team, int firstFrame, std::vector<cv::Point2d> where,
    std::vector<double> speeds, CTrackSample::State middle = CTrackSample::State::Detected)
{
    CFinishedTrack t;
    t.id = id;
    t.team = team;
    for (std::size_t i = 0; i < where.size(); ++i)
        t.samples.push_back({ firstFrame + int(i), where[i], {},
            i > 0 && i + 1 < where.size() ? middle : CTrackSample::State::Detected });
    t.speedsMps = std::move(speeds);
    return t;
}

// The exact bytes scripts and spreadsheets read: rows by frame then id, a
// frame nobody is on left without rows, empty team, values beyond the
// lines, no "-0.00", and '.' whatever the process's locale.
TEST(CTracksCsvWriter, WritesTheDocumentedLayoutExactly)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // where installed: a comma decimal point
    const std::vector<CFinishedTrack> tracks {
        makeTrack(1, 'A', 0, { { 13.824, 50.026 }, { 13.836, 50.024 } }, { 0, 1.214 }),
        makeTrack(2, 0, 1, { { -0.004, 38.13 }, { -1.2, 38.2 }, { -1.3, 38.3 } }, { 0.3, 2.5, 2.5 },
            CTrackSample::State::Interpolated),
        makeTrack(3, 'B', 5, { { 31.61, 68.9 } }, { 0 }),
    };
    std::ostringstream out;
    CTracksCsvWriter::write(out, tracks, 60.0);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(out.str(),
        "frame,time_s,track_id,team,x_m,y_m,speed_m_s,state\n"
        "0,0.000,1,A,13.82,50.03,0.00,detected\n"
        "1,0.017,1,A,13.84,50.02,1.21,detected\n"
        "1,0.017,2,,0.00,38.13,0.30,detected\n"
        "2,0.033,2,,-1.20,38.20,2.50,interpolated\n"
        "3,0.050,2,,-1.30,38.30,2.50,detected\n"
        "5,0.083,3,B,31.61,68.90,0.00,detected\n");
}

TEST(CTracksCsvWriter, SidecarNamesFormatPitchAndCalibration)
{
    CTracksCsvWriter::Sidecar facts;
    facts.video = "match \"1\".mp4";
    facts.fps = 25;
    facts.frames = 250;
    facts.length = 105;
    facts.width = 68;
    facts.corners = { cv::Point2d(152, 40), cv::Point2d(1125, 37), cv::Point2d(154, 660),
        cv::Point2d(1118, 672.5) };
    const std::string json = CTracksCsvWriter::sidecar(facts);
    for (const char* part : { "\"format\": \"tarvola-tracks\"", "\"version\": 1",
             "\"video\": \"match \\\"1\\\".mp4\"", "\"fps\": 25", "\"frames\": 250",
             "\"pitch\": {\"length\": 105, \"width\": 68}", "\"origin\": \"bottom-left corner\"",
             "\"units\": \"m\"", "[1118, 672.5]" })
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
}

} // namespace
