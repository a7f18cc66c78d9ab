#pragma once

#include <QDialog>
#include <QString>

struct CUserPrompts;
class QCheckBox;
class QLineEdit;

// Adds more pages from the Internet to an existing project: one address or a numbered series, and
// whether the pages keep their scripts. OK is refused until the addresses give at least one page.
class CAddPageDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAddPageDlg)

public:
    CAddPageDlg(CUserPrompts& prompts, QWidget* parent = nullptr);
    ~CAddPageDlg() override;

    static QString Caption();

    // Preset before the dialog is shown (the recorded start and end addresses); after OK they hold the
    // dialog's choices.
    QString m_strFromUrl;
    QString m_strToUrl;
    int m_bKeepScripts = 1;
    // Pages saved complete: style sheets, fonts, responsive images and links between the project's pages.
    int m_bComplete = 0;
    // Pages loaded in an off-screen browser and saved as they are shown once their scripts have run.
    int m_bRender = 0;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CUserPrompts& m_prompts;
    QLineEdit* m_pFrom;
    QLineEdit* m_pTo;
    QCheckBox* m_pKeepScripts;
    QCheckBox* m_pComplete;
    QCheckBox* m_pRender;
    bool m_bInitialised = false;
};
