// 生成EPUB文件 in the desktop program: the menus, the wizard's presets and refusals, the build on its
// thread with its progress, and the button that opens the book.
#include <deque>

#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <QUrl>

#include "TempFolder.h"
#include "app/MainFrame.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "epub/EpubBuildDlg.h"
#include "epub/WizardEpub1.h"
#include "epub/WizardEpub2.h"
#include "epub/WizardSheetEpub.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"

// Takes the file URLs the desktop would open.
class COpenedUrls final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class EpubWizardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menusOfferTheCommandForAProjectWithPages();
    void wizardPresetsRefusesAndMakesTheBookThatOpensInTheDesktopReader();
    void closingDuringTheBuildStopsItAndKeepsNoBook();

private:
    QTreeWidgetItem* addProject(const QString& strName, int nPages);

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<CMainFrame> m_pFrame;
    QStringList m_asked;
    std::function<int(QDialog&)> m_dialog;
};

void EpubWizardTest::init()
{
    QStandardPaths::setTestModeEnabled(true);
    m_pTemp = std::make_unique<TempFolder>();
    m_asked.clear();
    m_dialog = [](QDialog&) { return int(QDialog::Rejected); };
    m_pFrame = std::make_unique<CMainFrame>();
    CUserPrompts prompts;
    prompts.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons) {
        m_asked.append(caption + QLatin1Char('|') + text);
        return QMessageBox::Ok;
    };
    prompts.execDialog = [this](QDialog& dialog) { return m_dialog(dialog); };
    m_pFrame->SetPrompts(prompts);
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
}

void EpubWizardTest::cleanup()
{
    m_pFrame->Document()->SetModifiedFlag(false);
    m_pFrame.reset();
    m_pTemp.reset();
}

QTreeWidgetItem* EpubWizardTest::addProject(const QString& strName, int nPages)
{
    CProjectBar* bar = m_pFrame->findChild<CProjectBar*>();
    QTreeWidgetItem* project = bar->AddProject(strName);
    const std::string folder = m_pTemp->file(fromQ(strName));
    files::CreateFolders(folder);
    for (int i = 1; i <= nPages; ++i) {
        const std::string file = files::Join(folder, "p" + std::to_string(i) + ".htm");
        files::WriteFile(file, "<title>第" + std::to_string(i) + "页</title><p>正文 " + std::to_string(i) + "</p>");
        bar->AddPage(project, QStringLiteral("第%1页").arg(i), toQ(file),
                     QStringLiteral("http://example.org/%1.htm").arg(i), false);
    }
    return project;
}

void EpubWizardTest::menusOfferTheCommandForAProjectWithPages()
{
    QTreeWidgetItem* full = addProject(QStringLiteral("小说"), 2);
    QTreeWidgetItem* empty = addProject(QStringLiteral("空"), 0);
    CProjectBar* bar = m_pFrame->findChild<CProjectBar*>();

    QVERIFY(m_pFrame->Action(cmd::ID_MAKE_EPUB));
    QVERIFY(m_pFrame->findChild<QToolBar*>(QStringLiteral("mainToolBar"))
                ->actions()
                .contains(m_pFrame->Action(cmd::ID_MAKE_EPUB)));

    bar->SelectNode(full->child(1), false);
    std::unique_ptr<QMenu> menu(bar->CreateContextMenu(nullptr));
    bool bFound = false;
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::ID_MAKE_EPUB_TREE) {
            bFound = true;
            QCOMPARE(action->text(), QStringLiteral("生成EPUB文件"));
            QVERIFY(action->isEnabled());
        }
    }
    QVERIFY(bFound);
    bar->SelectNode(empty, false);
    menu.reset(bar->CreateContextMenu(nullptr));
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::ID_MAKE_EPUB_TREE) {
            QVERIFY(!action->isEnabled());
        }
    }

    // A project without pages is refused after the wizard, as for CHM books.
    m_dialog = [](QDialog& dialog) { return qobject_cast<QWizard*>(&dialog) ? int(QDialog::Accepted) : 0; };
    m_pFrame->OnCommand(cmd::ID_MAKE_EPUB);
    QCOMPARE(m_asked, QStringList{QStringLiteral("Trawlix|GetProjectInfo() faild !")});
}

