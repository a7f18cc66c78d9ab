#pragma once

#include <QString>
#include <QTreeWidget>

// The favorites folder and its sub-folders as a tree, for choosing where a favorite goes. The top item
// is the favorites folder itself; each item carries its folder's full path.
class CFavoriteFolderTree final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFavoriteFolderTree)

public:
    explicit CFavoriteFolderTree(QString strRoot, QWidget* parent = nullptr);
    ~CFavoriteFolderTree() override;

    // Reads the folders again and selects strSelect (the top item when it is not found).
    void Reload(const QString& strSelect);
    // The selected folder's path; the favorites folder when nothing is selected.
    QString SelectedFolder() const;

    static constexpr int kPathRole = Qt::UserRole;

private:
    void addFolders(QTreeWidgetItem* pParent, const QString& strPath, int nDepth);

    QString m_strRoot;
};
