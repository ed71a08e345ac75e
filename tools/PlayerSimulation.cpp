#include "PlayerSimulation.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace testclips {

namespace {

constexpr int kOutfieldPerTeam = 10;
constexpr double kDistanceStepS = 0.01;
// How far beyond the touchlines a player may go (a throw-in), and where the
// people beside the pitch stand.
constexpr double kThrowInM = 1.0;
constexpr double kCoachOutsideM = 4.5;
constexpr double kBallBoyOutsideM = 3.5;

// A 4-4-2 in shares of the width and of the team's half (0 = own goal line).
constexpr std::array<std::array<double, 2>, kOutfieldPerTeam> kFormation { {
    { 0.15, 0.22 }, { 0.38, 0.18 }, { 0.62, 0.18 }, { 0.85, 0.22 },
    { 0.15, 0.55 }, { 0.38, 0.50 }, { 0.62, 0.50 }, { 0.85, 0.55 },
    { 0.40, 0.85 }, { 0.60, 0.85 },
} };

const cv::Scalar kShirtA(40, 40, 220), kShortsA(245, 245, 245);
const cv::Scalar kShirtB(215, 110, 30), kShortsB(40, 30, 30);
const cv::Scalar kKeeperA(20, 215, 245), kKeeperB(200, 40, 200);
const cv::Scalar kReferee(25, 25, 25), kOutsider(120, 120, 125);

// Distance along a leg after `t` seconds of running: accelerate, cruise,
// brake, so that speed changes stay within what a player can do.
double travelled(double d, double topSpeed, double t)
{
    const double a = PlayerSimulation::kAccelerationMps2;
    const double peak = std::min(topSpeed, std::sqrt(a * d));
    const double tAcc = peak / a;
    const double cruise = peak > 0 ? (d - peak * tAcc) / peak : 0.0;
    const double total = 2 * tAcc + cruise;
    if (t <= 0)
        return 0;
    if (t >= total)
        return d;
    if (t < tAcc)
        return 0.5 * a * t * t;
    if (t < tAcc + cruise)
        return 0.5 * a * tAcc * tAcc + peak * (t - tAcc);
    const double left = total - t;
    return d - 0.5 * a * left * left;
}

double runTime(double d, double topSpeed)
{
    const double a = PlayerSimulation::kAccelerationMps2;
    const double peak = std::min(topSpeed, std::sqrt(a * d));
    return peak > 0 ? peak / a + d / peak : 0.0;
}

} // namespace

PlayerSimulation::PlayerSimulation(double width, double length, double seconds, unsigned seed)
    : width(width)
    , length(length)
    , seconds(seconds)
{
    cv::RNG rng(seed * 7919u + 17u);
    addTeam('A', rng);
    addTeam('B', rng);
    SimPerson referee;
    referee.role = SimPerson::Role::Referee;
    referee.shirt = referee.shorts = kReferee;
    addPerson(referee, { width / 2, length / 2 }, { width * 0.3, length * 0.3 }, 4.0, rng);
    // Beside the touchlines (x = 0 and x = width): coaches pacing at their
    // benches, ball boys mostly standing.
    SimPerson outsider;
    outsider.role = SimPerson::Role::Outsider;
    outsider.shirt = outsider.shorts = kOutsider;
    addPerson(outsider, { -kCoachOutsideM, length * 0.4 }, { 0, 4 }, 1.2, rng);
    addPerson(outsider, { -kCoachOutsideM, length * 0.6 }, { 0, 4 }, 1.2, rng);
    addPerson(outsider, { width + kBallBoyOutsideM, length * 0.25 }, { 0, 1 }, 1.0, rng);
    addPerson(outsider, { width + kBallBoyOutsideM, length * 0.75 }, { 0, 1 }, 1.0, rng);
}

void PlayerSimulation::addTeam(char team, cv::RNG& rng)
{
    const bool atBottom = team == 'A';
    auto onPitch = [&](double across, double depth) {
        const double y = depth * length / 2;
        return cv::Point2d(across * width, atBottom ? y : length - y);
    };
    SimPerson keeper;
    keeper.role = SimPerson::Role::Goalkeeper;
    keeper.team = team;
    keeper.shirt = keeper.shorts = atBottom ? kKeeperA : kKeeperB;
    addPerson(keeper, onPitch(0.5, 0.05), { 8, 3 }, 2.5, rng);
    for (const auto& [across, depth] : kFormation) {
        SimPerson player;
        player.team = team;
        player.shirt = atBottom ? kShirtA : kShirtB;
        player.shorts = atBottom ? kShortsA : kShortsB;
        addPerson(player, onPitch(across, depth), { width * 0.18, length * 0.2 }, 0.0, rng);
    }
}

// Legs round `home` within +-zone; pace 0 picks walking, jogging, running
// and sprinting at random per leg.
void PlayerSimulation::addPerson(
    SimPerson person, cv::Point2d home, cv::Size2d zone, double pace, cv::RNG& rng)
{
    static constexpr std::array<double, 5> kPaces { 1.5, 3.0, 4.5, 6.0, 7.5 };
    person.id = int(everyone.size()) + 1;
    const bool outsider = person.role == SimPerson::Role::Outsider;
    cv::Point2d at(home.x + rng.uniform(-zone.width, zone.width) * 0.5,
        home.y + rng.uniform(-zone.height, zone.height) * 0.5);
    double t = -rng.uniform(0.0, 2.0);
    while (t < seconds) {
        SimPerson::Leg leg;
        leg.from = at;
        leg.to = cv::Point2d(home.x + rng.uniform(-zone.width, zone.width),
            home.y + rng.uniform(-zone.height, zone.height));
        if (!outsider)
            leg.to = cv::Point2d(std::clamp(leg.to.x, -kThrowInM, width + kThrowInM),
                std::clamp(leg.to.y, 0.5, length - 0.5));
        leg.topSpeed = pace > 0 ? pace : kPaces[rng.uniform(0, int(kPaces.size()))];
        leg.start = t;
        leg.arrive = t + runTime(cv::norm(leg.to - leg.from), leg.topSpeed);
        leg.leave = leg.arrive + rng.uniform(0.0, outsider ? 6.0 : 2.0);
        person.legs.push_back(leg);
        at = leg.to;
        t = leg.leave;
    }
    everyone.push_back(person);
}

cv::Point2d PlayerSimulation::position(const SimPerson& person, double t) const
{
    const auto leg = std::find_if(person.legs.begin(), person.legs.end(),
        [t](const SimPerson::Leg& l) { return t < l.leave; });
    if (leg == person.legs.end())
        return person.legs.back().to;
    const cv::Point2d way = leg->to - leg->from;
    const double d = cv::norm(way);
    if (d <= 0)
        return leg->from;
    return leg->from + way * (travelled(d, leg->topSpeed, t - leg->start) / d);
}

double PlayerSimulation::distance(const SimPerson& person, double from, double to) const
{
    double sum = 0;
    cv::Point2d last = position(person, from);
    for (double t = from + kDistanceStepS; t <= to + 1e-9; t += kDistanceStepS) {
        const cv::Point2d p = position(person, t);
        sum += cv::norm(p - last);
        last = p;
    }
    return sum;
}

} // namespace testclips
