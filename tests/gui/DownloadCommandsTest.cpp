#include "wizards/DownloadCommands.h"

#include <deque>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStringDecoder>
#include <QTest>
#include <QTreeWidgetItem>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "download/DownloadWorker.h"
#include "jobs/DownloadJobs.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectCommands.h"
#include "project/ProjectStore.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "wizards/AddPageDlg.h"
#include "wizards/DownloadReportDlg.h"
#include "wizards/WizardPage1.h"
#include "wizards/WizardPage2.h"
#include "wizards/WizardPage3.h"
#include "wizards/WizardSheet.h"

namespace
{
template <typename T> T* child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    if (!widget) {
        qFatal("no child %s", name);
    }
    return widget;
}
} // namespace

// The download commands, run as a user runs them against a local server, in a window of the project
// tree and the message window alone (no browser).
class DownloadCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wizardRunDownloadsTwoPagesIntoTheTree();
    void renderedWizardRunSavesWhatScriptsBuilt();
    void addPagesFromTheInternetToAnEmptyProject();
    void stopEndsEveryRunningJob();
    void aBusyProjectRefusesASecondJob();
    void deletingABusyProjectAsksFirst();
    void droppedLinks();
    void notificationWhenTheWindowIsNotInFront();

private:
    QString url(const char* path) const { return toQ(m_pServer->Url(path)); }
    QString log() const { return m_pMessages->Edit()->toPlainText(); }
    QTreeWidgetItem* emptyProject();
    // Adds pages to the selected project through the add-page dialog.
    void addPages(const QString& strFrom, const QString& strTo);

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<TestHttpServer> m_pServer;
    // The commands' window: the project tree and the message window beside a plain central widget.
    std::unique_ptr<QMainWindow> m_pWindow;
    QWidget* m_pCentral = nullptr;
    CProjectBar* m_pBar = nullptr;
    CMessageBar* m_pMessages = nullptr;
    CDownloadJobs* m_pJobs = nullptr;
    CTrawlixDoc* m_pDoc = nullptr;
    CDownloadCommands* m_pCommands = nullptr;
    CProjectCommands* m_pProjectCommands = nullptr;
    CUserPrompts m_prompts;
    QString m_strStartUrl;
    QString m_strEndUrl;
    std::string m_strDocuments;
    // The user's side.
    std::deque<QMessageBox::StandardButton> m_buttons;
    QStringList m_asked;
    QStringList m_reports;
    QStringList m_notes;
    std::function<int(QDialog&)> m_dialog;
    QStringList m_dialogs; // object names of the dialogs run, in order
};

void DownloadCommandsTest::initTestCase()
{
    m_pTemp = std::make_unique<TempFolder>();
    // Settings and the documents folder of a user of our own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toQ(m_pTemp->file("config")));
}

