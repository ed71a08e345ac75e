#pragma once

#include <opencv2/core.hpp>

#include <vector>

// Sorts tracks into two teams by their shirts' mean colours (CIE L*a*b*):
// k-means with two clusters (cv::kmeans), refitted without the tracks that
// lie far from both (goalkeepers, referees); a track whose colour is not
// close to either team's belongs to none.
class CTeamClassifier
{
public:
    // Distances in L*a*b* (8-bit scale) within which a colour always counts
    // as its cluster's.
    static constexpr double kMinRadius = 14.0;

    // For each colour: 0 or 1 for the two teams, -1 for none.
    static std::vector<int> classify(const std::vector<cv::Vec3f>& colours);
};
