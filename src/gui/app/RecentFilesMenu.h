#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "app/RecentFileList.h"

class QAction;
class QMenu;
class QWidget;
struct CUserPrompts;

// The recent project files at the end of a menu: "最近文件", greyed, while there are none. Choosing a
// file that is gone says so and drops it from the list; any other asks for it to be opened.
class CRecentFilesMenu final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CRecentFilesMenu)

public:
    CRecentFilesMenu(QMenu* menu, CUserPrompts& prompts, QWidget* pDialogParent, QObject* parent = nullptr);
    ~CRecentFilesMenu() override;

    CRecentFileList& List() { return m_files; }
    // Puts the file first.
    void Add(const QString& strPath);

signals:
    void openRequested(const QString& strPath);

private:
    void update();
    void open(int nIndex);

    CUserPrompts& m_prompts;
    QWidget* m_pDialogParent;
    CRecentFileList m_files;
    QList<QAction*> m_actions;
};
