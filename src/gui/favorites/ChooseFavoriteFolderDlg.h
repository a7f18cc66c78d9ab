#pragma once

#include <QDialog>
#include <QString>

class CFavoriteFolderTree;

// "浏览文件夹": picks one of the favorites' folders (the target of a move).
class CChooseFavoriteFolderDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChooseFavoriteFolderDlg)

public:
    explicit CChooseFavoriteFolderDlg(const QString& strRoot, QWidget* parent = nullptr);
    ~CChooseFavoriteFolderDlg() override;

    CFavoriteFolderTree* Folders() const { return m_pFolders; }

    // Set on OK.
    QString m_strFolder;

public slots:
    void accept() override;

private:
    CFavoriteFolderTree* m_pFolders;
};
