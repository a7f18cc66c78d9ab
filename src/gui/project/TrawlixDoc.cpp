#include "project/TrawlixDoc.h"

#include <QWidget>

#include "app/MainFrame.h"

CTrawlixDoc::CTrawlixDoc(QObject* parent)
    : QObject(parent)
{}

CTrawlixDoc::~CTrawlixDoc() = default;

QString CTrawlixDoc::ClosePromptText()
{
    return QStringLiteral("工程已经改变，要存盘吗?");
}

QString CTrawlixDoc::ModifiedMarker()
{
    return QStringLiteral(" *");
}

void CTrawlixDoc::MarkModified()
{
    m_bModified = true;
    if (m_pTitleWindow) {
        const QString strTitle = m_pTitleWindow->windowTitle();
        if (!strTitle.endsWith(ModifiedMarker())) {
            m_pTitleWindow->setWindowTitle(strTitle + ModifiedMarker());
        }
    }
}

void CTrawlixDoc::MarkSaved()
{
    m_bModified = false;
    if (m_pTitleWindow) {
        const QString strTitle = m_pTitleWindow->windowTitle();
        if (strTitle.endsWith(ModifiedMarker())) {
            m_pTitleWindow->setWindowTitle(strTitle.chopped(ModifiedMarker().size()));
        }
    }
}

bool CTrawlixDoc::CanCloseFrame(CMainFrame& frame)
{
    if (!m_bModified) {
        return true;
    }
    const QMessageBox::StandardButton answer =
        frame.Prompts().messageBox(nullptr, QMessageBox::Warning, QStringLiteral("警告"), ClosePromptText(),
                                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    switch (answer) {
    case QMessageBox::Yes:
        // A save that fails or is cancelled keeps everything open: the user has been told, and asking
        // again in other words would only invite losing the work.
        return frame.SaveProject();
    case QMessageBox::No:
        MarkSaved();
        return true;
    default:
        return false;
    }
}
