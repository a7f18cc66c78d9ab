#pragma once

#include <deque>
#include <functional>
#include <memory>

#include <QDialog>
#include <QMenu>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "common/AppInfo.h"
#include "common/UserPrompts.h"
#include "favorites/FavoritesMenu.h"

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

// What each favorites test starts from: the program's settings in a folder of their own, a fresh
// favorites folder and the frame's favorites menu over it.
class FavoritesTestBase
{
protected:
    // Once, before the first test.
    void useOwnSettings()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    }

    // Before each test.
    void setUpMenu()
    {
        QSettings(appinfo::organization(), appinfo::application()).clear();
        m_pTemp = std::make_unique<QTemporaryDir>();
        m_strRoot = m_pTemp->filePath(QStringLiteral("Favorites"));
        m_answers = FavoriteAnswers();
        m_prompts = m_answers.prompts();
        m_pMenu = std::make_unique<QMenu>();
        addFixedItems(*m_pMenu);
        m_pFavorites = std::make_unique<CFavoritesMenu>(m_pMenu.get(), m_strRoot, m_prompts, nullptr);
        m_pFavorites->setParent(nullptr);
    }

    // After each test.
    void tearDownMenu()
    {
        m_pFavorites.reset();
        m_pMenu.reset();
        m_pTemp.reset();
    }

    QTemporaryDir m_settingsDir;
    std::unique_ptr<QTemporaryDir> m_pTemp;
    QString m_strRoot;
    FavoriteAnswers m_answers;
    CUserPrompts m_prompts;
    std::unique_ptr<QMenu> m_pMenu;
    std::unique_ptr<CFavoritesMenu> m_pFavorites;
};