void DownloadCommandsTest::init()
{
    g_stopDownloadEvent.ResetEvent();
    m_pTemp = std::make_unique<TempFolder>();
    m_strDocuments = m_pTemp->file("文档");
    QVERIFY(files::CreateFolder(m_strDocuments));
    qputenv("XDG_DOCUMENTS_DIR", QByteArray::fromStdString(m_strDocuments));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toQ(m_pTemp->file("config")));

    m_pServer = std::make_unique<TestHttpServer>();
    m_pServer->Route("/s/p1.htm", TestHttpResponse::Html("<html><head><title>一</title></head><body>"
                                                         "<img src=\"i.gif\">1</body></html>"));
    m_pServer->Route("/s/p2.htm", TestHttpResponse::Html("<html><head><title>二</title></head><body>2</body></html>"));
    m_pServer->Route("/s/i.gif", TestHttpResponse::Text("GIF89a"));
    for (const char* path : {"/d/p1.htm", "/d/p2.htm", "/d/p3.htm"}) {
        TestHttpResponse slow = TestHttpResponse::Html("<html><head><title>d</title></head><body>d</body></html>");
        slow.nDelayMs = 400;
        m_pServer->Route(path, slow);
    }
    // Answers its headers, then never sends the body: a job fetching it stands until cancelled.
    TestHttpResponse stalled = TestHttpResponse::Html(std::string(1000, 'x'));
    stalled.nStallAfter = 0;
    m_pServer->Route("/stall.htm", stalled);

    m_buttons.clear();
    m_asked.clear();
    m_reports.clear();
    m_notes.clear();
    m_dialogs.clear();
    m_dialog = [](QDialog&) { return int(QDialog::Rejected); };

    m_strStartUrl.clear();
    m_strEndUrl.clear();
    CUserPrompts& prompts = m_prompts;
    prompts.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons) {
        m_asked.append(caption + QLatin1Char('|') + text);
        if (m_buttons.empty()) {
            return QMessageBox::Ok;
        }
        const QMessageBox::StandardButton answer = m_buttons.front();
        m_buttons.pop_front();
        return answer;
    };
    prompts.execDialog = [this](QDialog& dialog) {
        m_dialogs.append(dialog.objectName());
        if (auto* report = qobject_cast<CDownloadReportDlg*>(&dialog)) {
            m_reports.append(report->m_strSummary);
            return int(QDialog::Accepted);
        }
        return m_dialog(dialog);
    };
    prompts.notify = [this](const QString& title, const QString& text) {
        m_notes.append(title + QLatin1Char('|') + text);
    };
    m_pWindow = std::make_unique<QMainWindow>();
    m_pCentral = new QWidget(m_pWindow.get());
    m_pWindow->setCentralWidget(m_pCentral);
    m_pBar = new CProjectBar(m_pWindow.get());
    m_pWindow->addDockWidget(Qt::LeftDockWidgetArea, m_pBar);
    m_pMessages = new CMessageBar(m_pWindow.get());
    m_pWindow->addDockWidget(Qt::BottomDockWidgetArea, m_pMessages);
    m_pMessages->hide();
    m_pDoc = new CTrawlixDoc(m_prompts, m_pWindow.get(), m_pWindow.get());
    m_pJobs = new CDownloadJobs(m_pWindow.get());
    connect(m_pJobs, &CDownloadJobs::pageSaved, m_pBar, [this](const CDownloadJobs::SavedPage& page) {
        if (QTreeWidgetItem* project = m_pBar->ProjectByKey(page.key)) {
            m_pBar->AddPage(project, page.strTitle, page.strFile, page.strUrl, false);
        }
    });
    connect(m_pJobs, &CDownloadJobs::logLine, m_pMessages, &CMessageBar::AppendLine);
    connect(m_pJobs, &CDownloadJobs::projectModified, m_pDoc, &CTrawlixDoc::MarkModified);
    CCommandContext context;
    context.pProjects = m_pBar;
    context.pJobs = m_pJobs;
    context.pPrompts = &m_prompts;
    context.pWindow = m_pWindow.get();
    context.recordedUrls = [this](QString& strStart, QString& strEnd) {
        strStart = m_strStartUrl;
        strEnd = m_strEndUrl;
    };
    context.addressText = [] { return QString(); };
    context.markModified = [this] { m_pDoc->MarkModified(); };
    context.showLog = [this] {
        m_pMessages->show();
        m_pMessages->ResetLog();
    };
    m_pCommands = new CDownloadCommands(context, m_pWindow.get());
    m_pProjectCommands = new CProjectCommands(
        context, *m_pDoc, [](const QString&) { return false; }, m_pWindow.get());
    m_pWindow->resize(1000, 700);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
}

void DownloadCommandsTest::cleanup()
{
    if (m_pJobs) {
        m_pJobs->Shutdown();
    }
    m_pWindow.reset();
    m_pJobs = nullptr;
    m_pServer.reset();
    qunsetenv("XDG_DOCUMENTS_DIR");
}

QTreeWidgetItem* DownloadCommandsTest::emptyProject()
{
    m_pCommands->NewEmptyProject();
    QTreeWidgetItem* project = m_pBar->Projects().last();
    m_pBar->SelectNode(project);
    return project;
}

void DownloadCommandsTest::addPages(const QString& strFrom, const QString& strTo)
{
    m_dialog = [strFrom, strTo](QDialog& dialog) {
        auto& add = dynamic_cast<CAddPageDlg&>(dialog);
        add.show();
        child<QLineEdit>(&add, "fromEdit")->setText(strFrom);
        child<QLineEdit>(&add, "toEdit")->setText(strTo);
        child<QPushButton>(&add, "okButton")->click();
        return add.result();
    };
    m_pCommands->AddFromInternet();
}

