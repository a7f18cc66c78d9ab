#include "app/RecentFilesMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "common/UserPrompts.h"

CRecentFilesMenu::CRecentFilesMenu(QMenu* menu, CUserPrompts& prompts, QWidget* pDialogParent, QObject* parent)
    : QObject(parent)
    , m_prompts(prompts)
    , m_pDialogParent(pDialogParent)
{
    for (int n = 0; n <= CRecentFileList::kSize; ++n) {
        auto* action = new QAction(QStringLiteral("最近文件"), parent);
        action->setObjectName(n == 0 ? QStringLiteral("recentFileNone") : QStringLiteral("recentFile%1").arg(n));
        if (n > 0) {
            connect(action, &QAction::triggered, this, [this, n] { open(n - 1); });
        }
        menu->addAction(action);
        m_actions.append(action);
    }
    connect(menu, &QMenu::aboutToShow, this, &CRecentFilesMenu::update);
    update();
}

CRecentFilesMenu::~CRecentFilesMenu() = default;

void CRecentFilesMenu::Add(const QString& strPath)
{
    m_files.Add(strPath);
    update();
}

void CRecentFilesMenu::update()
{
    const QStringList& files = m_files.Files();
    m_actions.at(0)->setVisible(files.isEmpty());
    m_actions.at(0)->setEnabled(false);
    for (int n = 0; n < CRecentFileList::kSize; ++n) {
        QAction* action = m_actions.at(n + 1);
        action->setVisible(n < files.size());
        if (n < files.size()) {
            QString strPath = files.at(n);
            action->setText(QStringLiteral("&%1 ").arg(n + 1) +
                            strPath.replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
    }
}

void CRecentFilesMenu::open(int nIndex)
{
    if (nIndex >= m_files.Files().size()) {
        return;
    }
    const QString strPath = m_files.Files().at(nIndex);
    if (!QFileInfo(strPath).isFile()) {
        m_prompts.messageBox(m_pDialogParent, QMessageBox::Warning, QStringLiteral("Trawlix"),
                             QStringLiteral("文件 \"%1\" 已不存在，已从最近文件列表中删除。").arg(strPath),
                             QMessageBox::Ok);
        m_files.Remove(strPath);
        update();
        return;
    }
    emit openRequested(strPath);
}
