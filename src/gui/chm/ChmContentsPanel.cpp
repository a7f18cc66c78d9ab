#include "chm/ChmContentsPanel.h"

#include <QHeaderView>
#include <QTreeWidgetItemIterator>
#include <QWebEngineView>

#include "chm/ChmSchemeHandler.h"
#include "ui/Icons.h"

namespace
{
constexpr int kUrlRole = Qt::UserRole + 1;
// The tree's pictures: a closed book folder, a page.
constexpr int kFolderIcon = 0;
constexpr int kPageIcon = 2;

QUrl WithoutFragment(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveFragment);
}
} // namespace

CChmContentsPanel::CChmContentsPanel(const std::vector<ChmTopic>& topics,
                                     const QString& strHost,
                                     QWebEngineView* pBrowser,
                                     QWidget* pParent)
    : QTreeWidget(pParent)
    , m_strHost(strHost)
    , m_pBrowser(pBrowser)
{
    setObjectName(QStringLiteral("chmContents"));
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(true);
    header()->setStretchLastSection(true);
    addTopics(topics, nullptr, 0);
    // A short contents opens whole; a long one shows its first level.
    if (topLevelItemCount() <= 3) {
        expandToDepth(0);
    }
    connect(this, &QTreeWidget::itemClicked, this, &CChmContentsPanel::onItemChosen);
    connect(this, &QTreeWidget::itemActivated, this, &CChmContentsPanel::onItemChosen);
    connect(m_pBrowser, &QWebEngineView::urlChanged, this, &CChmContentsPanel::SelectUrl);
}

CChmContentsPanel::~CChmContentsPanel() = default;

void CChmContentsPanel::addTopics(const std::vector<ChmTopic>& topics, QTreeWidgetItem* pParent, int nDepth)
{
    for (const ChmTopic& topic : topics) {
        auto* pItem = pParent ? new QTreeWidgetItem(pParent) : new QTreeWidgetItem(this);
        pItem->setText(0, topic.strName);
        pItem->setToolTip(0, topic.strName);
        QUrl url;
        if (topic.strLocal.startsWith(QLatin1Char('/'))) {
            url = CChmSchemeHandler::UrlOf(m_strHost, topic.strLocal);
        } else if (!topic.strLocal.isEmpty()) {
            url = QUrl(topic.strLocal);
        }
        pItem->setData(0, kUrlRole, url);
        pItem->setIcon(0, treeIcon(topic.children.empty() ? kPageIcon : kFolderIcon));
        if (nDepth < CChmSitemap::MAX_DEPTH) {
            addTopics(topic.children, pItem, nDepth + 1);
        }
    }
}

QUrl CChmContentsPanel::TopicUrl(const QTreeWidgetItem* pItem)
{
    return pItem ? pItem->data(0, kUrlRole).toUrl() : QUrl();
}

void CChmContentsPanel::onItemChosen(QTreeWidgetItem* pItem)
{
    if (m_bSelecting) {
        return;
    }
    const QUrl url = TopicUrl(pItem);
    if (url.isValid() && !url.isEmpty() && url != m_pBrowser->url()) {
        m_pBrowser->load(url);
    }
}

void CChmContentsPanel::SelectUrl(const QUrl& url)
{
    QTreeWidgetItem* pExact = nullptr;
    QTreeWidgetItem* pSamePage = nullptr;
    for (QTreeWidgetItemIterator it(this); *it && !pExact; ++it) {
        const QUrl itemUrl = TopicUrl(*it);
        if (itemUrl == url) {
            pExact = *it;
        } else if (!pSamePage && WithoutFragment(itemUrl) == WithoutFragment(url)) {
            pSamePage = *it;
        }
    }
    QTreeWidgetItem* pItem = pExact ? pExact : pSamePage;
    if (!pItem || pItem == currentItem()) {
        return;
    }
    m_bSelecting = true;
    setCurrentItem(pItem);
    scrollToItem(pItem);
    m_bSelecting = false;
}
