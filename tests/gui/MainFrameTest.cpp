#include "app/MainFrame.h"

#include <deque>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItem>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/TrawlixView.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "download/DownloadMessages.h"
#include "download/DownloadTask.h"
#include "jobs/DownloadJobs.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectStore.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "ui/GaugeCtrl.h"
#include "ui/ProgStatusBar.h"
#include "wizards/DownloadReportDlg.h"
#include "wizards/RenameDlg.h"

namespace
{
// Stands in for the user: answers message boxes from a queue and records what was asked.
struct Answers
{
    std::deque<QMessageBox::StandardButton> buttons;
    QStringList asked; // caption + "|" + text of every message box
    QString strSaveName;
    QString strOpenName;
    QStringList openNames;
    std::function<int(QDialog&)> dialog = [](QDialog&) { return int(QDialog::Rejected); };
    int nSaveDialogs = 0;
    // Where the frame asked the last file chooser to start.
    std::shared_ptr<QString> startFolder = std::make_shared<QString>();
    QStringList startFolders;

    CUserPrompts prompts()
    {
        CUserPrompts p;
        p.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
                              QMessageBox::StandardButtons) {
            asked.append(caption + QLatin1Char('|') + text);
            if (buttons.empty()) {
                return QMessageBox::Ok;
            }
            const QMessageBox::StandardButton answer = buttons.front();
            buttons.pop_front();
            return answer;
        };
        p.execDialog = [this](QDialog& d) { return dialog(d); };
        p.m_pStartFolder = startFolder;
        p.openFileName = [this](QWidget*, const QString&, const QString&, const QString&) {
            startFolders.append(std::exchange(*startFolder, QString()));
            return strOpenName;
        };
        p.saveFileName = [this](QWidget*, const QString&, const QString&, const QString&) {
            startFolders.append(std::exchange(*startFolder, QString()));
            ++nSaveDialogs;
            return strSaveName;
        };
        p.openFileNames = [this](QWidget*, const QString&, const QString&, const QString&) { return openNames; };
        return p;
    }
};

std::vector<CProjectObject> readProjects(const std::string& strPath, std::string* pHeader = nullptr)
{
    CProjectStore store;
    store.SetPath(strPath);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    if (pHeader) {
        *pHeader = store.GetHeaderName();
    }
    return projects;
}

void writeProjects(const std::string& strPath, const std::vector<CProjectObject>& projects)
{
    CProjectStore store;
    store.SetPath(strPath);
    store.SetHeaderName("所有工程");
    store.SetProjects(projects);
    QVERIFY(store.LastTransferOk());
}

QStringList logLines(CMainFrame& frame)
{
    QString strText = frame.findChild<CMessageBar*>()->Edit()->toPlainText();
    if (strText.endsWith(QLatin1Char('\n'))) {
        strText.chop(1);
    }
    return strText.split(QLatin1Char('\n'));
}

QStringList texts(const QTreeWidgetItem* parent)
{
    QStringList list;
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        list.append(parent->child(i)->text(0));
    }
    return list;
}
} // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensAProjectFileIntoTheTree();
    void titleMarkerAndSaveStates();
    void saveWritesTheFileTitleAndSaveAsTheRootText();
    void emptyTreeSaves();
    void openingWhileModifiedAsksFirstAndReplacesTheTree_data();
    void openingWhileModifiedAsksFirstAndReplacesTheTree();
    void unreadableFileIsReportedAndChangesNothing();
    void failedSaveIsReportedAndStaysModified();
    void closePrompt_data();
    void closePrompt();
    void saveFolderForLaterDownloads_data();
    void saveFolderForLaterDownloads();
    void newEmptyProjectHasATask();
    void renameAndDeleteAsk();
    void bookmarksAndRecordedAddresses();
    void addLocalPagesReadsTitles();
    void pagesShowInTheBrowserAndSteppingWalksThem();
    void workerMessagesReachTheLogTreeAndGauge();
    void fileChoosersStartInTheProjectFilesFolder();
    void newEmptyProjectIsSelectedAndInView();
    void toolbarCommandKeepsTheAddressBar();
    void addressListPickOpensTheAddress();
    void ctrlTOpensABlankPage();
    void showingTheFirstPageKeepsTheWindow();

private:
    // The project file of two projects whose pages are real files: A (3 pages, the second bookmarked)
    // and B (1 page), saved under <temp>/save/A and <temp>/save/B.
    std::string makeProjectFile(const std::string& strName = "work.wbr");
    void open(const std::string& strPath);
    QTreeWidgetItem* project(int n) const;

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<CMainFrame> m_pFrame;
    Answers m_answers;
};

void MainFrameTest::init()
{
    QStandardPaths::setTestModeEnabled(true);
    m_pTemp = std::make_unique<TempFolder>();
    m_answers = Answers();
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->SetPrompts(m_answers.prompts());
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
}

