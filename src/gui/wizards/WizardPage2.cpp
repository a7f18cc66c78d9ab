#include "wizards/WizardPage2.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/UserPrompts.h"
#include "wizards/LinkRangeDlg.h"
#include "wizards/UrlRangeCheck.h"
#include "wizards/WizardSheet.h"

CWizardPage2::CWizardPage2(CUserPrompts& prompts, const CWizardDefaults& defaults, QWidget* parent)
    : QWizardPage(parent)
    , m_prompts(prompts)
    , m_defaults(defaults)
    , m_pListMode(new QRadioButton(QStringLiteral("批量连续下载"), this))
    , m_pLinksMode(new QRadioButton(
          QStringLiteral("下载网页内的所有链接(链接URL可以不连续 通过\"设置\"按钮精确定位下载链接)"), this))
    , m_pFrom(new QLineEdit(this))
    , m_pTo(new QLineEdit(this))
    , m_pTop(new QLineEdit(this))
    , m_pRange(new QPushButton(QStringLiteral("设置.."), this))
{
    setObjectName(QStringLiteral("wizardPage2"));
    setTitle(QStringLiteral("设置起始网页"));
    setSubTitle(QStringLiteral(" "));
    m_pListMode->setObjectName(QStringLiteral("listModeRadio"));
    m_pLinksMode->setObjectName(QStringLiteral("linksModeRadio"));
    m_pFrom->setObjectName(QStringLiteral("fromEdit"));
    m_pTo->setObjectName(QStringLiteral("toEdit"));
    m_pTop->setObjectName(QStringLiteral("topEdit"));
    m_pRange->setObjectName(QStringLiteral("rangeButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pListMode);
    auto* listGroup = new QGroupBox(QStringLiteral("设置起始网页的网址"), this);
    auto* listGrid = new QGridLayout(listGroup);
    auto* hint = new QLabel(QStringLiteral("温馨提示:起始网页的网址字符串必须是连续的 例如:\n"
                                           "    从 http://www.example.com/news/page1.html 到 "
                                           "http://www.example.com/news/page100.html\n"
                                           "如果只填写了开始项或结束项，表示只下载当前1个网页。"),
                            listGroup);
    hint->setWordWrap(true);
    listGrid->addWidget(hint, 0, 0, 1, 2);
    listGrid->addWidget(new QLabel(QStringLiteral("从:"), listGroup), 1, 0);
    listGrid->addWidget(m_pFrom, 1, 1);
    listGrid->addWidget(new QLabel(QStringLiteral("到:"), listGroup), 2, 0);
    listGrid->addWidget(m_pTo, 2, 1);
    layout->addWidget(listGroup);

    layout->addWidget(m_pLinksMode);
    auto* topGroup = new QGroupBox(QStringLiteral("设置顶层网页网址"), this);
    auto* topRow = new QHBoxLayout(topGroup);
    topRow->addWidget(m_pTop, 1);
    topRow->addWidget(m_pRange);
    layout->addWidget(topGroup);
    layout->addStretch();

    connect(m_pListMode, &QRadioButton::clicked, this, [this] { setMode(0); });
    connect(m_pLinksMode, &QRadioButton::clicked, this, [this] { setMode(1); });
    connect(m_pRange, &QPushButton::clicked, this, &CWizardPage2::onLinkRange);
}

CWizardPage2::~CWizardPage2() = default;

void CWizardPage2::initializePage()
{
    m_strFromUrl = m_defaults.strStartUrl;
    m_strToUrl = m_defaults.strEndUrl;
    m_strTopUrl = m_defaults.strAddress;
    m_pListMode->setChecked(true);
    setMode(0);
    writeFields();
}

void CWizardPage2::setMode(int nMode)
{
    // The boxes of the other mode keep their text: in mode 1 the two address boxes are the link range.
    m_nMode = nMode;
    m_pFrom->setEnabled(nMode == 0);
    m_pTo->setEnabled(nMode == 0);
    m_pTop->setEnabled(nMode == 1);
}

void CWizardPage2::readFields()
{
    m_strFromUrl = m_pFrom->text();
    m_strToUrl = m_pTo->text();
    m_strTopUrl = m_pTop->text();
    m_nMode = m_pLinksMode->isChecked() ? 1 : 0;
}

void CWizardPage2::writeFields()
{
    m_pFrom->setText(m_strFromUrl);
    m_pTo->setText(m_strToUrl);
    m_pTop->setText(m_strTopUrl);
}

void CWizardPage2::onLinkRange()
{
    // The dialog starts from what the two boxes show, and what it gives back goes into them.
    readFields();
    CLinkRangeDlg dialog(this);
    dialog.m_strFromUrl = m_strFromUrl;
    dialog.m_strToUrl = m_strToUrl;
    if (m_prompts.execDialog(dialog) == QDialog::Accepted) {
        m_strFromUrl = dialog.m_strFromUrl;
        m_strToUrl = dialog.m_strToUrl;
    } else {
        m_strFromUrl.clear();
        m_strToUrl.clear();
    }
    m_pFrom->setText(m_strFromUrl);
    m_pTo->setText(m_strToUrl);
}

bool CWizardPage2::validatePage()
{
    readFields();
    if (m_nMode == 0) {
        if (m_strFromUrl.isEmpty() && m_strToUrl.isEmpty()) {
            CWizardSheet::Refuse(m_prompts, this, QStringLiteral("起始网址不能都为空."), m_pFrom);
            return false;
        }
        if (!ExpandsToPages(m_strFromUrl, m_strToUrl)) {
            CWizardSheet::Refuse(m_prompts, this, QStringLiteral("起始网址字符串不是可识别规则字符串."), m_pFrom);
            return false;
        }
    } else if (m_strTopUrl.isEmpty()) {
        CWizardSheet::Refuse(m_prompts, this, QStringLiteral("顶层网页网址不能为空"), m_pTop);
        return false;
    }
    return true;
}
