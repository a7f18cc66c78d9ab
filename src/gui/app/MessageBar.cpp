#include "app/MessageBar.h"

#include "app/MessageEdit.h"
#include "common/CommandIds.h"

CMessageBar::CMessageBar(QWidget* parent)
    : CSizingControlBarCF(QStringLiteral("  message window"), cmd::ID_MESSAGE_BAR, parent)
    , m_wndEdit(new CMessageEdit)
{
    setObjectName(QStringLiteral("messageBar"));
    setClientWidget(m_wndEdit);
}

CMessageBar::~CMessageBar() = default;

QString CMessageBar::StartBanner()
{
    return QStringLiteral("-----------Start download webpage-----------------");
}

void CMessageBar::AppendLine(const QString& strLine)
{
    m_wndEdit->AppendText(strLine, Qt::black);
}

void CMessageBar::ResetLog()
{
    m_wndEdit->ClearAll();
    AppendLine(StartBanner());
}
