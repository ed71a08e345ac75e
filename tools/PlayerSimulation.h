#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

// Ground truth for generated match clips: 22 players (two teams of ten
// outfield players and their goalkeepers), a referee, and people beside the
// pitch (coaches, ball boys) who are no players. Everyone runs in legs:
// accelerate, run at a chosen pace to a target near a home position, stop,
// wait, turn; so runs start, stop, turn and cross each other. Positions are
// pitch metres: x along the bottom edge (0 .. width), y towards the top edge
// (0 .. length), the goals on the bottom and top edges.
// Deterministic for a seed; position(t) is closed-form, so any frame can be
// drawn on its own.
namespace testclips {

struct SimPerson
{
    enum class Role { Outfield, Goalkeeper, Referee, Outsider };

    int id = 0; // 1-based, stable
    Role role = Role::Outfield;
    char team = 0; // 'A', 'B', or 0 (referee, outsiders)
    cv::Scalar shirt, shorts; // BGR

    // A player to be tracked: everyone on the pitch, the referee included.
    bool tracked() const { return role != Role::Outsider; }
    // The team the tracks should report: goalkeepers wear their own colours
    // and so belong to no shirt-colour team.
    char expectedTeam() const { return role == Role::Outfield ? team : 0; }

    struct Leg
    {
        double start = 0, arrive = 0, leave = 0; // seconds
        cv::Point2d from, to;
        double topSpeed = 0; // m/s
    };
    std::vector<Leg> legs;
};

class PlayerSimulation
{
public:
    // Everyone for a pitch of width x length metres over `seconds`.
    PlayerSimulation(double width, double length, double seconds, unsigned seed);

    const std::vector<SimPerson>& people() const { return everyone; }
    cv::Point2d position(const SimPerson& person, double seconds) const;
    // Path length between two times, summed over fine steps.
    double distance(const SimPerson& person, double from, double to) const;

    static constexpr double kAccelerationMps2 = 3.0;

private:
    void addTeam(char team, cv::RNG& rng);
    void addPerson(SimPerson person, cv::Point2d home, cv::Size2d zone, double pace, cv::RNG& rng);

    double width, length, seconds;
    std::vector<SimPerson> everyone;
};

} // namespace testclips
