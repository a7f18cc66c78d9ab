#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItem>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "app/MainFrame.h"
#include "app/TrawlixApp.h"
#include "common/Text.h"
#include "project/ProjectBar.h"
#include "project/ProjectStore.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"

// This program is itself a start of the desktop program (CTrawlixApp with a project file on its command
// line); further starts are the built program in processes of their own, sharing the same runtime folder.
namespace
{
TempFolder* g_pTemp = nullptr;
std::string g_strProjectFile;

QProcessEnvironment childEnvironment(const QString& strRuntime)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), strRuntime);
    env.insert(QStringLiteral("HOME"), toQ(g_pTemp->path()));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
    return env;
}

void startProgram(QProcess& process, const QString& strRuntime, const QStringList& arguments = {})
{
    process.setProcessEnvironment(childEnvironment(strRuntime));
    process.start(QStringLiteral(TRAWLIX_GUI_PATH), arguments);
    QVERIFY(process.waitForStarted());
}
} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLineFileOpensAtStart();
    void secondStartBringsTheFirstToTheFrontAndEnds();
    void socketOfAKilledInstanceIsTakenOver();
    void commandLineArguments_data();
    void commandLineArguments();
};

void SingleInstanceTest::commandLineFileOpensAtStart()
{
    auto* app = qobject_cast<CTrawlixApp*>(qApp);
    QVERIFY(app);
    QVERIFY(app->InitInstance());
    QCOMPARE(app->m_strOpenFile, toQ(g_strProjectFile));
    CMainFrame* frame = app->MainFrame();
    QVERIFY(frame);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QCOMPARE(frame->windowTitle(), QStringLiteral("Velloc 1.6"));
    QCOMPARE(frame->Document()->Path(), toQ(g_strProjectFile));
    const QList<QTreeWidgetItem*> projects = frame->findChild<CProjectBar*>()->Projects();
    QCOMPARE(projects.size(), 1);
    QCOMPARE(projects.at(0)->text(0), QStringLiteral("启动工程"));
    QVERIFY(frame->findChild<CProjectBar*>()->isVisible());
}

void SingleInstanceTest::secondStartBringsTheFirstToTheFrontAndEnds()
{
    auto* app = qobject_cast<CTrawlixApp*>(qApp);
    QVERIFY(app->MainFrame());
    QSignalSpy asked(app, &CTrawlixApp::activationRequested);
    QProcess second;
    // Its own project file is not passed on: the first instance keeps what it has.
    const std::string strOther = g_pTemp->file("other.wbr");
    startProgram(second, qEnvironmentVariable("XDG_RUNTIME_DIR"), {toQ(strOther)});
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(asked.count(), 1);
    QCOMPARE(app->MainFrame()->Document()->Path(), toQ(g_strProjectFile));
}

void SingleInstanceTest::socketOfAKilledInstanceIsTakenOver()
{
    // A separate runtime folder: a world of its own, apart from this process's instance.
    const QString strRuntime = toQ(g_pTemp->file("runtime2"));
    QVERIFY(QDir().mkpath(strRuntime));
    QFile::setPermissions(strRuntime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcess first;
    startProgram(first, strRuntime);
    const QString strSocket = QDir(strRuntime).filePath(QFileInfo(CTrawlixApp::InstanceServerName()).fileName());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(strSocket), 60000);
    // Killed: its socket stays behind with nobody listening.
    first.kill();
    QVERIFY(first.waitForFinished());
    QVERIFY(QFileInfo::exists(strSocket));

    // Of two new starts, one takes over and the other brings it to the front and ends.
    QProcess third;
    QProcess fourth;
    third.setProcessChannelMode(QProcess::SeparateChannels);
    fourth.setProcessChannelMode(QProcess::SeparateChannels);
    startProgram(third, strRuntime);
    startProgram(fourth, strRuntime);
    QTRY_VERIFY_WITH_TIMEOUT(third.state() == QProcess::NotRunning || fourth.state() == QProcess::NotRunning, 60000);
    QProcess& ended = third.state() == QProcess::NotRunning ? third : fourth;
    QProcess& running = &ended == &third ? fourth : third;
    QCOMPARE(ended.exitCode(), 0);
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += running.readAllStandardError()).contains("brought to the front"), 60000);
    QCOMPARE(running.state(), QProcess::Running);
    running.kill();
    running.waitForFinished();
}

void SingleInstanceTest::commandLineArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("none") << QStringList{QStringLiteral("trawlix")} << QString();
    QTest::newRow("plain") << QStringList{QStringLiteral("trawlix"), QStringLiteral("/p/a b.wbr")}
                           << QStringLiteral("/p/a b.wbr");
    QTest::newRow("quoted") << QStringList{QStringLiteral("trawlix"), QStringLiteral("\"/p/a b.wbr\"")}
                            << QStringLiteral("/p/a b.wbr");
    QTest::newRow("only the first argument")
        << QStringList{QStringLiteral("trawlix"), QStringLiteral("/p/1.wbr"), QStringLiteral("/p/2.wbr")}
        << QStringLiteral("/p/1.wbr");
}

void SingleInstanceTest::commandLineArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QCOMPARE(CTrawlixApp::OpenFileFromArguments(arguments), file);
}

int main(int argc, char** argv)
{
    TempFolder temp;
    g_pTemp = &temp;
    const std::string strRuntime = temp.file("runtime");
    QDir().mkpath(toQ(strRuntime));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(strRuntime));
    qputenv("HOME", QByteArray::fromStdString(temp.path()));

    g_strProjectFile = temp.file("启动 工程.wbr");
    {
        CProjectStore store;
        store.SetPath(g_strProjectFile);
        store.SetProjects({MakeProject("启动工程", {MakePage("p", temp.file("p.htm"), "http://127.0.0.1/p")})});
    }
    // Started as a desktop would: the file in double quotes.
    QByteArray quoted = QByteArray("\"") + QByteArray::fromStdString(g_strProjectFile) + "\"";
    int nAppArgc = 2;
    char* appArgv[] = {argv[0], quoted.data(), nullptr};
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CTrawlixApp app(nAppArgc, appArgv);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SingleInstanceTest.moc"
