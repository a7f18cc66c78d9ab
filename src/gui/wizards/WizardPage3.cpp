#include "wizards/WizardPage3.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "wizards/BrowseForFolder.h"
#include "wizards/RenderProgram.h"
#include "wizards/WizardSheet.h"

CWizardPage3::CWizardPage3(CUserPrompts& prompts, const CWizardDefaults& defaults, QWidget* parent)
    : QWizardPage(parent)
    , m_prompts(prompts)
    , m_defaults(defaults)
    , m_pFolder(new QLineEdit(this))
    , m_pBrowse(new QPushButton(QStringLiteral("浏览"), this))
    , m_pKeepScripts(new QCheckBox(QStringLiteral("保存网页中script代码"), this))
    , m_pComplete(new QCheckBox(QStringLiteral("完整保存网页(样式表、字体、响应式图片、站内链接)"), this))
    , m_pRender(new QCheckBox(QStringLiteral("按浏览器显示的样子保存(执行网页脚本)"), this))
{
    setObjectName(QStringLiteral("wizardPage3"));
    setTitle(QStringLiteral("设置保存目录"));
    setSubTitle(QStringLiteral(" "));
    m_pFolder->setObjectName(QStringLiteral("saveFolderEdit"));
    m_pBrowse->setObjectName(QStringLiteral("browseButton"));
    m_pKeepScripts->setObjectName(QStringLiteral("keepScriptsCheck"));
    m_pComplete->setObjectName(QStringLiteral("completeCheck"));
    m_pRender->setObjectName(QStringLiteral("renderCheck"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("选择下载后的网页保存路径:"), this));
    auto* row = new QHBoxLayout;
    row->addWidget(m_pFolder, 1);
    row->addWidget(m_pBrowse);
    layout->addLayout(row);
    layout->addSpacing(8);
    layout->addWidget(m_pKeepScripts);
    auto* hint =
        new QLabel(QStringLiteral("温馨提示:\n    网页中的script代码，多是一些网页的特效。如果您下载网页只是为了文字"
                                  "／图像的浏览，您可以不保存网页中的script,这样您下载的网页将更简洁，加载更迅"
                                  "速，生成电子书(CHM)更方便。"),
                   this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    layout->addSpacing(8);
    layout->addWidget(m_pComplete);
    layout->addWidget(m_pRender);
    layout->addStretch();

    connect(m_pBrowse, &QPushButton::clicked, this, &CWizardPage3::onBrowse);
}

CWizardPage3::~CWizardPage3() = default;

void CWizardPage3::initializePage()
{
    m_strSaveFolder = m_defaults.strDocumentsFolder;
    m_pFolder->setText(m_strSaveFolder);
    m_pKeepScripts->setChecked(m_bKeepScripts != 0);
    m_pComplete->setChecked(m_bComplete != 0);
    m_pRender->setChecked(m_bRender != 0);
}

void CWizardPage3::onBrowse()
{
    const QString strFolder =
        BrowseForFolder(m_prompts, this, QStringLiteral("选择存放目录:"), kBrowseOnlyFileSystemFolders);
    if (!strFolder.isEmpty()) {
        m_pFolder->setText(strFolder);
    }
}

bool CWizardPage3::validatePage()
{
    const QString strText = m_pFolder->text();
    if (strText.isEmpty()) {
        CWizardSheet::Refuse(m_prompts, this, QStringLiteral("你必须指定一个存放目录."), m_pFolder);
        return false;
    }
    // A file there counts as missing: the job could not make the project's folder in it.
    if (!QFileInfo(strText).isDir()) {
        CWizardSheet::Refuse(m_prompts, this, QStringLiteral("指定存放目录不存在."), m_pFolder);
        return false;
    }
    if (const QString strWhy = m_pRender->isChecked() ? RenderProgramMissing() : QString(); !strWhy.isEmpty()) {
        CWizardSheet::Refuse(m_prompts, this, strWhy, m_pRender);
        return false;
    }
    m_strSaveFolder = strText;
    m_bKeepScripts = m_pKeepScripts->isChecked() ? 1 : 0;
    m_bComplete = m_pComplete->isChecked() ? 1 : 0;
    m_bRender = m_pRender->isChecked() ? 1 : 0;
    return true;
}

QString CWizardPage3::SaveFolderOf(const QString& strText)
{
    QString strFolder = strText;
    if (strFolder.size() > 1 && strFolder.endsWith(QLatin1Char('/'))) {
        strFolder.chop(1);
    }
    if (QDir::isRelativePath(strFolder)) {
        strFolder = QDir::current().absoluteFilePath(strFolder);
    }
    return strFolder;
}