void MainFrameTest::cleanup()
{
    m_pFrame->Document()->SetModifiedFlag(false);
    m_pFrame.reset();
    m_pTemp.reset();
}

std::string MainFrameTest::makeProjectFile(const std::string& strName)
{
    const std::string strSave = m_pTemp->file("save");
    std::vector<CProjectObject> projects;
    for (const auto& [project, count] : std::vector<std::pair<std::string, int>>{{"A", 3}, {"B", 1}}) {
        files::CreateFolders(files::Join(strSave, project));
        std::vector<CProjectInfor> pages;
        for (int i = 1; i <= count; ++i) {
            const std::string strTitle = project + std::to_string(i);
            const std::string strFile = files::Join(files::Join(strSave, project), strTitle + ".htm");
            files::WriteFile(strFile,
                             "<html><head><title>" + strTitle + "</title></head><body>" + strTitle + "</body></html>");
            pages.push_back(MakePage(strTitle, strFile, "http://127.0.0.1/" + strTitle, i == 2 ? 1 : 0));
        }
        projects.push_back(MakeProject(project, pages));
    }
    const std::string strPath = m_pTemp->file(strName);
    writeProjects(strPath, projects);
    return strPath;
}

void MainFrameTest::open(const std::string& strPath)
{
    QVERIFY(m_pFrame->OpenProjectFile(toQ(strPath)));
}

QTreeWidgetItem* MainFrameTest::project(int n) const
{
    QTreeWidgetItem* root = m_pFrame->findChild<CProjectBar*>()->Tree()->Root();
    return root && n < root->childCount() ? root->child(n) : nullptr;
}

