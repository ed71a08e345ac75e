#include "window/Actions.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>

QAction* makeAction(QObject* parent, const QString& text, const QString& shortcut,
    const QString& tip, const char* icon, const char* name)
{
    auto* action = new QAction(text, parent);
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut));
    action->setStatusTip(tip);
    if (icon)
        action->setIcon(QIcon(QString::fromLatin1(icon)));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}
