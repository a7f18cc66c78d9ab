#pragma once

#include <QObject>
#include <QString>

class CMainFrame;
class QWidget;

// The document: the path of the current project file and whether the projects changed since they were
// last saved or opened. The projects themselves live in the project tree; the frame's open and save
// operations carry them to and from the file. The main window's title shows " *" while modified.
class CTrawlixDoc final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTrawlixDoc)

public:
    explicit CTrawlixDoc(QObject* parent = nullptr);
    ~CTrawlixDoc() override;

    // The window whose title carries the modified marker.
    void SetTitleWindow(QWidget* window) { m_pTitleWindow = window; }

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified) { m_bModified = bModified; }
    void MarkModified();
    void MarkSaved();

    // Asks whether to save changed projects before they are dropped (the window closes, another file is
    // opened). False means stop: the user cancelled, or the save did not happen.
    bool CanCloseFrame(CMainFrame& frame);

    static QString ClosePromptText();
    static QString ModifiedMarker();

    // Full path of the current project file; empty while the projects were never saved or opened.
    QString m_strProjectPath;

private:
    QWidget* m_pTitleWindow = nullptr;
    bool m_bModified = false;
};
