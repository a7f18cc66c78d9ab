#include "app/UserPrompts.h"

#include <memory>

#include <QDialog>
#include <QFileDialog>
#include <QStandardPaths>

namespace
{
QFileDialog* makeFileDialog(QWidget* parent, const QString& caption, const QString& filter, const QString& suffix)
{
    auto* dialog = new QFileDialog(parent, caption);
    dialog->setNameFilter(filter);
    dialog->setDefaultSuffix(suffix);
    dialog->setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    return dialog;
}
} // namespace

CUserPrompts CUserPrompts::interactive()
{
    CUserPrompts prompts;
    prompts.messageBox = [](QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                            QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, caption, text, buttons, parent);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
    prompts.execDialog = [](QDialog& dialog) { return dialog.exec(); };
    prompts.openFileName = [](QWidget* parent, const QString& caption, const QString& filter, const QString& suffix) {
        std::unique_ptr<QFileDialog> dialog(makeFileDialog(parent, caption, filter, suffix));
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog->selectedFiles().constFirst();
    };
    prompts.saveFileName = [](QWidget* parent, const QString& caption, const QString& filter, const QString& suffix) {
        std::unique_ptr<QFileDialog> dialog(makeFileDialog(parent, caption, filter, suffix));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog->selectedFiles().constFirst();
    };
    prompts.openFileNames = [](QWidget* parent, const QString& caption, const QString& filter, const QString& suffix) {
        std::unique_ptr<QFileDialog> dialog(makeFileDialog(parent, caption, filter, suffix));
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFiles);
        if (dialog->exec() != QDialog::Accepted) {
            return QStringList();
        }
        return dialog->selectedFiles();
    };
    return prompts;
}
