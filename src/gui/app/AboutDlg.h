#pragma once

#include <QDialog>

class CStaticLink;

// The about box: the program's name and version and two links.
class CAboutDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)

public:
    static constexpr int kHomeLinkId = 1011;
    static constexpr int kFeedbackLinkId = 1012;

    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    CStaticLink* HomeLink() const { return m_pHomeLink; }
    CStaticLink* FeedbackLink() const { return m_pFeedbackLink; }

private:
    CStaticLink* m_pHomeLink;
    CStaticLink* m_pFeedbackLink;
};
