#pragma once

#include <functional>

#include <QHash>
#include <QList>

class QAction;
class QObject;
class QWidget;

// The main window's commands as actions, keyed by command id: their menu texts, status-bar prompts,
// tool tips, check marks and shortcuts. Each action runs onCommand with its id.
QHash<int, QAction*> CreateFrameActions(QObject* owner, const std::function<void(int nId)>& onCommand);

// Moves the keyboard focus to the next (or previous) visible pane after the one holding it, going round.
void MoveFocusAmongPanes(const QList<QWidget*>& panes, bool bForward);

// The buttons of the main toolbar in their order; 0 is a separator.
QList<int> MainToolBarCommands();
