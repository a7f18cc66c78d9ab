#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTreeWidgetItem>

#include "TempFolder.h"
#include "TestHttpServer.h"
#include "app/MainFrame.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "download/DownloadWorker.h"
#include "jobs/DownloadJobs.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "update/ProjectRecord.h"
#include "wizards/DownloadReportDlg.h"

// 更新工程 from the project tree's menu, against a local server, in a real frame.
class UpdateProjectTest : public QObject
{
    Q_OBJECT

private slots:
    void updateFromTheTreeMenuAddsNewPagesAndReports();
};

namespace
{
TestHttpResponse chapter(int n, const std::string& strText)
{
    return TestHttpResponse::Html("<html><head><title>第" + std::to_string(n) + "章</title></head><body><p>" + strText +
                                  "</p></body></html>");
}
} // namespace

void UpdateProjectTest::updateFromTheTreeMenuAddsNewPagesAndReports()
{
    g_stopDownloadEvent.ResetEvent();
    TempFolder temp;
    TestHttpServer server;
    for (int n = 1; n <= 3; ++n) {
        server.Route("/s" + std::to_string(n) + ".htm", chapter(n, "text " + std::to_string(n)));
    }
    CMainFrame frame;
    CUserPrompts prompts = frame.Prompts();
    QList<QStringList> reports;
    prompts.execDialog = [&](QDialog& dialog) {
        if (auto* report = qobject_cast<CDownloadReportDlg*>(&dialog)) {
            QStringList lines = report->m_lines;
            if (!lines.isEmpty()) {
                // The dialog as the user sees it, kept when a folder for pictures is named.
                dialog.show();
                if (QTest::qWaitForWindowExposed(&dialog)) {
                    QTest::qWait(300);
                    const QString strShots = qEnvironmentVariable("TRAWLIX_SHOT_DIR");
                    if (!strShots.isEmpty()) {
                        dialog.grab().save(QDir(strShots).filePath(QStringLiteral("update-report.png")));
                        // The whole screen too, window and dialog together.
                        QProcess::execute(QStringLiteral("import"),
                                          {QStringLiteral("-window"), QStringLiteral("root"),
                                           QDir(strShots).filePath(QStringLiteral("update-screen.png"))});
                    }
                }
                QStringList shown;
                for (int i = 0; i < report->List()->count(); ++i) {
                    shown.append(report->List()->item(i)->text());
                }
                lines = shown;
                dialog.hide();
            }
            reports.append(lines.isEmpty() ? QStringList{report->m_strSummary} : lines);
        }
        return int(QDialog::Accepted);
    };
    frame.SetPrompts(prompts);
    frame.resize(900, 600);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    // A project of three chapters saved by the window's own job.
    frame.OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    auto* bar = frame.findChild<CProjectBar*>();
    const std::uintptr_t key = bar->ProjectKey(bar->Projects().last());
    CDownloadTask* task = frame.Jobs()->TaskFor(key);
    task->m_strSaveFolder = temp.path();
    task->m_strFirstUrl = server.Url("/s1.htm");
    task->m_strLastUrl = server.Url("/s3.htm");
    QVERIFY(frame.Jobs()->Start(key));
    QTRY_COMPARE(reports.size(), 1);
    QTRY_COMPARE(frame.Jobs()->JobCount(), 0);
    frame.Document()->SetModifiedFlag(false);
    // The job is recorded beside its pages.
    QVERIFY(CProjectRecord::Exists(files::Join(temp.path(), "新建工程")));

    // Since then the second chapter changed and a fourth came out.
    server.Route("/s2.htm", chapter(2, "the second chapter, rewritten"));
    server.Route("/s4.htm", chapter(4, "text 4"));

    QTreeWidgetItem* project = bar->ProjectByKey(key);
    bar->SelectNode(project, false);
    std::unique_ptr<QMenu> menu(bar->CreateContextMenu(nullptr));
    QAction* update = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::ID_UPDATE_PROJECT_TREE) {
            update = action;
        }
    }
    QVERIFY(update);
    QCOMPARE(update->text(), QStringLiteral("更新工程"));
    QVERIFY(update->isEnabled());
    emit bar->commandChosen(update->data().toInt());

    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 2, 20000);
    const QString strFolder = toQ(files::Join(temp.path(), "新建工程"));
    const QStringList expected = {
        QStringLiteral("工程名:"),       QStringLiteral("         新建工程"),
        QStringLiteral("新增网页:"),     QStringLiteral("         1"),
        QStringLiteral("更新网页:"),     QStringLiteral("         1"),
        QStringLiteral("未变网页:"),     QStringLiteral("         2"),
        QStringLiteral("已删除网页:"),   QStringLiteral("         0"),
        QStringLiteral("下载网页失败:"), QStringLiteral("         0"),
        QStringLiteral("网页保存路径:"), QStringLiteral("         ") + strFolder,
    };
    QCOMPARE(reports.at(1), expected);

    // The message window ends with the same lines.
    const QString strLog = frame.findChild<CMessageBar*>()->Edit()->toPlainText();
    QVERIFY2(strLog.endsWith(expected.join(QLatin1Char('\n')) + QLatin1Char('\n')), qPrintable(strLog));

    // The new chapter follows the others in the tree, the changed one has its new text, and the
    // projects are marked changed.
    QCOMPARE(project->childCount(), 4);
    QCOMPARE(project->child(3)->text(0), QStringLiteral("第4章"));
    QCOMPARE(bar->PageUrl(project->child(3)), toQ(server.Url("/s4.htm")));
    std::string text;
    QVERIFY(files::ReadFile(fromQ(CProjectTree::ItemPath(project->child(1))), text));
    QVERIFY(text.find("rewritten") != std::string::npos);
    QVERIFY(files::IsRegularFile(fromQ(CProjectTree::ItemPath(project->child(3)))));
    QVERIFY(frame.Document()->IsModified());
    frame.Document()->SetModifiedFlag(false);
}

QTEST_MAIN(UpdateProjectTest)
#include "UpdateProjectTest.moc"
