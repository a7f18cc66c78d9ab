#include "project/TrawlixDoc.h"

#include <deque>

#include <QSignalSpy>
#include <QTest>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

// The project file as the document keeps it: opened, saved and asked about before it is dropped, with
// the user's answers given in place of the message boxes and the file chooser. No widget is made.
class TrawlixDocTest : public QObject
{
    Q_OBJECT

private slots:
    void fileOperations_data();
    void fileOperations();
};

namespace
{
enum class Action
{
    Open,
    Save,
    SaveAs,
    Close
};

const std::vector<CProjectObject> kProjects = {
    MakeProject("one", {MakePage("t1", "/f1", "u1", 1)}),
    MakeProject("two", {MakePage("t2", "/f2", "u2"), MakePage("t3", "/f3", "u3")}),
};

// The file each case starts from, in its temp folder.
enum class Start
{
    Good,       // good.wbr holds both projects
    Damaged,    // good.wbr lost its last byte
    NotProject, // good.wbr is a text file
    Missing     // there is no file
};
} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Start)

void TrawlixDocTest::fileOperations_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<bool>("bModified"); // the document had unsaved changes
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>(
        "strChosen"); // what the save chooser answers ("" cancels); "<bad>" a folder that is not there
    QTest::addColumn<QList<int>>("answers"); // the message boxes' answers, in order
    QTest::addColumn<bool>("bResult");
    QTest::addColumn<QStringList>("asked"); // the messages shown; "%1" is the file's path
    QTest::addColumn<int>("nOpened");       // projects handed to the tree, -1 when none were
    QTest::addColumn<bool>("bModifiedAfter");
    QTest::addColumn<bool>("bPathSet"); // the file became the current one

    const QString strWarn = QStringLiteral("警告|");
    const QString strClose = strWarn + CTrawlixDoc::ClosePromptText();
    QTest::newRow("open") << Start::Good << false << Action::Open << QString() << QList<int>() << true << QStringList()
                          << 2 << false << true;
    QTest::newRow("open a damaged file")
        << Start::Damaged << false << Action::Open << QString() << QList<int>() << true
        << QStringList{strWarn + QStringLiteral("工程文件 \"%1\" 已损坏，只读出了前面完整的 1 个工程。")} << 1 << false
        << true;
    QTest::newRow("open what is no project file")
        << Start::NotProject << false << Action::Open << QString() << QList<int>() << false
        << QStringList{strWarn + QStringLiteral("无法打开工程文件 \"%1\"。\n这不是工程文件。")} << -1 << false << false;
    QTest::newRow("open with changes, saving cancelled")
        << Start::Good << true << Action::Open << QString() << QList<int>{QMessageBox::Cancel} << false
        << QStringList{strClose} << -1 << true << false;
    QTest::newRow("open with changes dropped")
        << Start::Good << true << Action::Open << QString() << QList<int>{QMessageBox::No} << true
        << QStringList{strClose} << 2 << false << true;
    QTest::newRow("save as") << Start::Missing << true << Action::SaveAs << QStringLiteral("saved.wbr") << QList<int>()
                             << true << QStringList() << -1 << false << true;
    QTest::newRow("save as cancelled") << Start::Missing << true << Action::SaveAs << QString() << QList<int>() << false
                                       << QStringList() << -1 << true << false;
    QTest::newRow("save fails") << Start::Missing << true << Action::Save << QStringLiteral("<bad>") << QList<int>()
                                << false
                                << QStringList{strWarn +
                                               QStringLiteral("无法保存工程文件 \"%1\"。\n无法创建这个文件。")}
                                << -1 << true << false;
    QTest::newRow("close unchanged") << Start::Missing << false << Action::Close << QString() << QList<int>() << true
                                     << QStringList() << -1 << false << false;
    QTest::newRow("close cancelled") << Start::Missing << true << Action::Close << QString()
                                     << QList<int>{QMessageBox::Cancel} << false << QStringList{strClose} << -1 << true
                                     << false;
    QTest::newRow("close, changes dropped")
        << Start::Missing << true << Action::Close << QString() << QList<int>{QMessageBox::No} << true
        << QStringList{strClose} << -1 << false << false;
    QTest::newRow("close, saving cancelled in the chooser")
        << Start::Missing << true << Action::Close << QString() << QList<int>{QMessageBox::Yes} << false
        << QStringList{strClose} << -1 << true << false;
    QTest::newRow("close, saved") << Start::Missing << true << Action::Close << QStringLiteral("saved.wbr")
                                  << QList<int>{QMessageBox::Yes} << true << QStringList{strClose} << -1 << false
                                  << true;
}

