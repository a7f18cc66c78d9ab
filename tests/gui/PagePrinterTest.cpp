#include "browser/PagePrinter.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include "TempFolder.h"
#include "browser/BrowserCommands.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "common/Text.h"

namespace
{
// Records the status texts the view reports, as the frame's status bar shows them.
class StatusHost final
{
public:
    void Attach(CTrawlixView& view)
    {
        QObject::connect(&view, &CTrawlixView::statusTextReported, &view,
                         [this](const QString& strText) { m_status.append(strText); });
    }

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
    void printToPrinterHandsThePdfToThePrintSystem_data();
    void printToPrinterHandsThePdfToThePrintSystem();

private:
    void showLongPage(int nLines);

    std::unique_ptr<TempFolder> m_pFolder;
    StatusHost m_host;
    std::unique_ptr<CTrawlixView> m_pView;
};

void PagePrinterTest::init()
{
    m_pFolder = std::make_unique<TempFolder>();
    m_host = StatusHost();
    m_pView = std::make_unique<CTrawlixView>();
    m_host.Attach(*m_pView);
    m_pView->resize(800, 600);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
}

void PagePrinterTest::cleanup()
{
    m_pView.reset();
    m_pFolder.reset();
}

void PagePrinterTest::showLongPage(int nLines)
{
    QByteArray html = "<html><head><meta charset='utf-8'><title>Long</title></head><body>";
    for (int i = 0; i < nLines; ++i) {
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
}

void PagePrinterTest::printToFileWritesTextPages()
{
    showLongPage(600);
    CBrowserTabCtrl* pTabs = m_pView->TabCtrl();

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

void PagePrinterTest::printToPrinterHandsThePdfToThePrintSystem_data()
{
    QTest::addColumn<int>("nLpExit");
    QTest::newRow("the print system takes the job") << 0;
    QTest::newRow("the print system refuses it") << 1;
}

// A real printer: the engine's PDF goes to the print system's "lp" as it is, with the dialog's copies
// and title. Here "lp" is a stand-in on PATH that keeps what it was given.
void PagePrinterTest::printToPrinterHandsThePdfToThePrintSystem()
{
    QFETCH(int, nLpExit);
    const QString strBin = toQ(m_pFolder->file("bin"));
    QVERIFY(QDir().mkpath(strBin));
    const QString strArgs = toQ(m_pFolder->file("lp-args"));
    const QString strSpooled = toQ(m_pFolder->file("spooled.pdf"));
    QFile lp(strBin + QStringLiteral("/lp"));
    QVERIFY(lp.open(QIODevice::WriteOnly));
    lp.write(QStringLiteral("#!/bin/sh\n"
                            "printf '%s\\n' \"$@\" > '%1'\n"
                            "for last; do :; done\n"
                            "cp \"$last\" '%2'\n"
                            "exit %3\n")
                 .arg(strArgs, strSpooled)
                 .arg(nLpExit)
                 .toUtf8());
    lp.close();
    QVERIFY(lp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(strBin) + ':' + oldPath);
    auto restorePath = qScopeGuard([&] { qputenv("PATH", oldPath); });

    showLongPage(200);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(QString());
    printer.setCopyCount(2);
    printer.setDocName(QStringLiteral("长页面"));
    CPagePrinter* pPagePrinter = m_pView->PagePrinter();
    QSignalSpy finished(pPagePrinter, &CPagePrinter::finished);
    QVERIFY(pPagePrinter->Print(m_pView->TabCtrl()->CurrentBrowser()->page(), printer));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);

    QCOMPARE(finished.at(0).at(0).toBool(), nLpExit == 0);
    QCOMPARE(m_host.m_status.last(), nLpExit == 0 ? CPagePrinter::DoneText() : CPagePrinter::FailedText());
    QFile args(strArgs);
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QStringList given = QString::fromUtf8(args.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // A printer name comes first where the print system has one; the file to print comes last.
    // (Without a print system the printer keeps no two-sided setting, so "-o sides=…" is not tried here.)
    const QStringList expected{QStringLiteral("-n"), QStringLiteral("2"), QStringLiteral("-t"),
                               QStringLiteral("长页面"), QStringLiteral("--")};
    QVERIFY2(given.mid(given.indexOf(QStringLiteral("-n")), expected.size()) == expected,
             qPrintable(given.join(QLatin1Char(' '))));
    QCOMPARE(given.size(), given.indexOf(QStringLiteral("--")) + 2);
    QPdfDocument document;
    document.load(strSpooled);
    QCOMPARE(document.status(), QPdfDocument::Status::Ready);
    QVERIFY(document.pageCount() >= 3);
    QVERIFY(document.getAllText(document.pageCount() - 1).text().contains(QStringLiteral("Line 199")));
}

QTEST_MAIN(PagePrinterTest)
#include "PagePrinterTest.moc"
