#pragma once

#include <QString>

class QAction;
class QObject;

// An action of the window's menus and tool bars: its text, shortcut (none
// when empty), status tip, icon (a resource path, or none) and object name,
// by which tests and the tool bars find it.
QAction* makeAction(QObject* parent, const QString& text, const QString& shortcut,
    const QString& tip, const char* icon, const char* name);