void DownloadCommandsTest::wizardRunDownloadsTwoPagesIntoTheTree()
{
    const std::string strOut = m_pTemp->file("out");
    QVERIFY(files::CreateFolder(strOut));
    m_dialog = [&](QDialog& dialog) {
        auto& wizard = dynamic_cast<CWizardSheet&>(dialog);
        wizard.show();
        const auto next = [&] { wizard.button(QWizard::NextButton)->click(); };
        child<QLineEdit>(wizard.Page1(), "nameEdit")->setText(QStringLiteral("本地站"));
        next();
        child<QLineEdit>(wizard.Page2(), "fromEdit")->setText(url("/s/p1.htm"));
        child<QLineEdit>(wizard.Page2(), "toEdit")->setText(url("/s/p2.htm"));
        next();
        // The documents folder is offered; the user picks another one, typed with a trailing separator.
        const QString strOffered = child<QLineEdit>(wizard.Page3(), "saveFolderEdit")->text();
        if (strOffered != toQ(m_strDocuments)) {
            qWarning() << "offered" << strOffered;
            return int(QDialog::Rejected);
        }
        child<QLineEdit>(wizard.Page3(), "saveFolderEdit")->setText(toQ(strOut) + QLatin1Char('/'));
        next();
        wizard.button(QWizard::FinishButton)->click();
        return wizard.result();
    };
    m_pMessages->AppendLine(QStringLiteral("old line"));
    m_pMessages->hide();
    m_pCommands->NewProject();
    QCOMPARE(m_dialogs, QStringList{QStringLiteral("wizardSheet")});
    QVERIFY(m_pMessages->isVisible());
    QVERIFY(m_pBar->isVisible());
    QVERIFY(log().startsWith(QStringLiteral("-----------Start download webpage-----------------\n")));

    QTRY_COMPARE(m_reports.size(), 1);
    const std::string strFolder = files::Join(strOut, "本地站");
    QCOMPARE(m_reports.at(0), QStringLiteral("本地站\t2\t0\t") + toQ(strFolder));
    QTreeWidgetItem* project = m_pBar->Projects().last();
    QCOMPARE(project->text(0), QStringLiteral("本地站"));
    QCOMPARE(project->childCount(), 2);
    QCOMPARE(project->child(0)->text(0), QStringLiteral("一"));
    QCOMPARE(project->child(1)->text(0), QStringLiteral("二"));
    for (int i = 0; i < 2; ++i) {
        const QString strFile = CProjectTree::ItemPath(project->child(i));
        QVERIFY2(strFile.startsWith(toQ(strFolder) + QLatin1Char('/')), qPrintable(strFile));
        QVERIFY(files::Exists(fromQ(strFile)));
    }
    QVERIFY(log().contains(QStringLiteral(".........") + url("/s/p2.htm") + QStringLiteral(" .......... ok ")));
    QVERIFY(m_pDoc->IsModified());
    QTRY_COMPARE(m_pJobs->JobCount(), 0);

    // Cancel ends a run without a trace.
    m_dialog = [](QDialog&) { return int(QDialog::Rejected); };
    m_pCommands->NewProject();
    QCOMPARE(m_pBar->Projects().size(), 1);
    QCOMPARE(m_pJobs->JobCount(), 0);
}

