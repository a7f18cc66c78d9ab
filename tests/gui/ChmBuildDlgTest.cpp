#include "chm/ChmBuildDlg.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>
#include <QWebEnginePage>

#include "TempFolder.h"
#include "TestHttpServer.h"
#include "WebPageTestSupport.h"
#include "app/MainFrame.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "chm/ChmContentsPanel.h"
#include "chm/ChmSchemeHandler.h"
#include "chm/WizardCHM1.h"
#include "chm/WizardCHM2.h"
#include "chm/WizardSheetOK.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "download/DownloadWorker.h"
#include "jobs/DownloadJobs.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/TrawlixDoc.h"
#include "wizards/DownloadReportDlg.h"

// Real books: pages downloaded from a local server into a frame, compiled by chmcmd through the build
// dialog, and opened in the program's own reader.
class ChmBuildDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buildsDownloadedPagesAndShowsTheBook();
    void closingWhileBuildingWaitsForTheCompiler();
    void failedBuildsSaySoAndShowNothing_data();
    void failedBuildsSaySoAndShowNothing();

private:
    // Runs the dialog over one page and answers its questions with answers, in order.
    void runDialog(CChmBuildDlg& dialog, const std::string& strPage);

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<TestHttpServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    CUserPrompts m_prompts;
    QStringList m_questions;
    QList<QMessageBox::StandardButton> m_answers;
};

namespace
{
// Where each text first occurs in strText, in order; -1 for a missing one.
QList<qsizetype> Positions(const QString& strText, const QStringList& parts)
{
    QList<qsizetype> positions;
    for (const QString& part : parts) {
        positions.append(strText.indexOf(part));
    }
    return positions;
}
} // namespace

void ChmBuildDlgTest::init()
{
    g_stopDownloadEvent.ResetEvent();
    m_pTemp = std::make_unique<TempFolder>();
    m_pServer = std::make_unique<TestHttpServer>();
    m_pServer->Route("/p1.htm", TestHttpResponse::Html("<html><head><title>第一页</title></head>"
                                                       "<body><img src=\"pic.png\"><p>one</p></body></html>"));
    m_pServer->Route("/p2.htm",
                     TestHttpResponse::Html("<html><head><title>Second</title></head><body><p>2</p></body></html>"));
    TestHttpResponse png = TestHttpResponse::Text(PngBytes(24, 16, QColor(200, 40, 40)).toStdString());
    png.headers = {{"Content-Type", "image/png"}};
    m_pServer->Route("/pic.png", png);

    m_questions.clear();
    m_answers.clear();
    m_pFrame = std::make_unique<CMainFrame>();
    m_prompts = m_pFrame->Prompts();
    m_prompts.messageBox = [this](QWidget*, QMessageBox::Icon, const QString&, const QString& strText,
                                  QMessageBox::StandardButtons) {
        m_questions.append(strText);
        return m_answers.isEmpty() ? QMessageBox::Ok : m_answers.takeFirst();
    };
    m_prompts.execDialog = [](QDialog& dialog) {
        if (qobject_cast<CDownloadReportDlg*>(&dialog)) {
            return int(QDialog::Accepted);
        }
        return dialog.exec();
    };
    m_pFrame->SetPrompts(m_prompts);
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
}

void ChmBuildDlgTest::cleanup()
{
    if (m_pFrame) {
        m_pFrame->Document()->SetModifiedFlag(false);
    }
    m_pFrame.reset();
    m_pServer.reset();
    m_pTemp.reset();
}

