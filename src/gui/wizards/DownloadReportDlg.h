#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class CDialogAnimation;
class QListWidget;

// The report shown when a download job ends: project, saved and failed page counts, save folder.
class CDownloadReportDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDownloadReportDlg)

public:
    static constexpr int kListId = 1010;

    explicit CDownloadReportDlg(QWidget* parent = nullptr);
    ~CDownloadReportDlg() override;

    // The job's summary: project name, saved count, failed count and save path, TAB-separated.
    QString m_strSummary;
    // Lines shown instead of the summary's (an update's report).
    QStringList m_lines;

    // The eight lines the list shows for a summary.
    static QStringList ReportLines(const QString& strSummary);
    QListWidget* List() const { return m_pList; }
    CDialogAnimation* Animation() const { return m_pAnimation; }

public slots:
    // Closes after the fade-out.
    void done(int nResult) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QListWidget* m_pList;
    CDialogAnimation* m_pAnimation;
    bool m_bFilled = false;
};
