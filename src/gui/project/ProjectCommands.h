#pragma once

#include <functional>
#include <vector>

#include <QObject>
#include <QString>

#include "common/CommandContext.h"
#include "project/ProjectRecords.h"

class CTrawlixDoc;
class QTreeWidgetItem;

// The commands on the project file and the project tree: open (a project file or a book), local pages
// added to a project, delete, rename, the previous and next page, bookmarks. Opening a file replaces
// the tree's projects and their tasks with the file's.
class CProjectCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CProjectCommands)

public:
    // openBook opens a compiled help file and says why when it cannot.
    CProjectCommands(CCommandContext context,
                     CTrawlixDoc& doc,
                     std::function<bool(const QString&)> openBook,
                     QObject* parent = nullptr);
    ~CProjectCommands() override;

    // A new project node under the root, with a task of its own.
    static QTreeWidgetItem* AddProject(const CCommandContext& context, const QString& strName);

    // A project file, or a book by its name; false when nothing was opened.
    bool OpenFile(const QString& strPath);
    // Asks for the file first.
    void Open();
    void AddLocalPages();
    void DeleteNode();
    void RenameNode();
    void BrowsePage(bool bNext);
    void SetBookmark(bool bSet);

private:
    void replaceProjects(const std::vector<CProjectObject>& projects);

    CCommandContext m_context;
    CTrawlixDoc& m_doc;
    std::function<bool(const QString&)> m_openBook;
};
