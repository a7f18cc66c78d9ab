#include "chm/ChmBuildDlg.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "common/Text.h"
#include "wizards/DialogAnimation.h"

CChmBuildDlg::CChmBuildDlg(CUserPrompts& prompts, std::function<void(const QString&)> showBook, QWidget* pParent)
    : QDialog(pParent)
    , m_prompts(prompts)
    , m_showBook(std::move(showBook))
    , m_pOutput(new QPlainTextEdit(this))
    , m_pShow(new QPushButton(QStringLiteral("显示CHM文件"), this))
    , m_pAnimation(new CDialogAnimation(this))
{
    setObjectName(QStringLiteral("chmBuildDlg"));
    setWindowTitle(QStringLiteral("生成CHM文件"));
    m_pOutput->setObjectName(QStringLiteral("edit%1").arg(kOutputId));
    m_pOutput->setReadOnly(true);
    m_pOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pShow->setObjectName(QStringLiteral("button%1").arg(kShowId));
    m_pShow->setEnabled(false);
    m_pShow->setAutoDefault(false);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(m_pShow);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pOutput, 1);
    pLayout->addLayout(pButtons);
    resize(560, 320);

    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(kStartDelayMs);
    connect(&m_startTimer, &QTimer::timeout, this, &CChmBuildDlg::startBuild);
    connect(m_pShow, &QPushButton::clicked, this, &CChmBuildDlg::onShow);
}

CChmBuildDlg::~CChmBuildDlg()
{
    // Normally the dialog has waited already; a dialog torn down otherwise still waits for its compiler.
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CChmBuildDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    if (m_bOpened) {
        return;
    }
    m_bOpened = true;
    m_pAnimation->Open();
    m_startTimer.start();
}

void CChmBuildDlg::startBuild()
{
    if (m_bStarted) {
        return;
    }
    m_bStarted = true;
    m_bBuilding = true;
    const ChmBuildParams params = m_params;
    // The thread only posts to the dialog, which outlives it: the dialog joins it before it goes.
    m_thread = std::thread([this, params] {
        const ChmBuildResult result = ChmBuildWorker(params, [this](const std::string& text) {
            QByteArray chunk(text.data(), static_cast<qsizetype>(text.size()));
            QMetaObject::invokeMethod(
                this, [this, chunk] { appendOutput(chunk); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(
            this, [this, result] { onBuildEnded(result); }, Qt::QueuedConnection);
    });
}

void CChmBuildDlg::appendOutput(const QByteArray& chunk)
{
    appendText(m_decoder.decode(chunk));
}

void CChmBuildDlg::appendText(const QString& strText)
{
    QString strPlain = strText;
    strPlain.remove(QLatin1Char('\r'));
    QTextCursor cursor(m_pOutput->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(strPlain);
    m_pOutput->verticalScrollBar()->setValue(m_pOutput->verticalScrollBar()->maximum());
}

QString CChmBuildDlg::ResultText(const ChmBuildResult& result, const QString& strChmFile)
{
    if (result.Succeeded()) {
        return QStringLiteral("CHM文件已生成: %1\r\n").arg(strChmFile);
    }
    if (result.m_nRefusedPage >= 0) {
        return QStringLiteral("没有生成CHM文件: 工程中的第 %1 个网页不是保存的网页文件。\r\n")
            .arg(result.m_nRefusedPage + 1);
    }
    if (!result.m_bCopied) {
        return QStringLiteral("没有生成CHM文件: 无法复制网页: %1\r\n").arg(toQ(result.m_strCopyError));
    }
    if (!result.m_bCompilerStarted) {
        return QStringLiteral("没有生成CHM文件: 无法启动编译程序 %1。\r\n").arg(QString::fromUtf8(kChmCompiler));
    }
    if (result.m_nCompilerStatus != 0) {
        return QStringLiteral("没有生成CHM文件: 编译程序出错 (退出码 %1)，请看上面的输出。\r\n")
            .arg(result.m_nCompilerStatus);
    }
    return QStringLiteral("没有生成CHM文件: 编译程序没有写出 %1。\r\n").arg(strChmFile);
}

void CChmBuildDlg::onBuildEnded(const ChmBuildResult& result)
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_result = result;
    m_bBuilding = false;
    m_bEnded = true;
    const QString strLast = m_pOutput->toPlainText();
    if (!strLast.isEmpty() && !strLast.endsWith(QLatin1Char('\n'))) {
        appendText(QStringLiteral("\n"));
    }
    appendText(ResultText(result, toQ(m_params.m_strChmFile)));
    // The compiler may fail and still leave a partial file: only a made book can be shown.
    m_pShow->setEnabled(result.Succeeded());
    if (result.Succeeded()) {
        m_pShow->setDefault(true);
        m_pShow->setFocus();
    }
    emit buildEnded();
    if (m_bCloseWhenEnded) {
        closeAnimated(QDialog::Rejected);
    }
}

void CChmBuildDlg::onShow()
{
    if (!m_result.Succeeded()) {
        return;
    }
    // The book opens in the main window's browser, which this modal dialog would cover: it closes.
    if (m_showBook) {
        m_showBook(toQ(m_params.m_strChmFile));
    }
    closeAnimated(QDialog::Accepted);
}

void CChmBuildDlg::reject()
{
    if (m_pAnimation->IsClosing()) {
        return;
    }
    if (m_bBuilding) {
        if (m_bCloseWhenEnded) {
            return;
        }
        const auto answer = m_prompts.messageBox(this, QMessageBox::Question, QStringLiteral("生成CHM文件"),
                                                 QStringLiteral("CHM文件正在生成。\n要在编译程序结束后关闭这个窗口吗?"),
                                                 QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes && m_bBuilding) {
            m_bCloseWhenEnded = true;
            appendText(QStringLiteral("正在等待编译程序结束......\r\n"));
        } else if (answer == QMessageBox::Yes) {
            closeAnimated(QDialog::Rejected);
        }
        return;
    }
    closeAnimated(QDialog::Rejected);
}

void CChmBuildDlg::closeAnimated(int nResult)
{
    // Closed before the build began: there is nothing to wait for.
    m_startTimer.stop();
    if (!isVisible()) {
        QDialog::done(nResult);
        return;
    }
    m_pAnimation->Close([this, nResult] { QDialog::done(nResult); });
}