void MainFrameTest::opensAProjectFileIntoTheTree()
{
    m_pFrame->findChild<CProjectBar*>()->hide();
    const std::string strPath = makeProjectFile();
    // The command line may carry the path in double quotes.
    open("\"" + strPath + "\"");

    CProjectTree* tree = m_pFrame->findChild<CProjectBar*>()->Tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->Root()->text(0), QStringLiteral("所有工程"));
    QCOMPARE(texts(tree->Root()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(texts(project(0)), (QStringList{QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")}));
    QCOMPARE(CProjectTree::ItemImage(project(0)->child(1)), int(CProjectTree::kImageBookmark));
    QCOMPARE(m_pFrame->Document()->Path(), toQ(strPath));
    QVERIFY(!m_pFrame->Document()->IsModified());
    QVERIFY(m_pFrame->findChild<CProjectBar*>()->isVisible());

    // Every project got a task named after it, with a save folder where its pages are.
    for (int i = 0; i < 2; ++i) {
        const CDownloadTask* task =
            m_pFrame->Jobs()->TaskFor(m_pFrame->findChild<CProjectBar*>()->ProjectKey(project(i)));
        QVERIFY(task);
        QCOMPARE(toQ(task->m_strProjectName), project(i)->text(0));
        QCOMPARE(task->m_strSaveFolder, m_pTemp->file("save"));
        QCOMPARE(task->m_nAddCount, 0);
    }

    // What was opened saves back byte for byte.
    QVERIFY(m_pFrame->Document()->Save());
    const std::vector<CProjectObject> saved = readProjects(strPath);
    QCOMPARE(saved.size(), size_t(2));
    QCOMPARE(saved[0].m_pages.size(), size_t(3));
    QCOMPARE(saved[0].m_pages[1].m_bBookmark, 1);
    QCOMPARE(saved[0].m_pages[2].m_strLocalFile, m_pTemp->file("save/A/A3.htm"));
    QCOMPARE(saved[1].m_pages[0].m_strUrl, std::string("http://127.0.0.1/B1"));
}

void MainFrameTest::titleMarkerAndSaveStates()
{
    CMainFrame& frame = *m_pFrame;
    const QString strTitle = frame.windowTitle();
    QCOMPARE(strTitle, QStringLiteral("Velloc 1.6"));
    frame.UpdateCommandStates();
    QVERIFY(!frame.Action(cmd::ID_SAVE_PROJECT)->isEnabled());
    QVERIFY(!frame.Action(cmd::ID_SAVE_PROJECT_AS)->isEnabled());

    open(makeProjectFile());
    frame.UpdateCommandStates();
    QVERIFY(!frame.Action(cmd::ID_SAVE_PROJECT)->isEnabled());
    QVERIFY(frame.Action(cmd::ID_SAVE_PROJECT_AS)->isEnabled());

    frame.Document()->MarkModified();
    frame.Document()->MarkModified();
    QCOMPARE(frame.windowTitle(), strTitle + QStringLiteral(" *"));
    QTRY_VERIFY(frame.Action(cmd::ID_SAVE_PROJECT)->isEnabled());

    frame.OnCommand(cmd::ID_SAVE_PROJECT);
    QCOMPARE(frame.windowTitle(), strTitle);
    QVERIFY(!frame.Document()->IsModified());
    QTRY_VERIFY(!frame.Action(cmd::ID_SAVE_PROJECT)->isEnabled());
}

void MainFrameTest::saveWritesTheFileTitleAndSaveAsTheRootText()
{
    const std::string strPath = makeProjectFile("my.book.wbr");
    open(strPath);
    m_pFrame->Document()->MarkModified();
    QVERIFY(m_pFrame->Document()->Save());
    std::string strHeader;
    readProjects(strPath, &strHeader);
    QCOMPARE(strHeader, std::string("my.book"));

    m_pFrame->findChild<CProjectBar*>()->SetItemText(m_pFrame->findChild<CProjectBar*>()->Tree()->Root(),
                                                     QStringLiteral("我的书"));
    m_answers.strSaveName = toQ(m_pTemp->file("copy.wbr"));
    m_pFrame->OnCommand(cmd::ID_SAVE_PROJECT_AS);
    QCOMPARE(readProjects(m_pTemp->file("copy.wbr"), &strHeader).size(), size_t(2));
    QCOMPARE(strHeader, std::string("我的书"));
    QCOMPARE(m_pFrame->Document()->Path(), m_answers.strSaveName);

    // Cancelling the file chooser changes nothing.
    m_answers.strSaveName.clear();
    QVERIFY(!m_pFrame->Document()->SaveAs());
    QCOMPARE(m_pFrame->Document()->Path(), toQ(m_pTemp->file("copy.wbr")));
}

void MainFrameTest::emptyTreeSaves()
{
    // Every project made since the start was deleted: save writes the empty file and the "*" goes.
    m_answers.strSaveName = toQ(m_pTemp->file("empty.wbr"));
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    m_answers.buttons = {QMessageBox::Yes};
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    QVERIFY(m_pFrame->findChild<CProjectBar*>()->Projects().isEmpty());
    QVERIFY(m_pFrame->windowTitle().endsWith(QStringLiteral(" *")));
    QVERIFY(m_pFrame->Document()->Save());
    QCOMPARE(m_answers.nSaveDialogs, 1);
    QVERIFY(readProjects(m_pTemp->file("empty.wbr")).empty());
    QCOMPARE(m_pFrame->Document()->Path(), toQ(m_pTemp->file("empty.wbr")));
    QVERIFY(!m_pFrame->Document()->IsModified());
    QVERIFY(!m_pFrame->windowTitle().endsWith(QStringLiteral(" *")));

    // With a file, save writes it even when every project was deleted: the signature and header only.
    const std::string strPath = makeProjectFile();
    m_pFrame->Document()->SetModifiedFlag(false);
    open(strPath);
    m_pFrame->findChild<CProjectBar*>()->DeleteNode(project(1));
    m_pFrame->findChild<CProjectBar*>()->DeleteNode(project(0));
    QVERIFY(m_pFrame->Document()->Save());
    std::string strHeader;
    QVERIFY(readProjects(strPath, &strHeader).empty());
    QCOMPARE(strHeader, std::string("work"));
    std::string strBytes;
    QVERIFY(files::ReadFile(strPath, strBytes));
    QCOMPARE(strBytes.size(), size_t(1 + 31 + 1 + 4));
}

void MainFrameTest::openingWhileModifiedAsksFirstAndReplacesTheTree_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<bool>("savedFirst");
    QTest::newRow("yes saves, then opens") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("no drops the changes and opens") << int(QMessageBox::No) << true << false;
    QTest::newRow("cancel keeps everything") << int(QMessageBox::Cancel) << false << false;
}

void MainFrameTest::openingWhileModifiedAsksFirstAndReplacesTheTree()
{
    QFETCH(int, answer);
    QFETCH(bool, opened);
    QFETCH(bool, savedFirst);
    const std::string strFile = makeProjectFile();
    // Unsaved work: a project made since start-up, bound to no file yet.
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    m_pFrame->Document()->MarkModified();
    m_answers.buttons = {QMessageBox::StandardButton(answer)};
    m_answers.strSaveName = toQ(m_pTemp->file("unsaved.wbr"));

    QCOMPARE(m_pFrame->OpenProjectFile(toQ(strFile)), opened);

    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("警告|工程已经改变，要存盘吗?")});
    QCOMPARE(files::Exists(m_pTemp->file("unsaved.wbr")), savedFirst);
    if (savedFirst) {
        QCOMPARE(readProjects(m_pTemp->file("unsaved.wbr")).size(), size_t(1));
    }
    CProjectTree* tree = m_pFrame->findChild<CProjectBar*>()->Tree();
    // Never a second root, never the file merged under the old projects.
    QCOMPARE(tree->topLevelItemCount(), 1);
    if (opened) {
        QCOMPARE(texts(tree->Root()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QVERIFY(!m_pFrame->Document()->IsModified());
        QCOMPARE(m_pFrame->Document()->Path(), toQ(strFile));
        QVERIFY(!m_pFrame->windowTitle().endsWith(QStringLiteral(" *")));
    } else {
        QCOMPARE(texts(tree->Root()), QStringList{QStringLiteral("新建工程")});
        QVERIFY(m_pFrame->Document()->IsModified());
        QVERIFY(m_pFrame->Document()->Path().isEmpty());
    }
}

void MainFrameTest::unreadableFileIsReportedAndChangesNothing()
{
    open(makeProjectFile());
    files::WriteFile(m_pTemp->file("not.wbr"), "plain text, not a project");
    QVERIFY(!m_pFrame->OpenProjectFile(toQ(m_pTemp->file("not.wbr"))));
    QVERIFY(!m_pFrame->OpenProjectFile(toQ(m_pTemp->file("missing.wbr"))));
    QCOMPARE(m_answers.asked.size(), 2);
    QVERIFY(m_answers.asked.at(0).contains(QStringLiteral("这不是工程文件")));
    QVERIFY(m_answers.asked.at(1).contains(QStringLiteral("文件不存在或无法读取")));
    QVERIFY(m_answers.asked.at(1).endsWith(QStringLiteral("\n文件不存在。")));
    // No system text in another language: once the paths are gone, no word in Latin letters is left.
    for (QString strAsked : m_answers.asked) {
        strAsked.remove(toQ(m_pTemp->file("not.wbr"))).remove(toQ(m_pTemp->file("missing.wbr")));
        QVERIFY2(!strAsked.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3}"))), qPrintable(strAsked));
    }
    QCOMPARE(texts(m_pFrame->findChild<CProjectBar*>()->Tree()->Root()),
             (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(m_pFrame->Document()->Path(), toQ(m_pTemp->file("work.wbr")));
}

void MainFrameTest::failedSaveIsReportedAndStaysModified()
{
    open(makeProjectFile());
    // The file's place became a folder: it cannot be written.
    m_pFrame->Document()->SetPath(toQ(m_pTemp->file("save")));
    m_pFrame->Document()->MarkModified();
    QVERIFY(!m_pFrame->Document()->Save());
    QCOMPARE(m_answers.asked.size(), 1);
    QVERIFY(m_answers.asked.at(0).startsWith(QStringLiteral("警告|无法保存工程文件")));
    QVERIFY(m_answers.asked.at(0).contains(QStringLiteral("写入文件时出错")));
    QVERIFY(m_answers.asked.at(0).endsWith(QStringLiteral("\n这是一个文件夹。")));
    QVERIFY(m_pFrame->Document()->IsModified());
    QVERIFY(m_pFrame->windowTitle().endsWith(QStringLiteral(" *")));
}

void MainFrameTest::closePrompt_data()
{
    QTest::addColumn<bool>("bound");     // the document has a file
    QTest::addColumn<QString>("saveAs"); // what the save-as chooser answers ("" = cancel)
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::addColumn<int>("prompts");

    QTest::newRow("yes saves to the file") << true << "" << int(QMessageBox::Yes) << true << true << 1;
    QTest::newRow("yes without a file saves as") << false << "new.wbr" << int(QMessageBox::Yes) << true << true << 1;
    // A cancelled save as keeps the window open, and nothing asks a second time.
    QTest::newRow("yes, save as cancelled") << false << "" << int(QMessageBox::Yes) << false << false << 1;
    QTest::newRow("yes, save fails") << true << "<folder>" << int(QMessageBox::Yes) << false << false << 2;
    QTest::newRow("no closes unsaved") << true << "" << int(QMessageBox::No) << true << false << 1;
    QTest::newRow("cancel stays") << true << "" << int(QMessageBox::Cancel) << false << false << 1;
}

void MainFrameTest::closePrompt()
{
    QFETCH(bool, bound);
    QFETCH(QString, saveAs);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(bool, written);
    QFETCH(int, prompts);

    std::string strTarget;
    if (bound) {
        strTarget = makeProjectFile();
        open(strTarget);
        if (saveAs == QStringLiteral("<folder>")) {
            strTarget = m_pTemp->file("save");
            m_pFrame->Document()->SetPath(toQ(strTarget));
        }
    } else {
        m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
        strTarget = m_pTemp->file("new.wbr");
        m_answers.strSaveName = saveAs.isEmpty() ? QString() : toQ(m_pTemp->file(fromQ(saveAs)));
    }
    // The change to save: a renamed project.
    m_pFrame->findChild<CProjectBar*>()->SetItemText(project(0), QStringLiteral("改过"));
    m_pFrame->Document()->MarkModified();
    m_answers.buttons = {QMessageBox::StandardButton(answer)};

    QCOMPARE(m_pFrame->close(), closes);
    QCOMPARE(m_answers.asked.size(), prompts);
    QCOMPARE(m_answers.asked.at(0), QStringLiteral("警告|工程已经改变，要存盘吗?"));
    const std::vector<CProjectObject> onDisk = readProjects(strTarget);
    QCOMPARE(!onDisk.empty() && onDisk[0].m_strName == "改过", written);
    QCOMPARE(m_pFrame->Document()->IsModified(), !closes);
}

void MainFrameTest::saveFolderForLaterDownloads_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("folder"); // "<documents>" for the user's documents folder

    QTest::newRow("pages saved by a download")
        << QStringList{QStringLiteral("/data/save/Proj/index.htm")} << "/data/save";
    QTest::newRow("no pages") << QStringList{} << "<documents>";
    QTest::newRow("page just under the root") << QStringList{QStringLiteral("/Proj/index.htm")} << "<documents>";
    QTest::newRow("page in the root") << QStringList{QStringLiteral("/index.htm")} << "<documents>";
}

void MainFrameTest::saveFolderForLaterDownloads()
{
    QFETCH(QStringList, pages);
    QFETCH(QString, folder);
    std::vector<std::string> localFiles;
    for (const QString& strPage : pages) {
        localFiles.push_back(fromQ(strPage));
    }
    const std::string strExpected = folder == QStringLiteral("<documents>") ? files::DocumentsFolder() : fromQ(folder);
    QCOMPARE(SaveFolderForPages(localFiles), strExpected);
    QVERIFY(!strExpected.empty() && strExpected != "/");
}

void MainFrameTest::newEmptyProjectHasATask()
{
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT_TREE);
    QCOMPARE(texts(m_pFrame->findChild<CProjectBar*>()->Tree()->Root()),
             (QStringList{QStringLiteral("新建工程"), QStringLiteral("新建工程")}));
    const CDownloadTask* task = m_pFrame->Jobs()->TaskFor(m_pFrame->findChild<CProjectBar*>()->ProjectKey(project(1)));
    QVERIFY(task);
    QCOMPARE(task->m_strProjectName, std::string("新建工程"));
    QCOMPARE(task->m_strSaveFolder, files::DocumentsFolder());
    QVERIFY(task->m_strFirstUrl.empty() && task->m_strLastUrl.empty());
    // Making an empty project is not a change to save.
    QVERIFY(!m_pFrame->Document()->IsModified());
}

void MainFrameTest::renameAndDeleteAsk()
{
    open(makeProjectFile());
    CProjectBar* bar = m_pFrame->findChild<CProjectBar*>();
    QString strTyped;
    m_answers.dialog = [&strTyped](QDialog& dialog) {
        auto* rename = qobject_cast<CRenameDlg*>(&dialog);
        if (!rename || !rename->NameEdit()->text().isEmpty()) {
            return int(QDialog::Rejected);
        }
        rename->NameEdit()->setText(strTyped);
        rename->accept();
        return int(QDialog::Accepted);
    };

    bar->SelectNode(project(0)->child(0));
    strTyped.clear();
    m_pFrame->OnCommand(cmd::ID_RENAME_NODE);
    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("Trawlix|名字不能为空")});
    QCOMPARE(project(0)->child(0)->text(0), QStringLiteral("A1"));
    QVERIFY(!m_pFrame->Document()->IsModified());

    strTyped = QStringLiteral("第一页");
    m_pFrame->OnCommand(cmd::ID_RENAME_NODE);
    QCOMPARE(project(0)->child(0)->text(0), QStringLiteral("第一页"));
    QVERIFY(m_pFrame->Document()->IsModified());

    // Deleting asks by kind and name; No keeps the node.
    m_answers.asked.clear();
    m_answers.buttons = {QMessageBox::No, QMessageBox::Yes};
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    bar->SelectNode(project(1));
    const std::uintptr_t keyB = bar->ProjectKey(project(1));
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    QCOMPARE(m_answers.asked, (QStringList{QStringLiteral("删除|确定要删除网页 '第一页'?"),
                                           QStringLiteral("删除|确定要删除工程 'B'?")}));
    QCOMPARE(texts(bar->Tree()->Root()), QStringList{QStringLiteral("A")});
    QCOMPARE(project(0)->childCount(), 3);
    QVERIFY(m_pFrame->Jobs()->TaskFor(keyB) == nullptr);

    // The root is never deleted.
    m_answers.asked.clear();
    bar->SelectNode(bar->Tree()->Root());
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    QVERIFY(m_answers.asked.isEmpty());
}

void MainFrameTest::bookmarksAndRecordedAddresses()
{
    open(makeProjectFile());
    CMainFrame& frame = *m_pFrame;
    frame.findChild<CProjectBar*>()->SelectNode(project(0)->child(0), false);
    frame.UpdateCommandStates();
    QVERIFY(frame.Action(cmd::ID_INSERT_BOOKMARK)->isEnabled());
    QVERIFY(!frame.Action(cmd::ID_REMOVE_BOOKMARK)->isEnabled());
    QVERIFY(!frame.Action(cmd::ID_BROWSE_PREV_PAGE)->isEnabled());
    QVERIFY(frame.Action(cmd::ID_BROWSE_NEXT_PAGE)->isEnabled());

    frame.OnCommand(cmd::ID_INSERT_BOOKMARK);
    QVERIFY(frame.Document()->IsModified());
    frame.UpdateCommandStates();
    QVERIFY(!frame.Action(cmd::ID_INSERT_BOOKMARK)->isEnabled());
    QVERIFY(frame.Action(cmd::ID_REMOVE_BOOKMARK)->isEnabled());
    frame.Document()->MarkSaved();
    frame.OnCommand(cmd::ID_REMOVE_BOOKMARK_TREE);
    QVERIFY(frame.Document()->IsModified());
    QCOMPARE(CProjectTree::ItemImage(project(0)->child(0)), int(CProjectTree::kImagePage));

    // A bookmark command on a project changes nothing.
    frame.Document()->MarkSaved();
    frame.findChild<CProjectBar*>()->SelectNode(project(0));
    frame.OnCommand(cmd::ID_INSERT_BOOKMARK);
    QVERIFY(!frame.Document()->IsModified());

    // Recording takes the address box's text; recording again clears it.
    frame.findChild<QComboBox*>(QStringLiteral("addressBox"))
        ->setEditText(QStringLiteral("http://127.0.0.1/list?page=1"));
    frame.OnCommand(cmd::ID_RECORD_START_URL);
    frame.findChild<QComboBox*>(QStringLiteral("addressBox"))
        ->setEditText(QStringLiteral("http://127.0.0.1/list?page=9"));
    frame.OnCommand(cmd::ID_RECORD_END_URL);
    QString strStart;
    QString strEnd;
    frame.GetRecordedUrls(strStart, strEnd);
    QCOMPARE(strStart, QStringLiteral("http://127.0.0.1/list?page=1"));
    QCOMPARE(strEnd, QStringLiteral("http://127.0.0.1/list?page=9"));
    frame.UpdateCommandStates();
    QVERIFY(frame.Action(cmd::ID_RECORD_START_URL)->isChecked());
    frame.OnCommand(cmd::ID_RECORD_START_URL);
    frame.GetRecordedUrls(strStart, strEnd);
    QVERIFY(strStart.isEmpty());
    frame.UpdateCommandStates();
    QVERIFY(!frame.Action(cmd::ID_RECORD_START_URL)->isChecked());
    QVERIFY(frame.Action(cmd::ID_RECORD_END_URL)->isChecked());
}

void MainFrameTest::addLocalPagesReadsTitles()
{
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    const std::string strTitled = m_pTemp->file("titled.html");
    const std::string strBare = m_pTemp->file("bare.htm");
    files::WriteFile(strTitled, "<html><head><title>本地网页</title></head><body>x</body></html>");
    files::WriteFile(strBare, "<html><body>no title</body></html>");
    m_answers.openNames = {toQ(strTitled), toQ(strBare), toQ(m_pTemp->file("gone.htm"))};

    // Without a selected project nothing happens.
    m_pFrame->findChild<CProjectBar*>()->Tree()->clearSelection();
    m_pFrame->OnCommand(cmd::ID_ADD_LOCAL_PAGES);
    QCOMPARE(project(0)->childCount(), 0);

    m_pFrame->findChild<CProjectBar*>()->SelectNode(project(0));
    m_pFrame->OnCommand(cmd::ID_ADD_LOCAL_PAGES);
    QCOMPARE(texts(project(0)), (QStringList{QStringLiteral("本地网页"), QStringLiteral("Untitled")}));
    QCOMPARE(CProjectTree::ItemPath(project(0)->child(1)), toQ(strBare));
    QCOMPARE(m_pFrame->findChild<CProjectBar*>()->PageUrl(project(0)->child(1)), toQ(strBare));
    QVERIFY(m_pFrame->Document()->IsModified());
    // The file that could not be read is named to the user.
    QCOMPARE(m_answers.asked.size(), 1);
    QVERIFY(m_answers.asked.at(0).contains(toQ(m_pTemp->file("gone.htm"))));
}

void MainFrameTest::pagesShowInTheBrowserAndSteppingWalksThem()
{
    open(makeProjectFile());
    CMainFrame& frame = *m_pFrame;
    CProjectBar* bar = frame.findChild<CProjectBar*>();
    const QString strA1 = toQ(m_pTemp->file("save/A/A1.htm"));
    const QString strA2 = toQ(m_pTemp->file("save/A/A2.htm"));
    const QString strB1 = toQ(m_pTemp->file("save/B/B1.htm"));

    // Clicking a page shows its saved copy in a tab; the browser reports it back into the address box.
    CProjectTree* tree = bar->Tree();
    tree->scrollToItem(project(0)->child(0));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(project(0)->child(0)).center());
    QTRY_COMPARE(frame.GetAddressText(), strA1);

    frame.OnCommand(cmd::ID_BROWSE_NEXT_PAGE);
    QCOMPARE(bar->GetSelection(), project(0)->child(1));
    QTRY_COMPARE(frame.GetAddressText(), strA2);
    frame.OnCommand(cmd::ID_BROWSE_PREV_PAGE);
    QTRY_COMPARE(frame.GetAddressText(), strA1);

    // An address typed into the box is shown, kept in the box's list, and selects its page. The key goes
    // where the keyboard sends it: to the widget with the focus, which is the box, not its line edit.
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->setFocus();
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->lineEdit()->setText(strB1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(bar->GetSelection(), project(1)->child(0));
    QCOMPARE(frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->count(), 1);
    QCOMPARE(frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->itemText(0), strB1);

    // A Return that reaches the line edit itself counts once too.
    frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->lineEdit()->setText(strA2);
    QTest::keyClick(frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(bar->GetSelection(), project(0)->child(1));
    QCOMPARE(frame.findChild<QComboBox*>(QStringLiteral("addressBox"))->count(), 2);
}

void MainFrameTest::workerMessagesReachTheLogTreeAndGauge()
{
    CMainFrame& frame = *m_pFrame;
    frame.OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    const std::uintptr_t key = frame.findChild<CProjectBar*>()->ProjectKey(project(0));
    const std::string strKey = std::to_string(key);
    CGaugeCtrl* gauge = frame.findChild<CProgStatusBar*>()->downloadGauge();
    QString strSummary;
    frame.Prompts().execDialog = [&strSummary](QDialog& dialog) {
        if (auto* report = qobject_cast<CDownloadReportDlg*>(&dialog)) {
            strSummary = report->m_strSummary;
        }
        return int(QDialog::Accepted);
    };

    frame.Jobs()->OnDownloadMessage(WM_DOWNLOAD_BEGIN, "http://127.0.0.1/p1.htm", 0);
    frame.Jobs()->OnDownloadMessage(WM_DOWNLOAD_RESULT, "http://127.0.0.1/a.gif", DR_RESOURCE_DONE);
    frame.Jobs()->OnDownloadMessage(
        WM_DOWNLOAD_RESULT, "/s/新建工程/p1.htm\thttp://127.0.0.1/p1.htm\t" + strKey + "\t第一页\t3\t4", DR_PAGE_SAVED);
    QCOMPARE(gauge->pos(), 75);
    QVERIFY(gauge->isVisible());
    frame.Jobs()->OnDownloadMessage(WM_DOWNLOAD_RESULT, "4\t4\tcannot write /s/p4.htm: No space left on device",
                                    DR_PAGE_FAILED);
    QVERIFY(!gauge->isVisible());
    // A page of a project that is gone adds nothing.
    frame.Jobs()->OnDownloadMessage(WM_DOWNLOAD_RESULT, "/s/x.htm\thttp://127.0.0.1/x.htm\t999999\tx\t1\t2",
                                    DR_PAGE_SAVED);
    QVERIFY(!frame.Document()->IsModified());
    frame.Jobs()->OnDownloadMessage(WM_DOWNLOAD_FINISHED, "新建工程\t1\t1\t/s/新建工程", 0);

    QCOMPARE(logLines(frame), (QStringList{QStringLiteral("DownLoad file from : http://127.0.0.1/p1.htm"),
                                           QStringLiteral("     http://127.0.0.1/a.gif   ok"),
                                           QStringLiteral(".........http://127.0.0.1/p1.htm .......... ok "),
                                           QStringLiteral("download file faild !"),
                                           QStringLiteral("cannot write /s/p4.htm: No space left on device"),
                                           QStringLiteral(".........http://127.0.0.1/x.htm .......... ok ")}));
    QCOMPARE(texts(project(0)), QStringList{QStringLiteral("第一页")});
    QCOMPARE(CProjectTree::ItemPath(project(0)->child(0)), QStringLiteral("/s/新建工程/p1.htm"));
    QCOMPARE(frame.findChild<CProjectBar*>()->PageUrl(project(0)->child(0)), QStringLiteral("http://127.0.0.1/p1.htm"));
    QVERIFY(frame.Document()->IsModified());
    QVERIFY(frame.windowTitle().endsWith(QStringLiteral(" *")));
    QCOMPARE(strSummary, QStringLiteral("新建工程\t1\t1\t/s/新建工程"));
    QCOMPARE(
        CDownloadReportDlg::ReportLines(QStringLiteral(" 新建工程 \t1\t 1\t/s/新建工程 ")),
        (QStringList{QStringLiteral("工程名:"), QStringLiteral("         新建工程"), QStringLiteral("下载网页成功:"),
                     QStringLiteral("         1"), QStringLiteral("下载网页失败:"), QStringLiteral("         1"),
                     QStringLiteral("网页保存路径:"), QStringLiteral("         /s/新建工程")}));
}

void MainFrameTest::fileChoosersStartInTheProjectFilesFolder()
{
    // Without a file: the choosers' own default.
    m_pFrame->OnCommand(cmd::ID_OPEN_PROJECT);
    QCOMPARE(m_answers.startFolders, QStringList{QString()});
    open(makeProjectFile());
    m_pFrame->OnCommand(cmd::ID_OPEN_PROJECT);
    m_pFrame->OnCommand(cmd::ID_SAVE_PROJECT_AS);
    const QString strFolder = toQ(m_pTemp->path());
    QCOMPARE(m_answers.startFolders, (QStringList{QString(), strFolder, strFolder}));
}

void MainFrameTest::newEmptyProjectIsSelectedAndInView()
{
    open(makeProjectFile());
    CProjectTree* tree = m_pFrame->findChild<CProjectBar*>()->Tree();
    for (int i = 0; i < 40; ++i) {
        m_pFrame->findChild<CProjectBar*>()->AddPage(project(0), QStringLiteral("p%1").arg(i),
                                                     QStringLiteral("/x/p%1.htm").arg(i), QString(), false);
    }
    tree->scrollToTop();
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT_TREE);
    QTreeWidgetItem* added = project(2);
    QVERIFY(added);
    QCOMPARE(m_pFrame->findChild<CProjectBar*>()->GetSelection(), added);
    QTRY_VERIFY(tree->viewport()->rect().contains(tree->visualItemRect(added)));
}

void MainFrameTest::toolbarCommandKeepsTheAddressBar()
{
    auto* toolBar = m_pFrame->findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    auto* projectToolBar = m_pFrame->findChild<QToolBar*>(QStringLiteral("projectToolBar"));
    auto* addressBar = m_pFrame->findChild<QToolBar*>(QStringLiteral("addressBar"));
    QVERIFY(toolBar && projectToolBar && addressBar);
    m_pFrame->Action(cmd::ID_VIEW_TOOLBAR)->trigger();
    QVERIFY(!toolBar->isVisible());
    QVERIFY(!projectToolBar->isVisible());
    QVERIFY(addressBar->isVisible());
    m_pFrame->UpdateCommandStates();
    QVERIFY(!m_pFrame->Action(cmd::ID_VIEW_TOOLBAR)->isChecked());
    m_pFrame->Action(cmd::ID_VIEW_TOOLBAR)->trigger();
    QVERIFY(toolBar->isVisible());
    QVERIFY(projectToolBar->isVisible());
    QVERIFY(addressBar->isVisible());
}

void MainFrameTest::addressListPickOpensTheAddress()
{
    const std::string strFile = m_pTemp->file("pick.htm");
    files::WriteFile(strFile, "<html><head><title>Pick</title></head><body>pick</body></html>");
    QComboBox* box = m_pFrame->findChild<QComboBox*>(QStringLiteral("addressBox"));
    box->addItem(toQ(strFile));
    box->addItem(QStringLiteral("about:blank"));
    CBrowserTabCtrl* tabs = m_pFrame->findChild<CTrawlixView*>()->TabCtrl();
    QCOMPARE(tabs->Count(), 0);
    // As a click on the first entry of the opened list.
    box->showPopup();
    QAbstractItemView* list = box->view();
    QTRY_VERIFY(list->isVisible());
    const QRect rcItem = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rcItem.center());
    QTRY_COMPARE(tabs->Count(), 1);
    QTRY_COMPARE(tabs->TabText(0), QStringLiteral("Pick"));
    QCOMPARE(box->count(), 2);
}

