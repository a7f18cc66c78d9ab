#include "app/FrameLayout.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "app/AppInfo.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MessageBar.h"
#include "project/ProjectBar.h"

// The frame's bars, toolbars and size come back after a restart as the user left them.
class FrameLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void barsAndToolbarsComeBack();
    void projectBarWidthComesBack();

private:
    // Makes a frame the way the program starts one; false from RestoreFrameLayout leaves the default size.
    std::unique_ptr<CMainFrame> startFrame();
    static void quitFrame(CMainFrame& frame);

    QTemporaryDir m_settingsDir;
};

void FrameLayoutTest::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

std::unique_ptr<CMainFrame> FrameLayoutTest::startFrame()
{
    auto frame = std::make_unique<CMainFrame>();
    frame->ProjectBar()->LoadBarSizes(QStringLiteral("Bars"));
    frame->MessageBar()->LoadBarSizes(QStringLiteral("Bars"));
    if (!RestoreFrameLayout(*frame, QStringLiteral("Bars"))) {
        frame->resize(1000, 700);
    }
    frame->show();
    if (!QTest::qWaitForWindowExposed(frame.get())) {
        return nullptr;
    }
    return frame;
}

void FrameLayoutTest::quitFrame(CMainFrame& frame)
{
    SaveFrameLayout(frame, QStringLiteral("Bars"));
    frame.ProjectBar()->SaveBarSizes(QStringLiteral("Bars"));
    frame.MessageBar()->SaveBarSizes(QStringLiteral("Bars"));
}

void FrameLayoutTest::barsAndToolbarsComeBack()
{
    QSettings(appinfo::organization(), appinfo::application()).clear();
    {
        std::unique_ptr<CMainFrame> frame = startFrame();
        QVERIFY(frame);
        QCOMPARE(frame->dockWidgetArea(frame->ProjectBar()), Qt::LeftDockWidgetArea);
        QVERIFY(!frame->MessageBar()->isVisible());
        frame->addDockWidget(Qt::RightDockWidgetArea, frame->ProjectBar());
        frame->MessageBar()->show();
        frame->MessageBar()->setFloating(true);
        frame->Action(cmd::ID_VIEW_TOOLBAR)->trigger();
        frame->resize(900, 640);
        QTRY_COMPARE(frame->size(), QSize(900, 640));
        quitFrame(*frame);
    }
    std::unique_ptr<CMainFrame> frame = startFrame();
    QVERIFY(frame);
    QCOMPARE(frame->dockWidgetArea(frame->ProjectBar()), Qt::RightDockWidgetArea);
    QVERIFY(frame->ProjectBar()->isVisible());
    QVERIFY(frame->MessageBar()->isVisible());
    QVERIFY(frame->MessageBar()->isFloating());
    QVERIFY(!frame->findChild<QToolBar*>(QStringLiteral("mainToolBar"))->isVisible());
    QVERIFY(frame->findChild<QToolBar*>(QStringLiteral("addressBar"))->isVisible());
    QTRY_COMPARE(frame->size(), QSize(900, 640));
}

void FrameLayoutTest::projectBarWidthComesBack()
{
    QSettings(appinfo::organization(), appinfo::application()).clear();
    {
        std::unique_ptr<CMainFrame> frame = startFrame();
        QVERIFY(frame);
        // As the user dragging the bar's edge.
        frame->resizeDocks({frame->ProjectBar()}, {380}, Qt::Horizontal);
        QTRY_COMPARE(frame->ProjectBar()->width(), 380);
        QCOMPARE(frame->ProjectBar()->sizeVert().width(), 380);
        quitFrame(*frame);
    }
    std::unique_ptr<CMainFrame> frame = startFrame();
    QVERIFY(frame);
    QTRY_COMPARE(frame->ProjectBar()->width(), 380);
    // And it stays so once the first page is shown.
    frame->NavigateTo(QStringLiteral("about:blank"));
    QTest::qWait(500);
    QCOMPARE(frame->ProjectBar()->width(), 380);
}

QTEST_MAIN(FrameLayoutTest)
#include "FrameLayoutTest.moc"
