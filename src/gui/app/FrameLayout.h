#pragma once

#include <QString>

class QMainWindow;

// Where the bars and toolbars of a main window are (side, floating, order, shown or hidden) and the
// window's own place and size, kept in the program's settings under "<profile>-Frame" between runs.
// The sizes of each bar per docking state are kept by the bars themselves.
void SaveFrameLayout(const QMainWindow& frame, const QString& strProfile);
// Puts the bars back as saved. True when the window's place and size came back too; false when there
// were none or the window was maximised (the caller maximises it then). The window is not shown.
bool RestoreFrameLayout(QMainWindow& frame, const QString& strProfile);
