#pragma once

#include <functional>

#include <QString>
#include <QWizardPage>

#include "common/UserPrompts.h"

class QLineEdit;
class QPushButton;

// What makes a book wizard's page its own: its texts and the object names of its page and controls.
struct BookPageTexts
{
    QString strPageName;       // object name of the page
    QString strTitle;          // the header's title
    QString strSubTitle;       // the header's line under it (the band shows only with one)
    QString strLabel;          // over the edit box
    QString strEditName;       // object name of the edit box
    QString strButton;         // the text of the folder page's browse button
    QString strButtonName;     // object name of the browse button
    QString strRefusalCaption; // caption of the box that refuses a value
};

// A book wizard's name page: the book's file name, which may not be blank.
class CBookNamePage : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBookNamePage)

public:
    // strExtension: the book's file ending (".chm"), which a typed name does not repeat.
    CBookNamePage(CUserPrompts& prompts, const BookPageTexts& texts, QString strExtension, QWidget* pParent);
    ~CBookNamePage() override;

    // The book's name, trimmed once the page is left with Next.
    QString m_strName;

    // The name the file gets before strExtension: a typed extension is not doubled, and a "/" (which
    // would name a sub-folder) becomes "_".
    static QString BookBaseName(const QString& strName, const QString& strExtension);

    void initializePage() override;
    bool validatePage() override;
    QLineEdit* NameEdit() const { return m_pName; }

private:
    CUserPrompts& m_prompts;
    QString m_strExtension;
    QString m_strRefusalCaption;
    QLineEdit* m_pName;
};

// A book wizard's folder page: the folder the book is written to, the documents folder at first.
class CBookFolderPage : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBookFolderPage)

public:
    // A folder picker: owner and title; an empty result means cancelled.
    using FolderFn = std::function<QString(QWidget* pOwner, const QString& strTitle)>;

    CBookFolderPage(CUserPrompts& prompts, const BookPageTexts& texts, FolderFn chooseFolder, QWidget* pParent);
    ~CBookFolderPage() override;

    // The output folder, trimmed once the page is left.
    QString m_strSaveFolder;

    void initializePage() override;
    bool validatePage() override;
    QLineEdit* FolderEdit() const { return m_pFolder; }
    QPushButton* BrowseButton() const { return m_pBrowse; }

private:
    void onBrowse();

    CUserPrompts& m_prompts;
    FolderFn m_chooseFolder;
    QString m_strRefusalCaption;
    QLineEdit* m_pFolder;
    QPushButton* m_pBrowse;
};