void TrawlixDocTest::fileOperations()
{
    QFETCH(Start, start);
    QFETCH(bool, bModified);
    QFETCH(Action, action);
    QFETCH(QString, strChosen);
    QFETCH(QList<int>, answers);
    QFETCH(bool, bResult);
    QFETCH(QStringList, asked);
    QFETCH(int, nOpened);
    QFETCH(bool, bModifiedAfter);
    QFETCH(bool, bPathSet);

    TempFolder temp;
    const std::string strGood = temp.file("good.wbr");
    if (start != Start::Missing) {
        CProjectStore store;
        store.SetPath(strGood);
        store.SetHeaderName("所有工程");
        store.SetProjects(kProjects);
        QVERIFY(store.LastTransferOk());
    }
    if (start == Start::Damaged) {
        std::string strBytes;
        QVERIFY(files::ReadFile(strGood, strBytes));
        QVERIFY(files::WriteFile(strGood, std::string_view(strBytes).substr(0, strBytes.size() - 1)));
    } else if (start == Start::NotProject) {
        QVERIFY(files::WriteFile(strGood, "<html>not a project</html>"));
    }
    QString strChosenPath;
    if (strChosen == QStringLiteral("<bad>")) {
        strChosenPath = toQ(temp.file("no such folder/x.wbr"));
    } else if (!strChosen.isEmpty()) {
        strChosenPath = toQ(temp.file(fromQ(strChosen)));
    }
    const QString strTarget = action == Action::Open ? toQ(strGood) : strChosenPath;

    std::deque<int> pending(answers.begin(), answers.end());
    QStringList shown;
    CUserPrompts prompts;
    prompts.messageBox = [&](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
                             QMessageBox::StandardButtons) {
        shown.append(caption + QLatin1Char('|') + text);
        if (pending.empty()) {
            return QMessageBox::Ok;
        }
        const auto answer = static_cast<QMessageBox::StandardButton>(pending.front());
        pending.pop_front();
        return answer;
    };
    prompts.saveFileName = [&](QWidget*, const QString&, const QString&, const QString&) { return strChosenPath; };

    CTrawlixDoc doc(prompts, nullptr);
    doc.SetProjectSource(
        {[] { return std::vector<CProjectObject>{kProjects[0]}; }, [] { return QStringLiteral("根"); }});
    if (bModified) {
        doc.MarkModified();
    }
    int nReceived = -1;
    connect(&doc, &CTrawlixDoc::projectsOpened, this,
            [&](const std::vector<CProjectObject>& projects) { nReceived = static_cast<int>(projects.size()); });
    QSignalSpy pathSpy(&doc, &CTrawlixDoc::pathChanged);
    QSignalSpy usedSpy(&doc, &CTrawlixDoc::fileUsed);

    bool bDone = false;
    switch (action) {
    case Action::Open:
        bDone = doc.Open(strTarget);
        break;
    case Action::Save:
        // Without a current file, save asks for one.
        bDone = doc.Save();
        break;
    case Action::SaveAs:
        bDone = doc.SaveAs();
        break;
    case Action::Close:
        bDone = doc.CanClose();
        break;
    }
    QCOMPARE(bDone, bResult);
    QStringList expected;
    for (const QString& strText : asked) {
        expected.append(strText.contains(QStringLiteral("%1")) ? strText.arg(strTarget) : strText);
    }
    // A failure may add what the file system says, on a line of its own.
    QCOMPARE(shown.size(), expected.size());
    for (qsizetype i = 0; i < shown.size(); ++i) {
        QVERIFY2(shown.at(i) == expected.at(i) || shown.at(i).startsWith(expected.at(i) + QLatin1Char('\n')),
                 qPrintable(shown.at(i)));
    }
    QCOMPARE(nReceived, nOpened);
    QCOMPARE(doc.IsModified(), bModifiedAfter);
    QCOMPARE(doc.Path(), bPathSet ? strTarget : QString());
    QCOMPARE(pathSpy.size(), bPathSet ? 1 : 0);
    QCOMPARE(usedSpy.size(), bPathSet ? 1 : 0);
    if (bPathSet && action != Action::Open) {
        // What was written reads back as the tree's projects under the root's name.
        CProjectStore store;
        store.SetPath(fromQ(strTarget));
        store.Transfer(false);
        std::vector<CProjectObject> written;
        store.GetProjects(written);
        QCOMPARE(written.size(), size_t(1));
        QVERIFY(written.at(0).m_strName == "one");
    }
}

QTEST_GUILESS_MAIN(TrawlixDocTest)
#include "TrawlixDocTest.moc"
