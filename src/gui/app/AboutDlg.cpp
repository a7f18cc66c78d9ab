#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "common/Text.h"
#include "platform/Files.h"
#include "ui/Icons.h"
#include "ui/StaticLink.h"

namespace
{
// The program's own pages, installed beside it.
QString localPage(const char* name)
{
    const std::string strPath = files::Join(files::Join(files::ProgramFolder(), "help"), name);
    return QUrl::fromLocalFile(toQ(strPath)).toString();
}
} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
    , m_pHomeLink(new CStaticLink(QStringLiteral("Trawlix 主页"), localPage("index.html"), this))
    , m_pFeedbackLink(new CStaticLink(QStringLiteral("期待您的建议:"), localPage("feedback.html"), this))
{
    setObjectName(QStringLiteral("aboutDlg"));
    setWindowTitle(QStringLiteral("关于 Trawlix"));
    m_pHomeLink->setObjectName(QStringLiteral("homeLink"));
    m_pFeedbackLink->setObjectName(QStringLiteral("feedbackLink"));

    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("Trawlix 1.6版"), this);
    auto* line = new QLabel(QStringLiteral("把网页保存下来离线阅读，并装订成电子书。"), this);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(line, 1, 1);
    layout->addWidget(m_pHomeLink, 2, 1);
    layout->addWidget(m_pFeedbackLink, 3, 1);
    layout->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
}

CAboutDlg::~CAboutDlg() = default;
