#pragma once

#include <QString>
#include <QWizardPage>

#include "wizards/WizardDefaults.h"

struct CUserPrompts;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The wizard's second page: a list of addresses (one page or a numbered series, mode 0) or a top page
// and its links, optionally only those from a first to a last link (mode 1).
class CWizardPage2 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardPage2)

public:
    CWizardPage2(CUserPrompts& prompts, const CWizardDefaults& defaults, QWidget* parent = nullptr);
    ~CWizardPage2() override;

    void initializePage() override;
    bool validatePage() override;

    // In mode 1 the first two are the range of links.
    QString m_strFromUrl;
    QString m_strToUrl;
    QString m_strTopUrl;
    int m_nMode = 0;

private:
    void setMode(int nMode);
    void readFields();
    void writeFields();
    void onLinkRange();

    CUserPrompts& m_prompts;
    CWizardDefaults m_defaults;
    QRadioButton* m_pListMode;
    QRadioButton* m_pLinksMode;
    QLineEdit* m_pFrom;
    QLineEdit* m_pTo;
    QLineEdit* m_pTop;
    QPushButton* m_pRange;
};
