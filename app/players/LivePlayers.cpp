#include "players/LivePlayers.h"

#include "engine/EngineFunctions.h"
#include "players/TrackStore.h"
#include "window/Actions.h"
#include "VistrelInterface.h"
#include "VistrelTracking.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// More players than a pitch holds: the rest of a frame's are not shown.
constexpr int kMaxPlayers = 64;

template <typename Function> Function* function(VistrelInterface* engine, const char* name)
{
    return reinterpret_cast<Function*>(EngineFunctions::symbol(engine, name));
}

QString teamName(char team) { return team == 'A' || team == 'B' ? QString(QChar(team)) : QString(); }

} // namespace

LivePlayers::LivePlayers(VistrelInterface* engine, QObject* parent)
    : QObject(parent)
    , engine(engine)
    , timer(new QTimer(this))
    , live(new TrackStore(this))
{
    toggle = makeAction(this, tr("Live players"), QString(),
        tr("Show the players the engine follows while the video plays, without tracking the whole "
           "video first"),
        nullptr, "livePlayersAction");
    toggle->setCheckable(true);
    toggle->setEnabled(false);
    connect(toggle, &QAction::toggled, this, &LivePlayers::toggled);
    timer->setInterval(kPollMs);
    connect(timer, &QTimer::timeout, this, &LivePlayers::poll);
}

LivePlayers::~LivePlayers()
{
    if (isOn())
        if (auto* stopFn = function<decltype(VistrelStopLivePlayers)>(engine, "VistrelStopLivePlayers"))
            stopFn(engine);
}

bool LivePlayers::isOn() const { return timer->isActive(); }

bool LivePlayers::start()
{
    if (isOn())
        return true;
    auto* startFn = function<decltype(VistrelStartLivePlayers)>(engine, "VistrelStartLivePlayers");
    if (!startFn) {
        toggle->setChecked(false);
        emit failed(tr("This Vistrel library cannot follow players live."));
        return false;
    }
    // The engine looks over the video for the empty pitch first: a moment.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const int result = startFn(engine);
    QGuiApplication::restoreOverrideCursor();
    if (result != 0) {
        toggle->setChecked(false);
        emit failed(tr("The players cannot be followed: click the four pitch corners first."));
        return false;
    }
    recent = TrackSet();
    recent.fps = engine->getFps() > 0 ? engine->getFps() : 25.0;
    lastFrame = -1;
    live->clear();
    timer->start();
    toggle->setChecked(true);
    emit started();
    return true;
}

void LivePlayers::stop()
{
    if (!isOn())
        return;
    timer->stop();
    if (auto* stopFn = function<decltype(VistrelStopLivePlayers)>(engine, "VistrelStopLivePlayers"))
        stopFn(engine);
    toggle->setChecked(false);
    live->clear();
    emit stopped();
}

void LivePlayers::toggled(bool on)
{
    if (on)
        start();
    else
        stop();
}

void LivePlayers::setAvailable(bool available)
{
    if (!available)
        stop();
    toggle->setEnabled(available);
}

void LivePlayers::poll()
{
    auto* getFn = function<decltype(VistrelGetLivePlayers)>(engine, "VistrelGetLivePlayers");
    if (!getFn)
        return;
    std::array<VistrelLivePlayer, kMaxPlayers> players {};
    long long frame = -1;
    const int count = getFn(engine, players.data(), kMaxPlayers, &frame);
    if (count < 0 || frame < 0 || frame == lastFrame)
        return;
    add(players.data(), std::min(count, kMaxPlayers), frame);
}

// The frame's players join their tracks; samples older than a trail and
// players no longer there are let go. A frame before the last one (a seek
// back) starts the trails afresh.
void LivePlayers::add(const VistrelLivePlayer* players, int count, qint64 frame)
{
    if (frame < lastFrame)
        recent.tracks.clear();
    lastFrame = frame;
    const auto trailFrames = qint64(std::lround(TrackStore::kTrailSeconds * recent.fps));
    std::vector<PlayerTrack> kept;
    for (int i = 0; i < count; ++i) {
        const VistrelLivePlayer& p = players[i];
        const int index = recent.indexOf(p.trackId);
        PlayerTrack track = index < 0 ? PlayerTrack { p.trackId, {}, {}, {} }
                                      : std::move(recent.tracks[std::size_t(index)]);
        track.team = teamName(p.team);
        std::erase_if(track.samples,
            [&](const TrackSample& s) { return s.frame < frame - trailFrames || s.frame >= frame; });
        track.samples.push_back({ frame, QPointF(p.pitchX, p.pitchY), p.speed, TrackSample::State::Detected });
        kept.push_back(std::move(track));
    }
    recent.tracks = std::move(kept);
    recent.frames = frame + 1;
    const int selected = live->selectedId();
    live->setTracks(recent, QString());
    live->select(selected);
    live->setFrame(frame);
}
