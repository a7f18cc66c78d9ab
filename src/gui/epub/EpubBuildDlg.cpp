#include "epub/EpubBuildDlg.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "common/Text.h"

namespace
{
QString failureText(const EpubBuildResult& result, const QString& strFile)
{
    switch (result.m_code) {
    case EpubBuildResult::Code::NoPages:
        return QStringLiteral("GetProjectInfo() faild !");
    case EpubBuildResult::Code::NoPageRead:
        return QStringLiteral("工程中的网页都无法读取,没有生成EPUB文件。");
    case EpubBuildResult::Code::NotAPage:
        return QStringLiteral("文件 %1 不是保存的网页，不能放进电子书。").arg(toQ(result.m_strRefusedFile));
    case EpubBuildResult::Code::CannotWrite:
        return QStringLiteral("无法写入EPUB文件 %1。\n%2").arg(strFile, toQ(result.m_strMessage));
    case EpubBuildResult::Code::Cancelled:
        return QStringLiteral("已取消,没有生成EPUB文件。");
    case EpubBuildResult::Code::Ok:
        break;
    }
    return {};
}
} // namespace

CEpubBuildDlg::CEpubBuildDlg(EpubBuildParams params, std::function<void(const QString&)> openBook, QWidget* pParent)
    : QDialog(pParent)
    , m_params(std::move(params))
    , m_openBook(std::move(openBook))
    , m_pStatus(new QLabel(QStringLiteral("开始生成EPUB文件,请稍后......."), this))
    , m_pProgress(new QProgressBar(this))
    , m_pLog(new QPlainTextEdit(this))
    , m_pOpen(new QPushButton(QStringLiteral("打开EPUB文件"), this))
    , m_pClose(new QPushButton(QStringLiteral("取消"), this))
{
    setObjectName(QStringLiteral("epubBuildDlg"));
    setWindowTitle(QStringLiteral("生成EPUB文件"));
    m_pStatus->setObjectName(QStringLiteral("statusText"));
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pProgress->setObjectName(QStringLiteral("progressBar"));
    m_pProgress->setRange(0, 0);
    m_pLog->setObjectName(QStringLiteral("skippedPages"));
    m_pLog->setReadOnly(true);
    m_pLog->setPlaceholderText(QStringLiteral("无法读取的网页会列在这里。"));
    m_pOpen->setObjectName(QStringLiteral("openButton"));
    m_pOpen->setEnabled(false);
    m_pClose->setObjectName(QStringLiteral("closeButton"));

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(m_pOpen);
    pButtons->addWidget(m_pClose);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pStatus);
    pLayout->addWidget(m_pProgress);
    pLayout->addWidget(m_pLog, 1);
    pLayout->addLayout(pButtons);
    resize(520, 300);

    connect(m_pClose, &QPushButton::clicked, this, &CEpubBuildDlg::reject);
    connect(m_pOpen, &QPushButton::clicked, this, [this] {
        const QString strFile = toQ(m_params.m_strEpubFile);
        if (m_openBook) {
            m_openBook(strFile);
        } else {
            QDesktopServices::openUrl(QUrl::fromLocalFile(strFile));
        }
    });
}

CEpubBuildDlg::~CEpubBuildDlg()
{
    stopAndWait();
}

void CEpubBuildDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Start();
}

void CEpubBuildDlg::Start()
{
    if (m_thread.joinable()) {
        return;
    }
    // The worker reports through queued calls with this dialog as their context: a call still queued
    // when the dialog goes is dropped, and the destructor joins the thread first.
    m_thread = std::thread([this] {
        const EpubBuildResult result = EpubBuildWorker(
            m_params,
            [this](int nDone, int nTotal, const std::string& strTitle) {
                QMetaObject::invokeMethod(
                    this, [this, nDone, nTotal, strTitle = toQ(strTitle)] { onProgress(nDone, nTotal, strTitle); },
                    Qt::QueuedConnection);
            },
            [this](const std::string& strFile, const std::string& strWhy) {
                QMetaObject::invokeMethod(
                    this, [this, strFile = toQ(strFile), strWhy = toQ(strWhy)] { onWarning(strFile, strWhy); },
                    Qt::QueuedConnection);
            },
            &m_bCancel);
        QMetaObject::invokeMethod(
            this, [this, result] { onFinished(result); }, Qt::QueuedConnection);
    });
}

void CEpubBuildDlg::onProgress(int nDone, int nTotal, const QString& strTitle)
{
    m_pProgress->setRange(0, nTotal);
    m_pProgress->setValue(nDone);
    m_pStatus->setText(QStringLiteral("正在生成EPUB文件,请稍后.......\n%1").arg(strTitle));
}

void CEpubBuildDlg::onWarning(const QString& strFile, const QString& strWhy)
{
    m_pLog->appendPlainText(QStringLiteral("跳过无法读取的网页: %1 (%2)").arg(strFile, strWhy));
}

void CEpubBuildDlg::onFinished(const EpubBuildResult& result)
{
    m_result = result;
    m_bDone = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    const QString strFile = toQ(m_params.m_strEpubFile);
    if (result.Succeeded()) {
        m_pProgress->setRange(0, 1);
        m_pProgress->setValue(1);
        QString strText = QStringLiteral("EPUB文件已生成,共 %1 个网页:\n%2").arg(result.m_nPages).arg(strFile);
        if (result.m_nSkipped > 0) {
            strText += QStringLiteral("\n%1 个网页无法读取,已跳过。").arg(result.m_nSkipped);
        }
        m_pStatus->setText(strText);
        m_pOpen->setEnabled(true);
        m_pOpen->setDefault(true);
        m_pOpen->setFocus();
    } else {
        m_pProgress->setRange(0, 1);
        m_pProgress->setValue(0);
        m_pStatus->setText(failureText(result, strFile));
    }
    m_pClose->setText(QStringLiteral("关闭"));
    emit buildFinished(result.Succeeded());
}

void CEpubBuildDlg::reject()
{
    stopAndWait();
    QDialog::reject();
}

void CEpubBuildDlg::stopAndWait()
{
    // The build checks the flag between pages, so the wait is short.
    m_bCancel = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