void ChmBuildDlgTest::buildsDownloadedPagesAndShowsTheBook()
{
    // Two pages downloaded by a real job into the frame.
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    QTreeWidgetItem* project = m_pFrame->findChild<CProjectBar*>()->Projects().last();
    const std::uintptr_t key = m_pFrame->findChild<CProjectBar*>()->ProjectKey(project);
    CDownloadTask* task = m_pFrame->Jobs()->TaskFor(key);
    task->m_strSaveFolder = m_pTemp->path();
    task->m_strFirstUrl = m_pServer->Url("/p1.htm");
    task->m_strLastUrl = m_pServer->Url("/p2.htm");
    QVERIFY(m_pFrame->Jobs()->Start(key));
    QTRY_COMPARE(m_pFrame->Jobs()->JobCount(), 0);
    QCOMPARE(project->childCount(), 2);
    m_pFrame->findChild<CProjectBar*>()->SelectNode(project, false);

    const std::string strOut = m_pTemp->file("书架");
    QVERIFY(files::CreateFolder(strOut));
    QStringList snapshots;
    bool bShowEnabledAtEnd = false;
    bool bShowEnabledBefore = true;
    std::string strWorkFolder;
    m_prompts.execDialog = [&](QDialog& dialog) {
        if (qobject_cast<CDownloadReportDlg*>(&dialog)) {
            return int(QDialog::Accepted);
        }
        if (auto* sheet = qobject_cast<CWizardSheetOK*>(&dialog)) {
            sheet->show();
            sheet->Page1()->NameEdit()->setText(QStringLiteral("电子书.chm"));
            sheet->next();
            sheet->Page2()->FolderEdit()->setText(toQ(strOut));
            sheet->next();
            sheet->accept();
            return sheet->result();
        }
        auto* build = qobject_cast<CChmBuildDlg*>(&dialog);
        if (!build) {
            return int(QDialog::Rejected);
        }
        strWorkFolder = build->m_params.m_strWorkFolder;
        connect(build->OutputEdit(), &QPlainTextEdit::textChanged, build, [&snapshots, build, &bShowEnabledBefore] {
            snapshots.append(build->OutputEdit()->toPlainText());
            if (!build->HasEnded() && build->ShowButton()->isEnabled()) {
                bShowEnabledBefore = true;
            }
        });
        bShowEnabledBefore = build->ShowButton()->isEnabled();
        connect(build, &CChmBuildDlg::buildEnded, build, [&bShowEnabledAtEnd, build] {
            bShowEnabledAtEnd = build->ShowButton()->isEnabled();
            QTimer::singleShot(0, build, [build] { QTest::mouseClick(build->ShowButton(), Qt::LeftButton); });
        });
        return build->exec();
    };
    m_pFrame->SetPrompts(m_prompts);
    m_pFrame->OnCommand(cmd::ID_MAKE_CHM);

    const QString strBook = toQ(files::Join(strOut, "电子书.chm"));
    QVERIFY(!snapshots.isEmpty());
    const QString strOutput = snapshots.last();
    // The progress lines, the compiler's own output and the verdict, in this order, arriving bit by bit.
    const QList<qsizetype> positions = Positions(
        strOutput, {QStringLiteral("开始拷贝文件,请稍后.......\n"), QStringLiteral("开始生成工程文件,请稍后.......\n"),
                    QStringLiteral("开始生成CHM文档,请稍后.......\n"), QStringLiteral("chmcmd"),
                    QStringLiteral("CHM文件已生成: ") + strBook});
    QVERIFY2(!positions.contains(-1), qPrintable(strOutput));
    QVERIFY2(std::is_sorted(positions.begin(), positions.end()), qPrintable(strOutput));
    QCOMPARE(positions.first(), 0);
    QVERIFY(snapshots.size() >= 4);
    QVERIFY(snapshots.first().startsWith(QStringLiteral("开始拷贝文件")));
    QVERIFY(!snapshots.first().contains(QStringLiteral("开始生成CHM文档")));
    QVERIFY(!bShowEnabledBefore);
    QVERIFY(bShowEnabledAtEnd);
    QVERIFY(files::IsRegularFile(fromQ(strBook)));
    QVERIFY(!files::Exists(fromQ(strBook) + ".chm"));
    // The build's working folder is gone once the dialog has closed.
    QVERIFY(!strWorkFolder.empty());
    QVERIFY(!files::Exists(strWorkFolder));

    // "显示CHM文件" opened the book in a new tab, its contents beside its first page.
    CBrowserTabCtrl* tabs = m_pFrame->findChild<CTrawlixView*>()->TabCtrl();
    QCOMPARE(tabs->Count(), 1);
    CMyWB* browser = tabs->CurrentBrowser();
    auto* contents = qobject_cast<CChmContentsPanel*>(tabs->SidePanelOf(browser));
    QVERIFY(contents);
    QVERIFY(contents->isVisible());
    QCOMPARE(contents->topLevelItemCount(), 1);
    QTreeWidgetItem* book = contents->topLevelItem(0);
    QCOMPARE(book->text(0), QStringLiteral("新建工程"));
    QCOMPARE(book->childCount(), 2);
    QCOMPARE(book->child(0)->text(0), QStringLiteral("第一页"));
    QCOMPARE(book->child(1)->text(0), QStringLiteral("Second"));
    QCOMPARE(browser->url().scheme(), QStringLiteral("chm"));
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("第一页"), 10000);
    QTRY_COMPARE(contents->currentItem(), book->child(0));
    // The page's picture came out of the book.
    QTRY_COMPARE_WITH_TIMEOUT(
        RunScript(browser->page(), QStringLiteral("document.images.length ? document.images[0].naturalWidth : -1"))
            .toInt(),
        24, 10000);
    QTRY_COMPARE(tabs->TabText(0), QStringLiteral("第一页"));

    // Choosing an entry shows its page.
    QTest::mouseClick(contents->viewport(), Qt::LeftButton, {}, contents->visualItemRect(book->child(1)).center());
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("Second"), 10000);
    QCOMPARE(browser->url(), CChmContentsPanel::TopicUrl(book->child(1)));
}