// The box 按浏览器显示的样子保存 through a whole wizard run: the page's text and picture come from its script,
// and the saved copy shows them in a tab without running anything.
void DownloadCommandsTest::renderedWizardRunSavesWhatScriptsBuilt()
{
#ifndef TRAWLIX_RENDER_PATH
    QSKIP("trawlix-render is not built");
#else
    qputenv("TRAWLIX_RENDER", TRAWLIX_RENDER_PATH);
    m_pServer->Route("/r/data.json", TestHttpResponse::Text(R"({"text": "脚本写出的正文"})"));
    TestHttpResponse picture = TestHttpResponse::Text("<svg xmlns='http://www.w3.org/2000/svg' width='160' height='60'>"
                                                      "<rect width='160' height='60' fill='#2a7'/></svg>");
    picture.headers = {{"Content-Type", "image/svg+xml"}};
    m_pServer->Route("/r/pic.svg", picture);
    m_pServer->Route("/r/page.htm",
                     TestHttpResponse::Html("<html><head><meta charset='utf-8'><title>渲染</title></head><body>"
                                            "<h1 id='h'></h1><img id='i'><script>"
                                            "fetch('data.json').then(r => r.json()).then(j => {"
                                            "document.getElementById('h').textContent = j.text;"
                                            "document.getElementById('i').src = 'pic.svg'; });"
                                            "</script></body></html>"));
    const std::string strOut = m_pTemp->file("out");
    QVERIFY(files::CreateFolder(strOut));
    m_dialog = [&](QDialog& dialog) {
        auto& wizard = dynamic_cast<CWizardSheet&>(dialog);
        wizard.show();
        const auto next = [&] { wizard.button(QWizard::NextButton)->click(); };
        child<QLineEdit>(wizard.Page1(), "nameEdit")->setText(QStringLiteral("渲染站"));
        next();
        child<QLineEdit>(wizard.Page2(), "fromEdit")->setText(url("/r/page.htm"));
        child<QLineEdit>(wizard.Page2(), "toEdit")->clear();
        next();
        child<QLineEdit>(wizard.Page3(), "saveFolderEdit")->setText(toQ(strOut));
        child<QCheckBox>(wizard.Page3(), "renderCheck")->setChecked(true);
        next();
        wizard.button(QWizard::FinishButton)->click();
        return wizard.result();
    };
    m_pCommands->NewProject();
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.size(), 1, 120000);
    QVERIFY2(m_reports.at(0).startsWith(QStringLiteral("渲染站\t1\t0\t")), qPrintable(m_reports.at(0) + log()));
    QTreeWidgetItem* project = m_pBar->Projects().last();
    QCOMPARE(project->childCount(), 1);
    QCOMPARE(project->child(0)->text(0), QStringLiteral("渲染"));
    const QString strFile = CProjectTree::ItemPath(project->child(0));
    QString strSaved;
    {
        QFile file(strFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Saved pages are written in the Chinese code page.
        QStringDecoder decode("GB18030");
        strSaved = decode(file.readAll());
    }
    QVERIFY2(strSaved.contains(QStringLiteral("脚本写出的正文")), qPrintable(strSaved));
    QVERIFY(!strSaved.contains(QStringLiteral("<script")));
    QVERIFY2(strSaved.contains(QStringLiteral(".files/pic.svg")), qPrintable(strSaved));
    QTRY_COMPARE(m_pJobs->JobCount(), 0);

    // The saved page in a tab beside the tree, as the user sees it.
    auto* view = new CTrawlixView(m_pWindow.get());
    m_pWindow->setCentralWidget(view);
    view->show();
    m_pWindow->resize(1100, 700);
    m_pWindow->resizeDocks({m_pBar}, {240}, Qt::Horizontal);
    m_pWindow->resizeDocks({m_pMessages}, {120}, Qt::Vertical);
    view->OpenInNewTab(QUrl::fromLocalFile(strFile), {});
    QTRY_COMPARE_WITH_TIMEOUT(view->TabCtrl()->CurrentBrowser()->Progress(), 100, 30000);
    QTRY_VERIFY(view->TabCtrl()->CurrentBrowser()->title() == QStringLiteral("渲染"));
    QTest::qWait(500);
    // Kept for a person to look at: in $TRAWLIX_SHOTS when set.
    const QImage shot = m_pWindow->screen()->grabWindow(m_pWindow->winId()).toImage();
    if (const QString strShots = qEnvironmentVariable("TRAWLIX_SHOTS"); !strShots.isEmpty()) {
        QDir().mkpath(strShots);
        shot.save(QDir(strShots).filePath(QStringLiteral("render-wizard-saved-page.png")));
    }
    // The script's picture is drawn: its green is on the screen.
    bool bGreen = false;
    for (int y = 0; y < shot.height() && !bGreen; y += 2) {
        for (int x = 0; x < shot.width() && !bGreen; x += 2) {
            bGreen = shot.pixelColor(x, y) == QColor(0x22, 0xaa, 0x77);
        }
    }
    QVERIFY(bGreen);
    qunsetenv("TRAWLIX_RENDER");
#endif
}