void MainFrameTest::ctrlTOpensABlankPage()
{
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame.get()));
    CBrowserTabCtrl* tabs = m_pFrame->findChild<CTrawlixView*>()->TabCtrl();
    QTest::keyClick(m_pFrame.get(), Qt::Key_T, Qt::ControlModifier);
    QTRY_COMPARE(tabs->Count(), 1);
    QTest::keyClick(m_pFrame.get(), Qt::Key_T, Qt::ControlModifier);
    QTRY_COMPARE(tabs->Count(), 2);
    QCOMPARE(tabs->CurrentIndex(), 1);
}

void MainFrameTest::showingTheFirstPageKeepsTheWindow()
{
    // The window is not made again for the first page (the screen would go black for a moment).
    struct WinIdWatch : QObject
    {
        int nChanges = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            nChanges += event->type() == QEvent::WinIdChange ? 1 : 0;
            return false;
        }
    } watch;
    m_pFrame->installEventFilter(&watch);
    const WId before = m_pFrame->winId();
    const std::string strFile = m_pTemp->file("first.htm");
    files::WriteFile(strFile, "<html><head><title>First</title></head><body>first</body></html>");
    m_pFrame->NavigateTo(toQ(strFile));
    CBrowserTabCtrl* tabs = m_pFrame->findChild<CTrawlixView*>()->TabCtrl();
    QTRY_COMPARE(tabs->TabText(0), QStringLiteral("First"));
    QTest::qWait(200);
    QCOMPARE(m_pFrame->winId(), before);
    QCOMPARE(watch.nChanges, 0);
    m_pFrame->removeEventFilter(&watch);
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
