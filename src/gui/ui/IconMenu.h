#pragma once

#include <QMenu>

// "&" marks a mnemonic in a menu text; texts that come from data (page titles, file names) double it so
// they show their ampersands literally.
QString escapeMenuText(const QString& text);
QString unescapeMenuText(const QString& text);

// A menu whose items show a small picture beside a text taken literally.
class CIconMenu : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CIconMenu)

public:
    explicit CIconMenu(const QString& title = {}, QWidget* parent = nullptr);
    ~CIconMenu() override;

    // Adds an item whose text is shown as it is (no mnemonic). A null icon leaves the picture column empty.
    QAction* addIconItem(const QIcon& icon, const QString& text);
    // Adds a submenu of the same kind.
    CIconMenu* addIconMenu(const QIcon& icon, const QString& text);
};

// Lets a menu taller than the screen lay its items out in columns instead of scrolling. ownerDrawn
// counts the three extra rows that menus of picture items carry. Returns whether the menu was too tall.
bool BreakLongMenu(QMenu* menu, bool ownerDrawn);