void DownloadCommandsTest::addPagesFromTheInternetToAnEmptyProject()
{
    QTreeWidgetItem* project = emptyProject();
    const std::uintptr_t key = m_pBar->ProjectKey(project);
    QVERIFY(!m_pDoc->IsModified());

    // The recorded addresses are the dialog's first guess.
    m_strStartUrl = url("/s/p1.htm");
    m_strEndUrl = url("/s/p2.htm");
    QStringList presets;
    m_dialog = [&](QDialog& dialog) {
        auto& add = dynamic_cast<CAddPageDlg&>(dialog);
        add.show();
        presets << child<QLineEdit>(&add, "fromEdit")->text() << child<QLineEdit>(&add, "toEdit")->text();
        child<QPushButton>(&add, "okButton")->click();
        return add.result();
    };
    m_pCommands->AddFromInternet();
    QCOMPARE(presets, (QStringList{url("/s/p1.htm"), url("/s/p2.htm")}));
    QVERIFY(m_pDoc->IsModified());
    QTRY_COMPARE(m_reports.size(), 1);
    // An empty project saves into the documents folder, never the root.
    const std::string strFolder = files::Join(m_strDocuments, "新建工程");
    QCOMPARE(m_reports.at(0), QStringLiteral("新建工程\t2\t0\t") + toQ(strFolder));
    QCOMPARE(project->childCount(), 2);
    QCOMPARE(m_pJobs->TaskFor(key)->m_nAddCount, 1);
    QTRY_COMPARE(m_pJobs->JobCount(), 0);

    // A second add appends to the same project and folder, under names of its own.
    addPages(url("/s/p1.htm"), QString());
    QTRY_COMPARE(m_reports.size(), 2);
    QCOMPARE(project->childCount(), 3);
    QCOMPARE(m_pJobs->TaskFor(key)->m_nAddCount, 2);
    const QString strFirst = CProjectTree::ItemPath(project->child(0));
    const QString strThird = CProjectTree::ItemPath(project->child(2));
    QVERIFY(strThird != strFirst);
    QCOMPARE(QFileInfo(strThird).absolutePath(), toQ(strFolder));
    QVERIFY(files::Exists(fromQ(strFirst)) && files::Exists(fromQ(strThird)));
    QTRY_COMPARE(m_pJobs->JobCount(), 0);

    // No project selected: no dialog.
    m_pBar->Tree()->clearSelection();
    m_pBar->Tree()->setCurrentItem(nullptr);
    m_dialogs.clear();
    m_pCommands->AddFromInternet();
    QCOMPARE(m_dialogs, QStringList());
}

void DownloadCommandsTest::stopEndsEveryRunningJob()
{
    QTreeWidgetItem* first = emptyProject();
    // A stop while nothing downloads does not end the next job.
    m_pCommands->StopDownload();
    addPages(url("/d/p1.htm"), url("/d/p3.htm"));
    QTreeWidgetItem* second = emptyProject();
    addPages(url("/d/p1.htm"), url("/d/p3.htm"));
    QTRY_VERIFY(first->childCount() >= 1);
    QCOMPARE(m_pJobs->JobCount(), 2);
    // One stop ends both.
    m_pCommands->StopDownload();
    QTRY_COMPARE(m_reports.size(), 2);
    int nSaved = 0;
    for (const QString& strReport : m_reports) {
        const QStringList fields = strReport.split(QLatin1Char('\t'));
        QVERIFY2(fields.at(1).toInt() < 3, qPrintable(strReport));
        nSaved += fields.at(1).toInt();
    }
    QCOMPARE(first->childCount() + second->childCount(), nSaved);
    QTRY_COMPARE(m_pJobs->JobCount(), 0);
}

void DownloadCommandsTest::aBusyProjectRefusesASecondJob()
{
    QTreeWidgetItem* project = emptyProject();
    const std::uintptr_t key = m_pBar->ProjectKey(project);
    addPages(url("/stall.htm"), QString());
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));
    QVERIFY(m_pJobs->IsDownloading(key));

    m_dialogs.clear();
    m_pCommands->AddFromInternet();
    QCOMPARE(m_asked,
             QStringList{QStringLiteral("Trawlix|") + CDownloadCommands::BusyText(QStringLiteral("新建工程"))});
    QCOMPARE(m_dialogs, QStringList());
    QCOMPARE(m_pJobs->TaskFor(key)->m_nAddCount, 1);
    QCOMPARE(m_pJobs->JobCount(), 1);

    // Another project downloads meanwhile.
    emptyProject();
    addPages(url("/s/p1.htm"), QString());
    QTRY_COMPARE(m_reports.size(), 1);
}

