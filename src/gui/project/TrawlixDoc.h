#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QObject>
#include <QString>

#include "project/ProjectRecords.h"

struct CUserPrompts;
class QWidget;

// The document: the current project file, its path and whether the projects changed since they were
// last saved or opened. The projects themselves live in the project tree: saving asks the project
// source for them, opening hands them over by projectsOpened. Every question and refusal goes through
// the prompts, with the dialog parent given at construction.
class CTrawlixDoc final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTrawlixDoc)

public:
    // What saving writes: the projects in their order and the name of the projects' root.
    struct ProjectSource
    {
        std::function<std::vector<CProjectObject>()> projects;
        std::function<QString()> rootText;
    };

    CTrawlixDoc(CUserPrompts& prompts, QWidget* pDialogParent, QObject* parent = nullptr);
    ~CTrawlixDoc() override;

    void SetProjectSource(ProjectSource source) { m_source = std::move(source); }

    bool IsModified() const { return m_bModified; }
    // Sets the flag without telling anyone: the window title keeps what it shows.
    void SetModifiedFlag(bool bModified) { m_bModified = bModified; }
    void MarkModified();
    void MarkSaved();

    // Full path of the current project file; empty while the projects were never saved or opened.
    const QString& Path() const { return m_strProjectPath; }
    // Makes strPath the current file without reading or writing it.
    void SetPath(const QString& strPath);
    // The folder of the current project file; empty without one.
    QString Folder() const;

    // Reads the file and, once the user agreed to drop unsaved changes, hands its projects over and
    // makes it the current file; a damaged file gives the projects before the damage and a warning.
    // False when nothing was opened (the reason was shown, or the user cancelled).
    bool Open(const QString& strPath);
    // Asks for a project file (or a book) to open; empty when the user cancelled.
    QString ChooseFileToOpen();
    // Save and save as report a failure to the user and leave the document modified; they return
    // whether the file was written. Save as with no project writes the header alone, so the work of
    // deleting every project is kept.
    bool Save();
    bool SaveAs();

    // Asks whether to save changed projects before they are dropped (the window closes, another file is
    // opened). False means stop: the user cancelled, or the save did not happen.
    bool CanClose();

    // A path as given on a command line or in a message: blanks and surrounding quotes removed.
    static QString CleanPath(const QString& strPath);
    static QString ClosePromptText();
    static QString ModifiedMarker();
    static QString FileFilter();

signals:
    void modifiedChanged(bool bModified);
    void pathChanged(const QString& strPath);
    // The file's projects replace those of the tree; sent before the file becomes the current one.
    void projectsOpened(const std::vector<CProjectObject>& projects);
    // A file was opened or written: it goes to the top of the recent files.
    void fileUsed(const QString& strPath);

private:
    bool write(const QString& strPath, const QString& strHeaderName);
    // strDetail: what the file system tells about the file, shown under the reason.
    void reportFileError(
        const QString& strWhat, const QString& strPath, int nCode, std::uint64_t nOffset, const QString& strDetail);

    CUserPrompts& m_prompts;
    QWidget* m_pDialogParent;
    ProjectSource m_source;
    QString m_strProjectPath;
    bool m_bModified = false;
};
