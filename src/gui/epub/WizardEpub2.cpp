#include "epub/WizardEpub2.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Text.h"
#include "epub/WizardSheetEpub.h"
#include "platform/Files.h"

CWizardEpub2::CWizardEpub2(CUserPrompts& prompts, FolderFn chooseFolder, QWidget* pParent)
    : QWizardPage(pParent)
    , m_prompts(prompts)
    , m_chooseFolder(std::move(chooseFolder))
    , m_pFolder(new QLineEdit(this))
    , m_pBrowse(new QPushButton(QStringLiteral("Browse"), this))
{
    setObjectName(QStringLiteral("wizardEpub2"));
    setTitle(QStringLiteral("设置EPUB文件存放位置"));
    setSubTitle(QStringLiteral("选择完成按钮,开始生成EPUB电子书。"));
    m_pFolder->setObjectName(QStringLiteral("folderEdit"));
    m_pBrowse->setObjectName(QStringLiteral("browseButton"));
    auto* pLabel = new QLabel(QStringLiteral("EPUB 存放位置:"), this);
    pLabel->setBuddy(m_pFolder);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pFolder, 1);
    pRow->addWidget(m_pBrowse);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(12);
    pLayout->addWidget(pLabel);
    pLayout->addLayout(pRow);
    pLayout->addStretch(1);
    connect(m_pBrowse, &QPushButton::clicked, this, &CWizardEpub2::onBrowse);
    setFinalPage(true);
}

CWizardEpub2::~CWizardEpub2() = default;

void CWizardEpub2::initializePage()
{
    // Each run starts from the documents folder; a new account may not have one yet.
    m_strSaveFolder = toQ(files::DocumentsFolder());
    if (!QFileInfo(m_strSaveFolder).isDir()) {
        m_strSaveFolder = QDir::homePath();
    }
    m_pFolder->setText(m_strSaveFolder);
}

void CWizardEpub2::onBrowse()
{
    const QString strFolder = m_chooseFolder ? m_chooseFolder(this, QStringLiteral("选择存放目录:")) : QString();
    if (!strFolder.isEmpty()) {
        m_pFolder->setText(strFolder);
    }
}

bool CWizardEpub2::validatePage()
{
    const QString strFolder = m_pFolder->text().trimmed();
    QString strRefusal;
    if (strFolder.isEmpty()) {
        strRefusal = QStringLiteral("你必须指定一个存放目录.");
    } else if (!QFileInfo(strFolder).isDir()) {
        strRefusal = QStringLiteral("指定存放目录不存在.");
    }
    if (!strRefusal.isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, CWizardSheetEpub::RefusalCaption(), strRefusal,
                             QMessageBox::Ok);
        m_pFolder->setFocus();
        return false;
    }
    m_strSaveFolder = strFolder;
    return true;
}