void DownloadCommandsTest::deletingABusyProjectAsksFirst()
{
    QTreeWidgetItem* project = emptyProject();
    const std::uintptr_t key = m_pBar->ProjectKey(project);
    addPages(url("/stall.htm"), QString());
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));

    const QString strQuestion = QStringLiteral("删除|工程 '新建工程' 正在下载。确定要停止下载并删除这个工程?");
    m_buttons = {QMessageBox::No};
    m_pProjectCommands->DeleteNode();
    QCOMPARE(m_asked, QStringList{strQuestion});
    QVERIFY(m_pBar->ProjectByKey(key));
    QVERIFY(m_pJobs->IsDownloading(key));

    m_buttons = {QMessageBox::Yes};
    m_pProjectCommands->DeleteNode();
    QVERIFY(!m_pBar->ProjectByKey(key));
    QVERIFY(!m_pJobs->TaskFor(key));
    QTRY_COMPARE(m_pJobs->JobCount(), 0);
    // Nothing of the cancelled job reaches the window.
    QVERIFY(m_reports.isEmpty());
    QVERIFY(!log().contains(QStringLiteral("download file faild")));
}

void DownloadCommandsTest::droppedLinks()
{
    QTreeWidgetItem* project = emptyProject();
    m_pBar->Tree()->clearSelection();
    const auto drop = [&](QWidget* target, const QPoint& pos, const QString& strUrl) {
        QMimeData mime;
        mime.setUrls({QUrl(strUrl)});
        QDragEnterEvent enter(pos, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(pos), Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QVERIFY(dropped.isAccepted());
    };

    // On a project: add pages to it, the link filled in.
    QStringList presets;
    m_dialog = [&](QDialog& dialog) {
        if (auto* add = qobject_cast<CAddPageDlg*>(&dialog)) {
            add->show();
            presets << child<QLineEdit>(add, "fromEdit")->text() << child<QLineEdit>(add, "toEdit")->text();
        } else if (auto* wizard = qobject_cast<CWizardSheet*>(&dialog)) {
            wizard->show();
            child<QLineEdit>(wizard->Page1(), "nameEdit")->setText(QStringLiteral("x"));
            wizard->button(QWizard::NextButton)->click();
            presets << child<QLineEdit>(wizard->Page2(), "fromEdit")->text()
                    << child<QLineEdit>(wizard->Page2(), "toEdit")->text();
        }
        return int(QDialog::Rejected);
    };
    m_strEndUrl = url("/s/p2.htm");
    QWidget* viewport = m_pBar->Tree()->viewport();
    drop(viewport, m_pBar->Tree()->visualItemRect(project).center(), url("/s/p1.htm"));
    QTRY_COMPARE(m_dialogs, QStringList{QStringLiteral("addPageDlg")});
    QCOMPARE(presets, (QStringList{url("/s/p1.htm"), QString()}));

    // Anywhere else: a new project with the link as its first address.
    presets.clear();
    m_dialogs.clear();
    drop(m_pCentral, m_pCentral->rect().center(), url("/s/p1.htm"));
    QTRY_COMPARE(m_dialogs, QStringList{QStringLiteral("wizardSheet")});
    QCOMPARE(presets, (QStringList{url("/s/p1.htm"), QString()}));
}

void DownloadCommandsTest::notificationWhenTheWindowIsNotInFront()
{
    emptyProject();
    m_pWindow->activateWindow();
    if (QTest::qWaitForWindowActive(m_pWindow.get())) {
        addPages(url("/s/p1.htm"), QString());
        QTRY_COMPARE(m_reports.size(), 1);
        QCOMPARE(m_notes, QStringList());
        QTRY_COMPARE(m_pJobs->JobCount(), 0);
    }

    auto other = std::make_unique<QWidget>();
    other->show();
    other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other.get()));
    other.reset();
    QTRY_VERIFY(!QApplication::activeWindow());
    const qsizetype nReports = m_reports.size();
    addPages(url("/s/p1.htm"), url("/s/p2.htm"));
    QTRY_COMPARE(m_notes.size(), 1);
    QCOMPARE(m_notes.at(0), QStringLiteral("工程下载完成|工程名: 新建工程\n下载网页成功: 2\n下载网页失败: 0"));
    // The report still comes.
    QTRY_COMPARE(m_reports.size(), nReports + 1);
}

QTEST_MAIN(DownloadCommandsTest)
#include "DownloadCommandsTest.moc"
