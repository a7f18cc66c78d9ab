#include "wizards/DownloadReportDlg.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/Text.h"
#include "download/DownloadLog.h"
#include "wizards/DialogAnimation.h"

CDownloadReportDlg::CDownloadReportDlg(QWidget* parent)
    : QDialog(parent)
    , m_pList(new QListWidget(this))
    , m_pAnimation(new CDialogAnimation(this))
{
    setObjectName(QStringLiteral("downloadReportDlg"));
    setWindowTitle(QStringLiteral("工程下载完成"));
    m_pList->setObjectName(QStringLiteral("reportList"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDownloadReportDlg::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addWidget(buttons);
    resize(380, 260);
}

CDownloadReportDlg::~CDownloadReportDlg() = default;

QStringList CDownloadReportDlg::ReportLines(const QString& strSummary)
{
    QStringList lines;
    for (const auto& strLine : DownloadReportLines(fromQ(strSummary))) {
        lines.append(toQ(strLine));
    }
    return lines;
}

void CDownloadReportDlg::showEvent(QShowEvent* event)
{
    if (!m_bFilled) {
        m_bFilled = true;
        m_pList->addItems(m_lines.isEmpty() ? ReportLines(m_strSummary) : m_lines);
    }
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        m_pAnimation->Open();
    }
}

void CDownloadReportDlg::done(int nResult)
{
    if (!isVisible()) {
        QDialog::done(nResult);
        return;
    }
    m_pAnimation->Close([this, nResult] { QDialog::done(nResult); });
}
