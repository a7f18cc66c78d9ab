#include "wizards/AddPageDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/UserPrompts.h"
#include "wizards/RenderProgram.h"
#include "wizards/UrlRangeCheck.h"

namespace
{
QLabel* wrappedLabel(const QString& strText, QWidget* parent)
{
    auto* label = new QLabel(strText, parent);
    label->setWordWrap(true);
    return label;
}
} // namespace

CAddPageDlg::CAddPageDlg(CUserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_prompts(prompts)
    , m_pFrom(new QLineEdit(this))
    , m_pTo(new QLineEdit(this))
    , m_pKeepScripts(new QCheckBox(QStringLiteral("保存网页中script代码"), this))
    , m_pComplete(new QCheckBox(QStringLiteral("完整保存网页(样式表、字体、响应式图片、站内链接)"), this))
    , m_pRender(new QCheckBox(QStringLiteral("按浏览器显示的样子保存(执行网页脚本)"), this))
{
    setObjectName(QStringLiteral("addPageDlg"));
    setWindowTitle(QStringLiteral("添加网页到工程"));
    m_pFrom->setObjectName(QStringLiteral("fromEdit"));
    m_pTo->setObjectName(QStringLiteral("toEdit"));
    m_pKeepScripts->setObjectName(QStringLiteral("keepScriptsCheck"));
    m_pComplete->setObjectName(QStringLiteral("completeCheck"));
    m_pRender->setObjectName(QStringLiteral("renderCheck"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("选择起始网页的URL:"), this));
    layout->addWidget(new QLabel(QStringLiteral("从网址:"), this));
    layout->addWidget(m_pFrom);
    layout->addWidget(new QLabel(QStringLiteral("到网址:"), this));
    layout->addWidget(m_pTo);
    layout->addWidget(wrappedLabel(QStringLiteral("温馨提示:\n"
                                                  "起始网页的网址字符串必须是连续的 例如:\n"
                                                  "    从 http://www.example.com/news/page1.html\n"
                                                  "    到 http://www.example.com/news/page100.html\n"
                                                  "只要两个字符串相异的地方是数字即可。\n"
                                                  "如果只填写了开始项或结束项，表示只下载当前1个网页。"),
                                   this));
    layout->addWidget(m_pKeepScripts);
    layout->addWidget(wrappedLabel(
        QStringLiteral(
            "    网页中的script代码，多是一些网页的特效。如果您下载网页只是为了文字／图像的浏览，您可以不保存网"
            "页中的script,这样您下载的网页将更简洁，加载更迅速，生成电子书(CHM)更方便。"),
        this));
    layout->addWidget(m_pComplete);
    layout->addWidget(m_pRender);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    // Cancel is the default button: Enter in a box does not start a download by accident.
    ok->setAutoDefault(false);
    cancel->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CAddPageDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAddPageDlg::reject);
    setMinimumWidth(520);
}

CAddPageDlg::~CAddPageDlg() = default;

QString CAddPageDlg::Caption()
{
    return QStringLiteral("Add Webpage Wizard");
}

void CAddPageDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_pFrom->setText(m_strFromUrl);
        m_pTo->setText(m_strToUrl);
        m_pKeepScripts->setChecked(m_bKeepScripts != 0);
        m_pComplete->setChecked(m_bComplete != 0);
        m_pRender->setChecked(m_bRender != 0);
    }
    QDialog::showEvent(event);
}

void CAddPageDlg::accept()
{
    m_strFromUrl = m_pFrom->text();
    m_strToUrl = m_pTo->text();
    m_bKeepScripts = m_pKeepScripts->isChecked() ? 1 : 0;
    m_bComplete = m_pComplete->isChecked() ? 1 : 0;
    m_bRender = m_pRender->isChecked() ? 1 : 0;
    if (!ExpandsToPages(m_strFromUrl, m_strToUrl)) {
        m_prompts.messageBox(this, QMessageBox::Warning, Caption(),
                             QStringLiteral("起始网址字符串不是可识别规则字符串."), QMessageBox::Ok);
        m_pFrom->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (const QString strWhy = m_bRender ? RenderProgramMissing() : QString(); !strWhy.isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, Caption(), strWhy, QMessageBox::Ok);
        m_pRender->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}
