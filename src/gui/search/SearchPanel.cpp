#include "search/SearchPanel.h"

#include <utility>

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

#include "common/Text.h"
#include "search/DesktopSearch.h"

namespace
{
// Typing pauses this long before the query runs.
constexpr int kTypingDelayMs = 200;
// A list shown runs its query again this long after the index changed (pages come in bursts).
constexpr int kIndexDelayMs = 400;
constexpr int kPadding = 4;

// Draws a hit's rich text (title, project, snippet) over the item's usual background.
class CHitDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        const QWidget* widget = item.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style) {
            style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        }
        QTextDocument document;
        layOut(document, index, item, item.rect.width());
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = item.palette;
        if (item.state & QStyle::State_Selected) {
            context.palette.setColor(QPalette::Text, item.palette.color(QPalette::HighlightedText));
        }
        painter->save();
        painter->translate(item.rect.topLeft() + QPoint(kPadding, kPadding / 2));
        painter->setClipRect(QRect(QPoint(0, 0), item.rect.size()));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        const int nWidth = view ? view->viewport()->width() : option.rect.width();
        QTextDocument document;
        layOut(document, index, option, nWidth);
        return {nWidth, static_cast<int>(document.size().height()) + kPadding};
    }

private:
    static void
    layOut(QTextDocument& document, const QModelIndex& index, const QStyleOptionViewItem& option, int nWidth)
    {
        document.setDefaultFont(option.font);
        // The project in grey, unless the selection's colours are in force.
        document.setDefaultStyleSheet((option.state & QStyle::State_Selected)
                                          ? QStringLiteral(".project{}")
                                          : QStringLiteral(".project{color:#707070}"));
        document.setDocumentMargin(0);
        document.setHtml(index.data(CSearchPanel::kRoleHtml).toString());
        document.setTextWidth(qMax(40, nWidth - 2 * kPadding));
    }
};

QString hitHtml(const SearchHit& hit)
{
    const QString strTitle = toQ(hit.m_strTitle).trimmed();
    return QStringLiteral("<div style=\"font-weight:600\">%1</div><div class=\"project\">%2</div><div>%3</div>")
        .arg((strTitle.isEmpty() ? QStringLiteral("(无标题)") : strTitle).toHtmlEscaped(),
             toQ(hit.m_strProject).toHtmlEscaped(), CSearchPanel::SnippetHtml(toQ(hit.m_strSnippet)));
}
} // namespace

CSearchPanel::CSearchPanel(CDesktopSearch& search, QWidget* parent)
    : QWidget(parent)
    , m_search(search)
    , m_wndBox(new QLineEdit(this))
    , m_wndResults(new QListWidget(this))
    , m_wndStatus(new QLabel(this))
{
    setObjectName(QStringLiteral("searchPanel"));
    m_wndBox->setObjectName(QStringLiteral("searchBox"));
    m_wndBox->setPlaceholderText(QStringLiteral("搜索"));
    m_wndBox->setAccessibleName(QStringLiteral("搜索"));
    m_wndBox->setClearButtonEnabled(true);
    m_wndBox->installEventFilter(this);

    m_wndResults->setObjectName(QStringLiteral("searchResults"));
    m_wndResults->setItemDelegate(new CHitDelegate(m_wndResults));
    m_wndResults->setResizeMode(QListView::Adjust);
    m_wndResults->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_wndResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_wndResults->installEventFilter(this);
    m_wndStatus->setObjectName(QStringLiteral("searchStatus"));
    m_wndStatus->setContentsMargins(kPadding, 0, kPadding, 0);
    m_wndStatus->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_wndBox);
    layout->addWidget(m_wndStatus);
    layout->addWidget(m_wndResults, 1);
    showResults(false);

    m_queryTimer.setSingleShot(true);
    connect(&m_queryTimer, &QTimer::timeout, this, &CSearchPanel::runQuery);
    connect(m_wndBox, &QLineEdit::textChanged, this, [this](const QString& strText) {
        m_bChooseBest = false;
        if (strText.trimmed().isEmpty()) {
            m_queryTimer.stop();
            ++m_nQuery; // results still on their way are not shown
            m_strShownQuery.clear();
            m_wndResults->clear();
            showResults(false);
            return;
        }
        m_queryTimer.start(kTypingDelayMs);
    });
    connect(&m_search, &CDesktopSearch::indexChanged, this, [this] {
        if (!m_strShownQuery.isEmpty() && !m_queryTimer.isActive()) {
            m_queryTimer.start(kIndexDelayMs);
        }
    });
    connect(&m_search, &CDesktopSearch::resultsReady, this, &CSearchPanel::onResults);
    connect(m_wndResults, &QListWidget::itemClicked, this, &CSearchPanel::choose);
}

CSearchPanel::~CSearchPanel() = default;

void CSearchPanel::FocusBox()
{
    m_wndBox->setFocus(Qt::ShortcutFocusReason);
    m_wndBox->selectAll();
}

QString CSearchPanel::SnippetHtml(const QString& strSnippet)
{
    QString strHtml = strSnippet.toHtmlEscaped();
    strHtml.replace(QChar(CDesktopSearch::kMatchOpen), QStringLiteral("<b>"));
    strHtml.replace(QChar(CDesktopSearch::kMatchClose), QStringLiteral("</b>"));
    return strHtml;
}

