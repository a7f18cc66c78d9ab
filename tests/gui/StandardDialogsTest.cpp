#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "TempFolder.h"
#include "app/QtTranslations.h"
#include "common/Text.h"
#include "common/UserPrompts.h"

namespace
{
// Runs check on the modal dialog that the next exec() shows, then closes it.
void whenModalShows(const std::function<void(QWidget*)>& check)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            check(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
            timer->deleteLater();
        }
    });
    timer->start();
}

bool hasHan(const QString& strText)
{
    for (const QChar ch : strText) {
        if (ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FFF) {
            return true;
        }
    }
    return false;
}
} // namespace

// Qt's own dialogs speak Chinese whatever the locale, and the file choosers start where they are told.
class StandardDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBoxButtonsAreChinese();
    void fileAndPrintDialogsAreChinese();
    void fileChoosersStartInTheGivenFolderOnce();
    void fileChooserShowsEveryColumnWhole_data();
    void fileChooserShowsEveryColumnWhole();
};

void StandardDialogsTest::initTestCase()
{
    // The test runs in whatever locale the machine has; the program's texts must not depend on it.
    QCOMPARE(InstallQtTranslations(*qApp), (QStringList{QStringLiteral("qtbase"), QStringLiteral("qtwebengine")}));
}

void StandardDialogsTest::messageBoxButtonsAreChinese()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("删除"), QStringLiteral("确定要删除网页 'a'?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
    for (const QMessageBox::StandardButton which :
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok}) {
        const QString strText = box.button(which)->text();
        QVERIFY2(hasHan(strText), qPrintable(strText));
    }
}

void StandardDialogsTest::fileAndPrintDialogsAreChinese()
{
    QFileDialog files(nullptr, QStringLiteral("打开工程"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.show();
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
        auto* label = files.findChild<QLabel*>(QString::fromLatin1(name));
        QVERIFY(label);
        QVERIFY2(hasHan(label->text()), qPrintable(label->text()));
    }
    const auto* buttons = files.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    for (QAbstractButton* button : buttons->buttons()) {
        QVERIFY2(hasHan(button->text()), qPrintable(button->text()));
    }
    files.hide();
    // The kind of each file in the dialog's list.
    const QString strKind = QFileIconProvider().type(QFileInfo(QDir::tempPath()));
    QVERIFY2(hasHan(strKind), qPrintable(strKind));

    QPrinter printer;
    QPrintDialog print(&printer);
    QVERIFY2(hasHan(print.windowTitle()), qPrintable(print.windowTitle()));
    QPageSetupDialog setup(&printer);
    QVERIFY2(hasHan(setup.windowTitle()), qPrintable(setup.windowTitle()));
}

void StandardDialogsTest::fileChoosersStartInTheGivenFolderOnce()
{
    TempFolder temp;
    const QString strFolder = toQ(temp.path());
    CUserPrompts prompts = CUserPrompts::interactive();
    const auto folderOfNextDialog = [&prompts](bool bSave) {
        QString strSeen;
        whenModalShows([&strSeen](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                strSeen = dialog->directory().absolutePath();
            }
        });
        const QString strFilter = QStringLiteral("project Files (*.wbr)");
        if (bSave) {
            prompts.saveFileName(nullptr, QStringLiteral("工程另存为"), strFilter, QStringLiteral("wbr"));
        } else {
            prompts.openFileName(nullptr, QStringLiteral("打开工程"), strFilter, QStringLiteral("wbr"));
        }
        return strSeen;
    };
    prompts.SetStartFolder(strFolder);
    QCOMPARE(folderOfNextDialog(false), QDir(strFolder).absolutePath());
    // Only that one: the next starts in the documents folder again.
    QStandardPaths::setTestModeEnabled(true);
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(QDir().mkpath(strDocuments));
    QCOMPARE(folderOfNextDialog(false), QDir(strDocuments).absolutePath());
    prompts.SetStartFolder(strFolder);
    QCOMPARE(folderOfNextDialog(true), QDir(strFolder).absolutePath());

    // A new account without a documents folder: home, not wherever the program was started from.
    const QByteArray oldHome = qgetenv("HOME");
    TempFolder home;
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    const QString strSeen = folderOfNextDialog(false);
    qputenv("HOME", oldHome);
    QCOMPARE(strSeen, QDir(toQ(home.path())).absolutePath());
}

// The file chooser's list shows name, size, kind and date of a file without cutting any of them.
void StandardDialogsTest::fileChooserShowsEveryColumnWhole_data()
{
    QTest::addColumn<bool>("bFolder");
    QTest::newRow("file") << false;
    QTest::newRow("folder") << true;
}

// The file and folder choosers' lists show name, size, kind and date without cutting any of them; the
// folder chooser starts in the documents folder (home when there is none).
void StandardDialogsTest::fileChooserShowsEveryColumnWhole()
{
    QFETCH(bool, bFolder);
    TempFolder temp;
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString strStart =
        bFolder ? QDir(QDir(strDocuments).exists() ? strDocuments : QDir::homePath()).absolutePath() : toQ(temp.path());
    if (bFolder) {
        QVERIFY(QDir(strStart).mkpath(QStringLiteral("章节")));
    } else {
        QFile file(toQ(temp.file("工程.wbr")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    CUserPrompts prompts = CUserPrompts::interactive();
    prompts.SetStartFolder(toQ(temp.path()));
    QStringList cut;
    QString strSeenIn;
    whenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* tree = dialog ? dialog->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
        if (!tree || !tree->isVisible()) {
            return;
        }
        // The list fills in the background.
        if (!QTest::qWaitFor([tree] { return tree->model()->rowCount(tree->rootIndex()) > 0; }, 5000)) {
            return;
        }
        strSeenIn = dialog->directory().absolutePath();
        const QHeaderView* header = tree->header();
        for (int nColumn = 0; nColumn < header->count(); ++nColumn) {
            if (header->isSectionHidden(nColumn)) {
                continue;
            }
            const QString strText = tree->model()->index(0, nColumn, tree->rootIndex()).data().toString();
            const int nRight = header->sectionViewportPosition(nColumn) + header->sectionSize(nColumn);
            if (header->sectionSize(nColumn) < tree->fontMetrics().horizontalAdvance(strText) ||
                nRight > tree->viewport()->width()) {
                cut.append(QStringLiteral("%1 (column %2 px wide for %3 px of text, ends at %4 of %5)")
                               .arg(strText)
                               .arg(header->sectionSize(nColumn))
                               .arg(tree->fontMetrics().horizontalAdvance(strText))
                               .arg(nRight)
                               .arg(tree->viewport()->width()));
            }
        }
    });
    if (bFolder) {
        prompts.chooseFolder(nullptr, QStringLiteral("选择存放目录:"));
    } else {
        prompts.openFileName(nullptr, QStringLiteral("打开工程"), QStringLiteral("project Files (*.wbr)"),
                             QStringLiteral("wbr"));
    }
    QCOMPARE(strSeenIn, strStart);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));
}

QTEST_MAIN(StandardDialogsTest)
#include "StandardDialogsTest.moc"
