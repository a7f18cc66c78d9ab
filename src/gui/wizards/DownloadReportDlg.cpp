#include "wizards/DownloadReportDlg.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CDownloadReportDlg::CDownloadReportDlg(QWidget* parent)
    : QDialog(parent)
    , m_pList(new QListWidget(this))
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
    const QStringList fields = strSummary.split(QLatin1Char('\t'));
    const auto field = [&fields](int n) { return n < fields.size() ? fields.at(n).trimmed() : QString(); };
    const QString indent(9, QLatin1Char(' '));
    return {
        QStringLiteral("工程名:"),       indent + field(0), QStringLiteral("下载网页成功:"), indent + field(1),
        QStringLiteral("下载网页失败:"), indent + field(2), QStringLiteral("网页保存路径:"), indent + field(3),
    };
}

void CDownloadReportDlg::showEvent(QShowEvent* event)
{
    if (!m_bFilled) {
        m_bFilled = true;
        m_pList->addItems(ReportLines(m_strSummary));
    }
    QDialog::showEvent(event);
}