void ChmBuildDlgTest::runDialog(CChmBuildDlg& dialog, const std::string& strPage)
{
    const std::string strWork = m_pTemp->file("work");
    QVERIFY(files::CreateFolder(strWork));
    dialog.m_params.m_strChmFile = m_pTemp->file("book.chm");
    dialog.m_params.m_strBookName = "Book";
    dialog.m_params.SetPages({strPage}, strWork);
    dialog.m_params.SetTitles({"Page"});
}

void ChmBuildDlgTest::closingWhileBuildingWaitsForTheCompiler()
{
    const std::string strPage = m_pTemp->file("a.htm");
    QVERIFY(files::WriteFile(strPage, "<html><title>A</title>a</html>"));
    // The real compiler, started a little late so the dialog can be closed while it runs.
    const std::string strSlow = m_pTemp->file("slow-chmcmd");
    QVERIFY(files::WriteFile(strSlow, "#!/bin/sh\nsleep 2\nexec chmcmd \"$@\"\n"));
    QFile::setPermissions(toQ(strSlow), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    CChmBuildDlg dialog(m_prompts, {}, m_pFrame.get());
    runDialog(dialog, strPage);
    dialog.m_params.m_strCommand = strSlow;
    bool bOpenAfterNo = false;
    bool bOpenAfterYes = false;
    connect(dialog.OutputEdit(), &QPlainTextEdit::textChanged, &dialog, [&] {
        if (!dialog.OutputEdit()->toPlainText().contains(QStringLiteral("开始生成CHM文档")) || !m_questions.isEmpty()) {
            return;
        }
        QTimer::singleShot(0, &dialog, [&] {
            m_answers = {QMessageBox::No, QMessageBox::Yes};
            dialog.reject();
            bOpenAfterNo = dialog.isVisible() && dialog.IsBuilding();
            dialog.reject();
            bOpenAfterYes = dialog.isVisible() && dialog.IsBuilding();
        });
    });
    const int nResult = dialog.exec();
    QCOMPARE(nResult, int(QDialog::Rejected));
    QCOMPARE(m_questions.size(), 2);
    QVERIFY(m_questions.at(0).contains(QStringLiteral("CHM文件正在生成")));
    QVERIFY(bOpenAfterNo);
    QVERIFY(bOpenAfterYes);
    // It closed only after the compiler had ended, and the book was made.
    QVERIFY(dialog.HasEnded());
    QVERIFY(dialog.Result().Succeeded());
    QVERIFY(dialog.OutputEdit()->toPlainText().contains(QStringLiteral("正在等待编译程序结束")));
    QVERIFY(files::IsRegularFile(m_pTemp->file("book.chm")));
}

void ChmBuildDlgTest::failedBuildsSaySoAndShowNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("pageExists");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("no compiler") << QStringLiteral("/no/such/chmcmd") << true
                                 << QStringLiteral("没有生成CHM文件: 无法启动编译程序");
    QTest::newRow("page missing") << QStringLiteral("chmcmd") << false << QStringLiteral("没有生成CHM文件: ");
}

void ChmBuildDlgTest::failedBuildsSaySoAndShowNothing()
{
    QFETCH(QString, command);
    QFETCH(bool, pageExists);
    QFETCH(QString, verdict);
    const std::string strPage = m_pTemp->file("a.htm");
    if (pageExists) {
        QVERIFY(files::WriteFile(strPage, "<html><title>A</title>a</html>"));
    }
    CChmBuildDlg dialog(m_prompts, {}, m_pFrame.get());
    runDialog(dialog, strPage);
    dialog.m_params.m_strCommand = fromQ(command);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.HasEnded(), 30000);
    const QString strOutput = dialog.OutputEdit()->toPlainText();
    QVERIFY2(strOutput.contains(verdict), qPrintable(strOutput));
    if (!pageExists) {
        QVERIFY(!strOutput.contains(QStringLiteral("CHM文件已生成")));
    } else {
        QVERIFY(strOutput.contains(QStringLiteral("create   process   error!")));
    }
    QVERIFY(!dialog.ShowButton()->isEnabled());
    dialog.reject();
    QTRY_VERIFY(!dialog.isVisible());
    QVERIFY(m_questions.isEmpty());
}

int main(int argc, char** argv)
{
    CChmSchemeHandler::RegisterScheme();
    QApplication app(argc, argv);
    ChmBuildDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ChmBuildDlgTest.moc"
