#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QTimer>
#include <QWidget>

#include "search/SearchIndex.h"

class CDesktopSearch;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

// The search box above the project tree and the list of what it found: each hit's title, project and a
// snippet with the matches in bold, best first. Typing runs the query shortly after the last key; the
// list runs it again when the index changes, so it follows pages as they are saved. Enter or a click on
// a hit asks for its saved page.
class CSearchPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSearchPanel)

public:
    // Item data of a hit in the list.
    static constexpr int kRoleFile = Qt::UserRole + 1;
    static constexpr int kRoleFind = Qt::UserRole + 2;
    static constexpr int kRoleHtml = Qt::UserRole + 3;
    // Most hits shown.
    static constexpr int kMaxHits = 50;

    explicit CSearchPanel(CDesktopSearch& search, QWidget* parent = nullptr);
    ~CSearchPanel() override;

    QLineEdit* Box() const { return m_wndBox; }
    QListWidget* Results() const { return m_wndResults; }
    // The focus goes to the box, its text selected.
    void FocusBox();

    // The text to find in a hit's page: its first match as the snippet shows it, else the query's first
    // word or phrase.
    static QString FindText(const QString& strSnippet, const QString& strQuery);
    // The snippet as rich text, the matches in bold.
    static QString SnippetHtml(const QString& strSnippet);

signals:
    // A hit was chosen: its saved page and the text to highlight there.
    void pageChosen(const QString& strFile, const QString& strFind);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runQuery();
    void onResults(std::uint64_t nQuery, const std::vector<SearchHit>& hits, const SearchStatus& status);
    void choose(const QListWidgetItem* item);
    void showResults(bool bShow);

    CDesktopSearch& m_search;
    QLineEdit* m_wndBox;
    QListWidget* m_wndResults;
    QLabel* m_wndStatus;
    // Runs the query once typing or indexing has paused.
    QTimer m_queryTimer;
    std::uint64_t m_nQuery = 0;
    QString m_strShownQuery;
    // Enter came before the typed query's hits: the best one opens when they arrive.
    bool m_bChooseBest = false;
};