QString CSearchPanel::FindText(const QString& strSnippet, const QString& strQuery)
{
    const qsizetype nOpen = strSnippet.indexOf(QChar(CDesktopSearch::kMatchOpen));
    const qsizetype nClose = strSnippet.indexOf(QChar(CDesktopSearch::kMatchClose), nOpen + 1);
    if (nOpen >= 0 && nClose > nOpen + 1) {
        return strSnippet.mid(nOpen + 1, nClose - nOpen - 1).trimmed();
    }
    // The first word or "phrase" that is looked for, not an operator or an excluded word.
    const QString strText = strQuery.trimmed();
    qsizetype i = 0;
    while (i < strText.size()) {
        if (strText.at(i).isSpace() || strText.at(i) == QLatin1Char('(') || strText.at(i) == QLatin1Char(')')) {
            ++i;
            continue;
        }
        const bool bNot = strText.at(i) == QLatin1Char('-');
        if (bNot) {
            ++i;
        }
        QString strTerm;
        if (i < strText.size() && strText.at(i) == QLatin1Char('"')) {
            const qsizetype nEnd = strText.indexOf(QLatin1Char('"'), i + 1);
            strTerm = strText.mid(i + 1, nEnd < 0 ? -1 : nEnd - i - 1);
            i = nEnd < 0 ? strText.size() : nEnd + 1;
        } else {
            const qsizetype nStart = i;
            while (i < strText.size() && !strText.at(i).isSpace() && strText.at(i) != QLatin1Char('(') &&
                   strText.at(i) != QLatin1Char(')')) {
                ++i;
            }
            strTerm = strText.mid(nStart, i - nStart);
            if (strTerm == QLatin1String("AND") || strTerm == QLatin1String("OR") || strTerm == QLatin1String("NOT")) {
                continue;
            }
            if (strTerm.endsWith(QLatin1Char('*'))) {
                strTerm.chop(1);
            }
        }
        if (!bNot && !strTerm.trimmed().isEmpty()) {
            return strTerm.trimmed();
        }
    }
    return {};
}

bool CSearchPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const int nKey = static_cast<QKeyEvent*>(event)->key();
    const bool bEnter = nKey == Qt::Key_Return || nKey == Qt::Key_Enter;
    if (watched == m_wndBox) {
        if (bEnter) {
            // Enter in the box opens the hit picked in the list, or the best one (once found).
            if (m_queryTimer.isActive() || m_strShownQuery != m_wndBox->text().trimmed()) {
                runQuery();
                m_bChooseBest = !m_strShownQuery.isEmpty();
                return true;
            }
            const QListWidgetItem* item = m_wndResults->currentItem();
            choose(item ? item : m_wndResults->item(0));
            return true;
        }
        if (nKey == Qt::Key_Down && m_wndResults->count() > 0) {
            m_wndResults->setFocus(Qt::TabFocusReason);
            if (!m_wndResults->currentItem()) {
                m_wndResults->setCurrentRow(0);
            }
            return true;
        }
        if (nKey == Qt::Key_Escape && !m_wndBox->text().isEmpty()) {
            m_wndBox->clear();
            return true;
        }
    } else if (watched == m_wndResults) {
        if (bEnter) {
            choose(m_wndResults->currentItem());
            return true;
        }
        if (nKey == Qt::Key_Up && m_wndResults->currentRow() <= 0) {
            m_wndBox->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSearchPanel::runQuery()
{
    m_queryTimer.stop();
    const QString strQuery = m_wndBox->text().trimmed();
    if (strQuery.isEmpty()) {
        return;
    }
    m_strShownQuery = strQuery;
    m_nQuery = m_search.Search(strQuery, kMaxHits);
}

void CSearchPanel::onResults(std::uint64_t nQuery, const std::vector<SearchHit>& hits, const SearchStatus& status)
{
    if (nQuery != m_nQuery) {
        return; // an older query, or the box was emptied since
    }
    // The same page stays picked when the list is filled again.
    const QListWidgetItem* current = m_wndResults->currentItem();
    const QString strCurrent = current ? current->data(kRoleFile).toString() : QString();
    m_wndResults->clear();
    for (const SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(toQ(hit.m_strTitle), m_wndResults);
        const QString strSnippet = toQ(hit.m_strSnippet);
        item->setData(kRoleFile, toQ(hit.m_strFile));
        item->setData(kRoleFind, FindText(strSnippet, m_strShownQuery));
        item->setData(kRoleHtml, hitHtml(hit));
        item->setToolTip(toQ(hit.m_strFile));
        if (!strCurrent.isEmpty() && toQ(hit.m_strFile) == strCurrent) {
            m_wndResults->setCurrentItem(item);
        }
    }
    using Code = SearchStatus::Code;
    QString strStatus;
    if (status.m_code == Code::BadQuery) {
        strStatus = QStringLiteral("无法理解这个查询");
    } else if (status.m_code != Code::Ok) {
        strStatus = QStringLiteral("搜索索引无法打开");
    } else if (hits.empty()) {
        strStatus = QStringLiteral("没有找到");
    }
    m_wndStatus->setText(strStatus);
    showResults(true);
    if (std::exchange(m_bChooseBest, false)) {
        choose(m_wndResults->item(0));
    }
}

void CSearchPanel::choose(const QListWidgetItem* item)
{
    if (item) {
        emit pageChosen(item->data(kRoleFile).toString(), item->data(kRoleFind).toString());
    }
}

void CSearchPanel::showResults(bool bShow)
{
    m_wndStatus->setVisible(bShow && !m_wndStatus->text().isEmpty());
    m_wndResults->setVisible(bShow && m_wndResults->count() > 0);
    // A shown list shares the height with the tree under it.
    setSizePolicy(QSizePolicy::Preferred,
                  m_wndResults->isVisibleTo(this) ? QSizePolicy::Expanding : QSizePolicy::Fixed);
}
