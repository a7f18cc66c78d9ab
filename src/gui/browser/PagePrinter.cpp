#include "browser/PagePrinter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QWebEnginePage>

#include "browser/PdfPages.h"

namespace
{
// Pages drawn as pictures (no print system to take the PDF) need no more than this for text.
constexpr int MAX_DRAW_DPI = 300;
} // namespace

CPagePrinter::CPagePrinter(QWidget* pParent)
    : QObject(pParent)
    , m_pParent(pParent)
{}

CPagePrinter::~CPagePrinter()
{
    delete m_pProgress;
}

QString CPagePrinter::BusyText()
{
    return QStringLiteral("正在打印，请稍候... 打印完成前不能再次打印或预览。");
}

QString CPagePrinter::DoneText()
{
    return QStringLiteral("打印完成。");
}

QString CPagePrinter::FailedText()
{
    return QStringLiteral("打印失败。");
}

void CPagePrinter::begin(const QString& strWhat)
{
    m_bBusy = true;
    emit statusTextReported(BusyText());
    // A busy bar without a figure: the engine does not tell how far it is.
    m_pProgress = new QProgressDialog(strWhat, QString(), 0, 0, m_pParent);
    m_pProgress->setObjectName(QStringLiteral("printProgress"));
    m_pProgress->setWindowTitle(QStringLiteral("打印"));
    m_pProgress->setWindowModality(Qt::NonModal);
    m_pProgress->setMinimumDuration(0);
    m_pProgress->setAutoClose(false);
    m_pProgress->setAutoReset(false);
    m_pProgress->show();
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

void CPagePrinter::end(bool bOk)
{
    if (!m_bBusy) {
        return;
    }
    m_bBusy = false;
    QApplication::restoreOverrideCursor();
    delete m_pProgress;
    emit statusTextReported(bOk ? DoneText() : FailedText());
    emit finished(bOk);
}

bool CPagePrinter::MakePdf(QWebEnginePage* pPage,
                           const QPrinter& printer,
                           std::function<void(const QByteArray&)> onReady)
{
    if (m_bBusy || !pPage) {
        return false;
    }
    begin(QStringLiteral("正在排版打印页面..."));
    QPointer<CPagePrinter> pSelf(this);
    pPage->printToPdf(
        [pSelf, onReady = std::move(onReady)](const QByteArray& pdf) {
            if (!pSelf) {
                return;
            }
            pSelf->end(!pdf.isEmpty());
            onReady(pdf);
        },
        printer.pageLayout(), printer.pageRanges());
    return true;
}

bool CPagePrinter::Print(QWebEnginePage* pPage, QPrinter& printer)
{
    if (m_bBusy || !pPage) {
        return false;
    }
    const QString strFile = printer.outputFileName();
    if (!strFile.isEmpty()) {
        // Into a file: the engine writes its PDF there itself.
        begin(QStringLiteral("正在打印到 %1 ...").arg(QDir::toNativeSeparators(strFile)));
        QPointer<CPagePrinter> pSelf(this);
        connect(
            pPage, &QWebEnginePage::pdfPrintingFinished, this,
            [pSelf](const QString&, bool bOk) {
                if (pSelf) {
                    pSelf->end(bOk);
                }
            },
            Qt::SingleShotConnection);
        pPage->printToPdf(strFile, printer.pageLayout(), printer.pageRanges());
        return true;
    }
    begin(QStringLiteral("正在打印到 %1 ...").arg(printer.printerName()));
    QPointer<CPagePrinter> pSelf(this);
    QPrinter* pPrinter = &printer;
    pPage->printToPdf(
        [pSelf, pPrinter](const QByteArray& pdf) {
            if (pSelf) {
                pSelf->end(!pdf.isEmpty() && pSelf->sendToPrinter(pdf, *pPrinter));
            }
        },
        printer.pageLayout(), printer.pageRanges());
    return true;
}

bool CPagePrinter::sendToPrinter(const QByteArray& pdf, QPrinter& printer)
{
    // The print system takes the PDF as it is: every page stays vector text.
    const QString strLp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (strLp.isEmpty()) {
        return drawOnPrinter(pdf, printer);
    }
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("trawlix-print-XXXXXX.pdf")));
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush()) {
        return false;
    }
    QStringList arguments;
    if (!printer.printerName().isEmpty()) {
        arguments << QStringLiteral("-d") << printer.printerName();
    }
    arguments << QStringLiteral("-n") << QString::number(qMax(1, printer.copyCount()));
    if (printer.duplex() == QPrinter::DuplexLongSide) {
        arguments << QStringLiteral("-o") << QStringLiteral("sides=two-sided-long-edge");
    } else if (printer.duplex() == QPrinter::DuplexShortSide) {
        arguments << QStringLiteral("-o") << QStringLiteral("sides=two-sided-short-edge");
    }
    if (!printer.docName().isEmpty()) {
        arguments << QStringLiteral("-t") << printer.docName();
    }
    arguments << QStringLiteral("--") << file.fileName();
    QProcess lp;
    lp.start(strLp, arguments);
    // lp only queues the file; it ends at once.
    return lp.waitForFinished(30000) && lp.exitStatus() == QProcess::NormalExit && lp.exitCode() == 0;
}

bool CPagePrinter::drawOnPrinter(const QByteArray& pdf, QPrinter& printer)
{
    CPdfPages pages(pdf);
    QPainter painter;
    return pages.IsReady() && painter.begin(&printer) && pages.Draw(printer, painter, MAX_DRAW_DPI) && painter.end();
}