void EpubWizardTest::wizardPresetsRefusesAndMakesTheBookThatOpensInTheDesktopReader()
{
    QTreeWidgetItem* project = addProject(QStringLiteral("小说"), 3);
    m_pFrame->findChild<CProjectBar*>()->SelectNode(project->child(2), false);
    const QString strOut = toQ(m_pTemp->file("out"));
    files::CreateFolder(fromQ(strOut));

    COpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    bool bBuilt = false;
    m_dialog = [&](QDialog& dialog) {
        if (auto* wizard = qobject_cast<CWizardSheetEpub*>(&dialog)) {
            wizard->show();
            [&] {
                QCOMPARE(wizard->windowTitle(), QStringLiteral("生成EPUB文件"));
                // The book's name comes from the page's project; an empty one is refused.
                CWizardEpub1* page1 = wizard->Page1();
                QCOMPARE(page1->NameEdit()->text(), QStringLiteral("小说"));
                page1->NameEdit()->setText(QStringLiteral("   "));
                wizard->next();
                QCOMPARE(wizard->currentId(), int(CWizardSheetEpub::PAGE_NAME));
                QCOMPARE(m_asked.value(0), QStringLiteral("生成EPUB文件|文件名不能为空."));
                page1->NameEdit()->setText(QStringLiteral("  小说全集.epub "));
                wizard->next();
                // The folder starts at the documents folder and must exist.
                CWizardEpub2* page2 = wizard->Page2();
                QCOMPARE(wizard->currentId(), int(CWizardSheetEpub::PAGE_FOLDER));
                QCOMPARE(page2->FolderEdit()->text(), toQ(files::DocumentsFolder()));
                QCOMPARE(page2->BrowseButton()->text(), QStringLiteral("浏览"));
                page2->FolderEdit()->setText(strOut + QStringLiteral("/missing"));
                QVERIFY(!wizard->validateCurrentPage());
                QCOMPARE(m_asked.value(1), QStringLiteral("生成EPUB文件|指定存放目录不存在."));
                page2->FolderEdit()->setText(QStringLiteral(" ") + strOut + QStringLiteral(" "));
            }();
            return wizard->validateCurrentPage() ? int(QDialog::Accepted) : int(QDialog::Rejected);
        }
        auto* build = qobject_cast<CEpubBuildDlg*>(&dialog);
        if (!build) {
            return int(QDialog::Rejected);
        }
        QSignalSpy finished(build, &CEpubBuildDlg::buildFinished);
        build->show();
        // The window is not blocked while the book is made: the spy's wait runs its event loop.
        [&] { QVERIFY(finished.wait(20000)); }();
        bBuilt = finished.value(0).value(0).toBool();
        [&] {
            QVERIFY(build->OpenButton()->isEnabled());
            QCOMPARE(build->findChild<QProgressBar*>(QStringLiteral("progressBar"))->value(),
                     build->findChild<QProgressBar*>(QStringLiteral("progressBar"))->maximum());
            QCOMPARE(build->CloseButton()->text(), QStringLiteral("关闭"));
        }();
        QTest::mouseClick(build->OpenButton(), Qt::LeftButton);
        return int(QDialog::Accepted);
    };
    m_pFrame->OnCommand(cmd::ID_MAKE_EPUB);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QVERIFY(bBuilt);
    const QString strBook = strOut + QStringLiteral("/小说全集.epub");
    QVERIFY(QFileInfo(strBook).isFile());
    QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(strBook)});
    QCOMPARE(m_asked.size(), 2);
}

void EpubWizardTest::closingDuringTheBuildStopsItAndKeepsNoBook()
{
    // Enough pages that the build is still running when the dialog is closed.
    QTreeWidgetItem* project = addProject(QStringLiteral("长篇"), 400);
    CProjectObject object;
    m_pFrame->findChild<CProjectBar*>()->CollectPages(project, object);
    EpubBuildParams params;
    params.m_strEpubFile = m_pTemp->file("长篇.epub");
    params.m_strBookName = "长篇";
    params.m_strProjectName = "长篇";
    params.m_pages = object.m_pages;

    CEpubBuildDlg dialog(params);
    QSignalSpy finished(&dialog, &CEpubBuildDlg::buildFinished);
    dialog.show();
    QVERIFY(dialog.IsRunning());
    dialog.CloseButton()->click();
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.IsRunning());
    QVERIFY(!QFileInfo::exists(toQ(params.m_strEpubFile)));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.value(0).value(0).toBool(), false);
    QVERIFY(dialog.Result().m_code == EpubBuildResult::Code::Cancelled);
}

QTEST_MAIN(EpubWizardTest)
#include "EpubWizardTest.moc"
