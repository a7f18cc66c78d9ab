#include "common/UserPrompts.h"

#include <memory>
#include <utility>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QStandardPaths>
#include <QTreeView>

namespace
{
// The file chooser's list: name, size, kind, date modified.
constexpr int kDateColumn = 3;

// Where a chooser starts: strFolder (the project file's), else the documents folder, else home (a new
// account may have no documents folder yet; the dialog would then open wherever the program was
// started from).
QString chooserFolder(const QString& strFolder)
{
    if (!strFolder.isEmpty() && QFileInfo(strFolder).isDir()) {
        return strFolder;
    }
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(strDocuments).isDir() ? strDocuments : QDir::homePath();
}

// Asks the desktop's notification service to show a message, without waiting for an answer. Nothing
// happens on a desktop without one.
void sendDesktopNotification(const QString& title, const QString& text)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    message << QStringLiteral("Trawlix") << 0U << QStringLiteral("trawlix") << title << text << QStringList()
            << QVariantMap() << -1;
    QDBusConnection::sessionBus().send(message);
}
} // namespace

std::unique_ptr<QFileDialog>
MakeFileChooser(QWidget* parent, const QString& caption, const QString& filter, const QString& strStartFolder)
{
    auto dialog = std::make_unique<QFileDialog>(parent, caption);
    if (!filter.isEmpty()) {
        dialog->setNameFilter(filter);
    }
    dialog->setDirectory(chooserFolder(strStartFolder));
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    // Qt's own chooser opens narrow and sizes its date column for a short American date, which cuts
    // longer local ones: room for every column.
    const int nLine = dialog->fontMetrics().height();
    dialog->resize(dialog->sizeHint().expandedTo(QSize(48 * nLine, 30 * nLine)));
    if (auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        const QString strLongDate =
            QLocale::system().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
        const int nWidth = tree->fontMetrics().horizontalAdvance(strLongDate) + tree->fontMetrics().height();
        QHeaderView* header = tree->header();
        if (header->count() > kDateColumn && header->sectionSize(kDateColumn) < nWidth) {
            header->resizeSection(kDateColumn, nWidth);
        }
    }
    return dialog;
}

CUserPrompts CUserPrompts::interactive()
{
    CUserPrompts prompts;
    prompts.m_pStartFolder = std::make_shared<QString>();
    const std::shared_ptr<QString> pStart = prompts.m_pStartFolder;
    prompts.messageBox = [](QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                            QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, caption, text, buttons, parent);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
    prompts.execDialog = [](QDialog& dialog) { return dialog.exec(); };
    prompts.openFileName = [pStart](QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& suffix) {
        std::unique_ptr<QFileDialog> dialog =
            MakeFileChooser(parent, caption, filter, std::exchange(*pStart, QString()));
        dialog->setDefaultSuffix(suffix);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog->selectedFiles().constFirst();
    };
    prompts.saveFileName = [pStart](QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& suffix) {
        std::unique_ptr<QFileDialog> dialog =
            MakeFileChooser(parent, caption, filter, std::exchange(*pStart, QString()));
        dialog->setDefaultSuffix(suffix);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog->selectedFiles().constFirst();
    };
    prompts.openFileNames = [pStart](QWidget* parent, const QString& caption, const QString& filter,
                                     const QString& suffix) {
        std::unique_ptr<QFileDialog> dialog =
            MakeFileChooser(parent, caption, filter, std::exchange(*pStart, QString()));
        dialog->setDefaultSuffix(suffix);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFiles);
        if (dialog->exec() != QDialog::Accepted) {
            return QStringList();
        }
        return dialog->selectedFiles();
    };
    prompts.chooseFolder = [](QWidget* parent, const QString& caption) {
        std::unique_ptr<QFileDialog> dialog = MakeFileChooser(parent, caption, QString());
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setSupportedSchemes({QStringLiteral("file")});
        if (dialog->exec() != QDialog::Accepted || dialog->selectedUrls().isEmpty()) {
            return QUrl();
        }
        return dialog->selectedUrls().constFirst();
    };
    prompts.notify = sendDesktopNotification;
    return prompts;
}
