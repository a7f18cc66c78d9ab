#include "browser/PagePrinter.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTest>

#include "TempFolder.h"
#include "app/Text.h"
#include "browser/BrowserCommands.h"
#include "browser/BrowserHost.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"

namespace
{
class StatusHost final : public IBrowserHost
{
public:
    void SetAddressText(const QString& strText) override { m_strAddress = strText; }
    QString GetAddressText() const override { return m_strAddress; }
    void SetProgress(int) override {}
    void SetProgressValue(int) override {}
    void SetStatusText(const QString& strText) override { m_status.append(strText); }

    QString m_strAddress;
    QStringList m_status;
};

bool isEnabled(const CTrawlixView& view, int nId)
{
    bool bEnabled = false;
    bool bChecked = false;
    view.UpdateCommand(nId, bEnabled, bChecked);
    return bEnabled;
}
} // namespace

// Printing goes through the engine's PDF: pages stay text, files stay small, and the window says what
// is going on while it runs.
class PagePrinterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void printToFileWritesTextPages();

private:
    std::unique_ptr<TempFolder> m_pFolder;
    StatusHost m_host;
    std::unique_ptr<CTrawlixView> m_pView;
};

void PagePrinterTest::init()
{
    m_pFolder = std::make_unique<TempFolder>();
    m_host = StatusHost();
    m_pView = std::make_unique<CTrawlixView>(&m_host);
    m_pView->resize(800, 600);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
}

void PagePrinterTest::cleanup()
{
    m_pView.reset();
    m_pFolder.reset();
}

void PagePrinterTest::printToFileWritesTextPages()
{
    QByteArray html = "<html><head><meta charset='utf-8'><title>Long</title></head><body>";
    for (int i = 0; i < 600; ++i) {
        html += "<p>第 " + QByteArray::number(i) + " 行 Line " + QByteArray::number(i) +
                " of a page long enough for many sheets of paper.</p>";
    }
    html += "</body></html>";
    const QString strPage = toQ(m_pFolder->file("long.htm"));
    QFile page(strPage);
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write(html);
    page.close();
    m_pView->ShowUrl(strPage);
    CBrowserTabCtrl* pTabs = m_pView->TabCtrl();
    QTRY_COMPARE(pTabs->Count(), 1);
    QTRY_COMPARE(pTabs->CurrentBrowser()->Progress(), 100);

    const QString strPdf = toQ(m_pFolder->file("long.pdf"));
    QPrinter* pPrinter = m_pView->Printer();
    pPrinter->setOutputFormat(QPrinter::PdfFormat);
    pPrinter->setOutputFileName(strPdf);
    CPagePrinter* pPagePrinter = m_pView->PagePrinter();
    QSignalSpy finished(pPagePrinter, &CPagePrinter::finished);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(pPagePrinter->Print(pTabs->CurrentBrowser()->page(), *pPrinter));

    // While it runs: a busy window, the reason on the status bar, the print commands waiting.
    QVERIFY(pPagePrinter->IsBusy());
    QVERIFY(m_pView->findChild<QProgressDialog*>(QStringLiteral("printProgress")));
    QCOMPARE(m_host.m_status.last(), CPagePrinter::BusyText());
    QVERIFY(!isEnabled(*m_pView, browsercmd::ID_FILE_PRINT));
    QVERIFY(!isEnabled(*m_pView, browsercmd::ID_FILE_PRINT_PREVIEW));
    QVERIFY(!isEnabled(*m_pView, browsercmd::ID_FILE_PRINT_SETUP));
    QVERIFY(!pPagePrinter->Print(pTabs->CurrentBrowser()->page(), *pPrinter));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    qInfo("printed to PDF in %lld ms", static_cast<long long>(timer.elapsed()));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(m_host.m_status.last(), CPagePrinter::DoneText());
    QVERIFY(!m_pView->findChild<QProgressDialog*>(QStringLiteral("printProgress")));
    QVERIFY(isEnabled(*m_pView, browsercmd::ID_FILE_PRINT));

    // Many pages of text, not pictures of it: small, and the words can be read back out of it.
    QFile pdf(strPdf);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    qInfo("%lld bytes", static_cast<long long>(pdf.size()));
    QVERIFY(pdf.size() < 2 * 1024 * 1024);
    QPdfDocument document;
    document.load(strPdf);
    QCOMPARE(document.status(), QPdfDocument::Status::Ready);
    QVERIFY(document.pageCount() >= 10);
    QVERIFY(document.getAllText(0).text().contains(QStringLiteral("Line 0 of a page")));
    QVERIFY(document.getAllText(document.pageCount() - 1).text().contains(QStringLiteral("Line 599")));
}

QTEST_MAIN(PagePrinterTest)
#include "PagePrinterTest.moc"
