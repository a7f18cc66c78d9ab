#pragma once

#include <functional>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QPrinter;
class QProgressDialog;
class QWebEnginePage;
class QWidget;

// Prints one page through the engine's own PDF output, so pages stay text and lines instead of
// pictures: a file printer gets the engine's PDF written straight to its file; a real printer gets that
// PDF handed to the print system ("lp"), or drawn page by page where there is none. While a print runs
// a small window says so and the status bar tells why the print commands wait.
class CPagePrinter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPagePrinter)

public:
    explicit CPagePrinter(QWidget* pParent);
    ~CPagePrinter() override;

    bool IsBusy() const { return m_bBusy; }
    // Starts printing the page with the printer's settings (paper, margins, pages, copies, file);
    // false when a print already runs.
    bool Print(QWebEnginePage* pPage, QPrinter& printer);
    // Lays the page out for the printer's paper and hands the PDF to onReady (empty when it failed).
    bool MakePdf(QWebEnginePage* pPage, const QPrinter& printer, std::function<void(const QByteArray&)> onReady);

    // The status-bar texts of a print.
    static QString BusyText();
    static QString DoneText();
    static QString FailedText();

signals:
    // A print or PDF has ended; bOk false when nothing or not all of it was printed.
    void finished(bool bOk);
    // Why the print commands wait, and how the print ended, for the status bar.
    void statusTextReported(const QString& strText);

private:
    void begin(const QString& strWhat);
    void end(bool bOk);
    bool sendToPrinter(const QByteArray& pdf, QPrinter& printer);
    static bool drawOnPrinter(const QByteArray& pdf, QPrinter& printer);

    QWidget* m_pParent;
    QPointer<QProgressDialog> m_pProgress;
    bool m_bBusy = false;
};
