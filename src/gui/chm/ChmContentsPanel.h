#pragma once

#include <vector>

#include <QString>
#include <QTreeWidget>
#include <QUrl>

#include "chm/ChmSitemap.h"

class QWebEngineView;

// A book's table of contents beside its pages, in the book's tab. Choosing an entry shows its page in
// the tab's browser; a page shown by following a link selects its entry.
class CChmContentsPanel final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChmContentsPanel)

public:
    // strHost: the book's host name under the chm scheme; pBrowser: the browser of the book's tab.
    CChmContentsPanel(const std::vector<ChmTopic>& topics,
                      const QString& strHost,
                      QWebEngineView* pBrowser,
                      QWidget* pParent = nullptr);
    ~CChmContentsPanel() override;

    // The address an entry shows; empty for a heading without a page.
    static QUrl TopicUrl(const QTreeWidgetItem* pItem);
    // Selects the entry of url, if the book lists it; the page is not loaded again.
    void SelectUrl(const QUrl& url);

private:
    void addTopics(const std::vector<ChmTopic>& topics, QTreeWidgetItem* pParent, int nDepth);
    void onItemChosen(QTreeWidgetItem* pItem);

    QString m_strHost;
    QWebEngineView* m_pBrowser;
    bool m_bSelecting = false;
};
