#pragma once

#include <QObject>

class QAction;
class QMenu;
class VideoControls;

// The playback keys and entries: Play/Pause (Ctrl+Y, Space), Step Back
// (comma, Left), Step Forward (full stop, Right), Jump Back (Shift+Left),
// Jump Forward (Shift+Right) and First Frame (Home).
// They work wherever the focus is in the window; a line edit with the focus
// still takes Space, the arrows and Home for its own typing.
class PlaybackActions : public QObject
{
    Q_OBJECT

public:
    PlaybackActions(VideoControls* videoControls, QObject* parent);

    QAction* playAction() const { return play; }
    void addTo(QMenu* menu) const;

private:
    void showPlaying();
    void showPaused();

    QAction* play = nullptr;
    QAction* stepBack = nullptr;
    QAction* stepForward = nullptr;
    QAction* jumpBack = nullptr;
    QAction* jumpForward = nullptr;
    QAction* firstFrame = nullptr;
};
