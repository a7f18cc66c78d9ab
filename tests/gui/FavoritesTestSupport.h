#pragma once

#include <deque>
#include <functional>

#include <QDialog>
#include <QMenu>
#include <QStringList>

#include "app/UserPrompts.h"

// Stands in for the user in the favorites tests: answers message boxes from a queue and records them,
// runs dialogs with a test's own hand and returns chosen file names.
struct FavoriteAnswers
{
    std::deque<QMessageBox::StandardButton> buttons;
    QStringList asked; // text of every message box
    std::function<int(QDialog&)> dialog = [](QDialog&) { return int(QDialog::Rejected); };
    QString strOpenName;
    QString strSaveName;

    CUserPrompts prompts()
    {
        CUserPrompts p;
        p.messageBox = [this](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                              QMessageBox::StandardButtons) {
            asked.append(text);
            if (buttons.empty()) {
                return QMessageBox::Ok;
            }
            const QMessageBox::StandardButton answer = buttons.front();
            buttons.pop_front();
            return answer;
        };
        p.execDialog = [this](QDialog& d) { return dialog(d); };
        p.openFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return strOpenName; };
        p.saveFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return strSaveName; };
        p.openFileNames = [](QWidget*, const QString&, const QString&, const QString&) { return QStringList(); };
        return p;
    }
};

// The items of a menu after its first nSkip: "[name]" for a submenu, the text for an item.
inline QStringList menuTexts(const QMenu* menu, int nSkip = 0)
{
    QStringList texts;
    const QList<QAction*> actions = menu->actions();
    for (qsizetype i = nSkip; i < actions.size(); ++i) {
        const QAction* action = actions.at(i);
        texts.append(action->menu() != nullptr ? QLatin1Char('[') + action->text() + QLatin1Char(']') : action->text());
    }
    return texts;
}

// A favorites menu as the frame gives it: the four fixed items.
inline void addFixedItems(QMenu& menu)
{
    menu.addAction(QStringLiteral("添加到收藏夹.."));
    menu.addAction(QStringLiteral("整理收藏夹"));
    menu.addMenu(QStringLiteral("导入/导出"));
    menu.addSeparator();
}
