#pragma once

#include <functional>
#include <memory>

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

class QDialog;
class QFileDialog;
class QWidget;

// Everything that stops and asks the user: message boxes, modal dialogs and file choosers. The frame
// and the document ask through one of these, so a test can answer in place of the user.
struct CUserPrompts
{
    using MessageBoxFn = std::function<QMessageBox::StandardButton(QWidget* parent,
                                                                   QMessageBox::Icon icon,
                                                                   const QString& caption,
                                                                   const QString& text,
                                                                   QMessageBox::StandardButtons buttons)>;
    // Runs a prepared dialog modally; returns QDialog::Accepted or QDialog::Rejected.
    using ExecDialogFn = std::function<int(QDialog& dialog)>;
    // A file chooser: caption, name filter (e.g. "project Files (*.wbr)"), default suffix without the dot.
    // An empty result or list means cancelled.
    using FileFn =
        std::function<QString(QWidget* parent, const QString& caption, const QString& filter, const QString& suffix)>;
    using FilesFn = std::function<QStringList(
        QWidget* parent, const QString& caption, const QString& filter, const QString& suffix)>;

    // A folder chooser: caption; an empty address means cancelled. The address may name something that
    // is not a local folder (a remote place offered by the platform's dialog).
    using FolderFn = std::function<QUrl(QWidget* parent, const QString& caption)>;
    // A desktop notification that does not wait for the user: title and text.
    using NotifyFn = std::function<void(const QString& title, const QString& text)>;

    MessageBoxFn messageBox;
    ExecDialogFn execDialog;
    FileFn openFileName;
    FileFn saveFileName;
    FilesFn openFileNames;
    FolderFn chooseFolder;
    NotifyFn notify;

    // Where the next file chooser starts (that one only); otherwise it starts in the documents folder.
    // Prompts made by a test ignore it.
    void SetStartFolder(const QString& strFolder)
    {
        if (m_pStartFolder) {
            *m_pStartFolder = strFolder;
        }
    }
    std::shared_ptr<QString> m_pStartFolder;

    // The real dialogs.
    static CUserPrompts interactive();
};

// Qt's file chooser as the program shows it: it starts in strStartFolder when that is a folder, else in
// the documents folder, else at home (never wherever the program was started from), and it is wide
// enough to show each file's name, size, kind and date whole.
std::unique_ptr<QFileDialog> MakeFileChooser(QWidget* parent,
                                             const QString& caption,
                                             const QString& filter,
                                             const QString& strStartFolder = QString());
