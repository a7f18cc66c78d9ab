#include "chm/ChmReader.h"

#include <memory>

#include <QDir>
#include <QFileInfo>

#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "chm/ChmBook.h"
#include "chm/ChmContentsPanel.h"
#include "chm/ChmSchemeHandler.h"
#include "common/Text.h"
#include "platform/Files.h"

CMyWB* CChmReader::Open(CTrawlixView* pView, const QString& strPath, QString* pWhy)
{
    auto pBook = std::make_shared<CChmBook>();
    if (!pBook->Open(strPath, pWhy)) {
        return nullptr;
    }
    const QString strHost = pView->Books()->AddBook(pBook);
    // The contents, when the book has any, at the left of its pages.
    return pView->OpenInNewTab(CChmSchemeHandler::UrlOf(strHost, pBook->DefaultTopic()),
                               [&](CMyWB* pBrowser) -> QWidget* {
                                   if (pBook->Contents().empty()) {
                                       return nullptr;
                                   }
                                   return new CChmContentsPanel(pBook->Contents(), strHost, pBrowser);
                               });
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
