#include "chm/WizardCHM2.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Text.h"
#include "chm/WizardSheetOK.h"
#include "platform/Files.h"
#include "wizards/BrowseForFolder.h"

CWizardCHM2::CWizardCHM2(CUserPrompts& prompts, QWidget* pParent)
    : QWizardPage(pParent)
    , m_prompts(prompts)
    , m_pFolder(new QLineEdit(this))
    , m_pBrowse(new QPushButton(QStringLiteral("Browse"), this))
{
    setObjectName(QStringLiteral("wizardCHM2"));
    setTitle(QStringLiteral("设置CHM文件存放位置"));
    setSubTitle(QStringLiteral(" "));
    m_pFolder->setObjectName(QStringLiteral("edit%1").arg(kFolderId));
    m_pBrowse->setObjectName(QStringLiteral("button%1").arg(kBrowseId));
    auto* pLabel = new QLabel(QStringLiteral("CHM 存放位置:"), this);
    pLabel->setBuddy(m_pFolder);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pFolder, 1);
    pRow->addWidget(m_pBrowse);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(12);
    pLayout->addWidget(pLabel);
    pLayout->addLayout(pRow);
    pLayout->addStretch(1);
    connect(m_pBrowse, &QPushButton::clicked, this, &CWizardCHM2::onBrowse);
}

CWizardCHM2::~CWizardCHM2() = default;

void CWizardCHM2::initializePage()
{
    // Each run starts from the documents folder; a new account may not have one yet, and a folder that
    // does not exist would only be refused.
    m_strSaveFolder = toQ(files::DocumentsFolder());
    if (!QFileInfo(m_strSaveFolder).isDir()) {
        m_strSaveFolder = QDir::homePath();
    }
    m_pFolder->setText(m_strSaveFolder);
}

void CWizardCHM2::onBrowse()
{
    const QString strFolder =
        BrowseForFolder(m_prompts, this, QStringLiteral("选择存放目录:"), kBrowseOnlyFileSystemFolders);
    if (!strFolder.isEmpty()) {
        m_pFolder->setText(strFolder);
    }
}

bool CWizardCHM2::validatePage()
{
    const QString strFolder = m_pFolder->text().trimmed();
    QString strRefusal;
    if (strFolder.isEmpty()) {
        strRefusal = QStringLiteral("你必须指定一个存放目录.");
    } else if (!QFileInfo(strFolder).isDir()) {
        // The compiler would run to the end and then fail to write the book.
        strRefusal = QStringLiteral("指定存放目录不存在.");
    }
    if (!strRefusal.isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, CWizardSheetOK::RefusalCaption(), strRefusal, QMessageBox::Ok);
        m_pFolder->setFocus();
        return false;
    }
    m_strSaveFolder = strFolder;
    return true;
}
