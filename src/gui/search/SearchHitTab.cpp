#include "search/SearchHitTab.h"

#include <QUrl>
#include <QWebEnginePage>

#include "browser/MyWB.h"
#include "browser/TrawlixView.h"

CMyWB* OpenSearchHit(CTrawlixView& view, const QString& strFile, const QString& strFind)
{
    CMyWB* pBrowser = view.OpenInNewTab(QUrl::fromLocalFile(strFile), {});
    if (!strFind.isEmpty()) {
        QObject::connect(
            pBrowser, &QWebEngineView::loadFinished, pBrowser,
            [pBrowser, strFind](bool) { pBrowser->page()->findText(strFind); }, Qt::SingleShotConnection);
    }
    return pBrowser;
}
