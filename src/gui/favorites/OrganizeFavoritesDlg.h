#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct CUserPrompts;

// "整理收藏夹": the favorites folder as a tree, with new folder, rename, move into a folder, delete, and
// move up and down. Every change is made on disk at once. A folder whose items were moved up or down gets
// an order record of the order shown, and a folder that already has one keeps it up to date, so the menu
// shows what the dialog shows.
class COrganizeFavoritesDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(COrganizeFavoritesDlg)

public:
    COrganizeFavoritesDlg(QString strRoot, CUserPrompts& prompts, QWidget* parent = nullptr);
    ~COrganizeFavoritesDlg() override;

    QTreeWidget* Tree() const { return m_pTree; }
    // The item of a file or folder path; null when it is not shown.
    QTreeWidgetItem* ItemOf(const QString& strPath) const;

    // The actions of the buttons, on the current item.
    void NewFolder();
    void RenameCurrent(const QString& strNewName);
    void MoveCurrentToFolder();
    void DeleteCurrent();
    void MoveCurrent(int nStep);

    static constexpr int kPathRole = Qt::UserRole;
    static constexpr int kFolderRole = Qt::UserRole + 1;

private:
    void reload(const QString& strSelect);
    void addItems(QTreeWidgetItem* pParent, const QString& strFolder, int nDepth);
    QString folderOf(const QTreeWidgetItem* pParentOrNull) const;
    QString relPath(const QString& strFolder) const;
    void writeOrder(QTreeWidgetItem* pParentOrNull, bool bAlways);
    void onItemChanged(QTreeWidgetItem* pItem);
    void updateButtons();
    void warn(const QString& strText);

    QString m_strRoot;
    CUserPrompts& m_prompts;
    QTreeWidget* m_pTree;
    QPushButton* m_pNewFolder;
    QPushButton* m_pRename;
    QPushButton* m_pMove;
    QPushButton* m_pDelete;
    QPushButton* m_pUp;
    QPushButton* m_pDown;
    bool m_bLoading = false;
};
