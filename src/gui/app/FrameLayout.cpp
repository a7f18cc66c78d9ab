#include "app/FrameLayout.h"

#include <QMainWindow>
#include <QSettings>

#include "common/AppInfo.h"

namespace
{
// Raised whenever bars are added or renamed in a way an older saved layout would misplace.
constexpr int kLayoutVersion = 1;

QString groupOf(const QString& strProfile)
{
    return strProfile + QStringLiteral("-Frame");
}
} // namespace

void SaveFrameLayout(const QMainWindow& frame, const QString& strProfile)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.beginGroup(groupOf(strProfile));
    settings.setValue(QStringLiteral("State"), frame.saveState(kLayoutVersion));
    settings.setValue(QStringLiteral("Geometry"), frame.saveGeometry());
    settings.setValue(QStringLiteral("Maximized"), frame.isMaximized());
    settings.endGroup();
}

bool RestoreFrameLayout(QMainWindow& frame, const QString& strProfile)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.beginGroup(groupOf(strProfile));
    const QByteArray state = settings.value(QStringLiteral("State")).toByteArray();
    const QByteArray geometry = settings.value(QStringLiteral("Geometry")).toByteArray();
    // A maximised window is given the screen again by the caller: its saved place counts a title bar
    // that a desktop without a window manager does not have, and would push it down the screen.
    const bool bMaximized = settings.value(QStringLiteral("Maximized"), true).toBool();
    settings.endGroup();
    if (!state.isEmpty()) {
        frame.restoreState(state, kLayoutVersion);
    }
    return !bMaximized && !geometry.isEmpty() && frame.restoreGeometry(geometry);
}
