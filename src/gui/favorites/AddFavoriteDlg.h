#pragma once

#include <QDialog>
#include <QString>

class CFavoriteFolderTree;
class QLineEdit;
class QPushButton;
struct CUserPrompts;

// "添加到收藏夹": the favorite's name (the page's title to start with) and the folder it goes into,
// with a button that makes a new folder there. The caller writes the shortcut.
class CAddFavoriteDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAddFavoriteDlg)

public:
    CAddFavoriteDlg(const QString& strRoot, const QString& strName, CUserPrompts& prompts, QWidget* parent = nullptr);
    ~CAddFavoriteDlg() override;

    QLineEdit* NameEdit() const { return m_pName; }
    CFavoriteFolderTree* Folders() const { return m_pFolders; }
    QPushButton* NewFolderButton() const { return m_pNewFolder; }

    // Set on OK.
    QString m_strName;
    QString m_strFolder;

public slots:
    void accept() override;

private:
    void onNewFolder();

    CUserPrompts& m_prompts;
    QLineEdit* m_pName;
    CFavoriteFolderTree* m_pFolders;
    QPushButton* m_pNewFolder;
};
