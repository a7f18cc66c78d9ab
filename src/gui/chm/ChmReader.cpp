#include "chm/ChmReader.h"

#include <memory>

#include <QDir>
#include <QFileInfo>

#include "app/Text.h"
#include "browser/BrowserProfile.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "chm/ChmBook.h"
#include "chm/ChmContentsPanel.h"
#include "chm/ChmSchemeHandler.h"
#include "platform/Files.h"

CMyWB* CChmReader::Open(CTrawlixView* pView, const QString& strPath, QString* pWhy)
{
    auto pBook = std::make_shared<CChmBook>();
    if (!pBook->Open(strPath, pWhy)) {
        return nullptr;
    }
    CChmSchemeHandler* pHandler = CChmSchemeHandler::ForProfile(pView->Profile()->profile());
    const QString strHost = pHandler->AddBook(pBook);

    CBrowserTabCtrl* pTabs = pView->TabCtrl();
    CMyWB* pBrowser = pTabs->AddTab();
    if (!pBook->Contents().empty()) {
        pTabs->SetSidePanel(pBrowser, new CChmContentsPanel(pBook->Contents(), strHost, pBrowser));
    }
    pBrowser->load(CChmSchemeHandler::UrlOf(strHost, pBook->DefaultTopic()));
    return pBrowser;
}

bool CChmReader::IsBookFile(const QString& strPath)
{
    return strPath.trimmed().endsWith(QLatin1String(".chm"), Qt::CaseInsensitive);
}

QString CChmReader::HelpFilePath()
{
    const QString strFolder = toQ(files::ProgramFolder());
    const QString strBeside = QDir(strFolder).filePath(QStringLiteral("trawlix.chm"));
    if (QFileInfo::exists(strBeside)) {
        return strBeside;
    }
    const QString strInstalled = QDir(strFolder).filePath(QStringLiteral("../share/trawlix/trawlix.chm"));
    if (QFileInfo::exists(strInstalled)) {
        return QDir::cleanPath(strInstalled);
    }
    return strBeside;
}
