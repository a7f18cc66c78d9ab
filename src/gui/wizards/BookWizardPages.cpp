#include "wizards/BookWizardPages.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Text.h"
#include "platform/Files.h"

namespace
{
void setUpPage(QWizardPage* pPage, const BookPageTexts& texts)
{
    pPage->setObjectName(texts.strPageName);
    pPage->setTitle(texts.strTitle);
    pPage->setSubTitle(texts.strSubTitle);
}
} // namespace

CBookNamePage::CBookNamePage(CUserPrompts& prompts, const BookPageTexts& texts, QString strExtension, QWidget* pParent)
    : QWizardPage(pParent)
    , m_prompts(prompts)
    , m_strExtension(std::move(strExtension))
    , m_strRefusalCaption(texts.strRefusalCaption)
    , m_pName(new QLineEdit(this))
{
    setUpPage(this, texts);
    m_pName->setObjectName(texts.strEditName);
    auto* pLabel = new QLabel(texts.strLabel, this);
    pLabel->setBuddy(m_pName);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(12);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pName);
    pLayout->addStretch(1);
}

CBookNamePage::~CBookNamePage() = default;

QString CBookNamePage::BookBaseName(const QString& strName, const QString& strExtension)
{
    QString strBase = strName.trimmed();
    if (strBase.endsWith(strExtension, Qt::CaseInsensitive)) {
        strBase.chop(strExtension.size());
    }
    strBase.replace(QLatin1Char('/'), QLatin1Char('_'));
    return strBase.trimmed();
}

void CBookNamePage::initializePage()
{
    m_pName->setText(m_strName);
    m_pName->selectAll();
    m_pName->setFocus();
}

bool CBookNamePage::validatePage()
{
    // A name of blanks alone would give a book called ".chm": it counts as empty.
    if (BookBaseName(m_pName->text(), m_strExtension).isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, m_strRefusalCaption, QStringLiteral("文件名不能为空."),
                             QMessageBox::Ok);
        m_pName->setFocus();
        return false;
    }
    m_strName = m_pName->text().trimmed();
    return true;
}

CBookFolderPage::CBookFolderPage(CUserPrompts& prompts,
                                 const BookPageTexts& texts,
                                 FolderFn chooseFolder,
                                 QWidget* pParent)
    : QWizardPage(pParent)
    , m_prompts(prompts)
    , m_chooseFolder(std::move(chooseFolder))
    , m_strRefusalCaption(texts.strRefusalCaption)
    , m_pFolder(new QLineEdit(this))
    , m_pBrowse(new QPushButton(texts.strButton, this))
{
    setUpPage(this, texts);
    m_pFolder->setObjectName(texts.strEditName);
    m_pBrowse->setObjectName(texts.strButtonName);
    auto* pLabel = new QLabel(texts.strLabel, this);
    pLabel->setBuddy(m_pFolder);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pFolder, 1);
    pRow->addWidget(m_pBrowse);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(12);
    pLayout->addWidget(pLabel);
    pLayout->addLayout(pRow);
    pLayout->addStretch(1);
    connect(m_pBrowse, &QPushButton::clicked, this, &CBookFolderPage::onBrowse);
}

CBookFolderPage::~CBookFolderPage() = default;

void CBookFolderPage::initializePage()
{
    // Each run starts from the documents folder; a new account may not have one yet, and a folder that
    // does not exist would only be refused.
    m_strSaveFolder = toQ(files::DocumentsFolder());
    if (!QFileInfo(m_strSaveFolder).isDir()) {
        m_strSaveFolder = QDir::homePath();
    }
    m_pFolder->setText(m_strSaveFolder);
}

void CBookFolderPage::onBrowse()
{
    const QString strFolder = m_chooseFolder ? m_chooseFolder(this, QStringLiteral("选择存放目录:")) : QString();
    if (!strFolder.isEmpty()) {
        m_pFolder->setText(strFolder);
    }
}

bool CBookFolderPage::validatePage()
{
    const QString strFolder = m_pFolder->text().trimmed();
    QString strRefusal;
    if (strFolder.isEmpty()) {
        strRefusal = QStringLiteral("你必须指定一个存放目录.");
    } else if (!QFileInfo(strFolder).isDir()) {
        // The book would be made to the end and then fail to be written.
        strRefusal = QStringLiteral("指定存放目录不存在.");
    }
    if (!strRefusal.isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, m_strRefusalCaption, strRefusal, QMessageBox::Ok);
        m_pFolder->setFocus();
        return false;
    }
    m_strSaveFolder = strFolder;
    return true;
}
