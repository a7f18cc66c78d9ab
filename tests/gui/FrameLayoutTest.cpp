#include "app/FrameLayout.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "app/MainFrame.h"
#include "app/MessageBar.h"
#include "common/AppInfo.h"
#include "common/CommandIds.h"
#include "project/ProjectBar.h"
#include "ui/BarCaption.h"

// The frame's bars, toolbars and size come back after a restart as the user left them.
class FrameLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void barsAndToolbarsComeBack();
    void projectBarWidthComesBack();
    void floatingProjectBarComesBackWhereItWas();

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
    frame->findChild<CProjectBar*>()->LoadBarSizes(QStringLiteral("Bars"));
    frame->findChild<CMessageBar*>()->LoadBarSizes(QStringLiteral("Bars"));
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
    frame.findChild<CProjectBar*>()->SaveBarSizes(QStringLiteral("Bars"));
    frame.findChild<CMessageBar*>()->SaveBarSizes(QStringLiteral("Bars"));
}

void FrameLayoutTest::barsAndToolbarsComeBack()
{
    QSettings(appinfo::organization(), appinfo::application()).clear();
    {
        std::unique_ptr<CMainFrame> frame = startFrame();
        QVERIFY(frame);
        QCOMPARE(frame->dockWidgetArea(frame->findChild<CProjectBar*>()), Qt::LeftDockWidgetArea);
        QVERIFY(!frame->findChild<CMessageBar*>()->isVisible());
        frame->addDockWidget(Qt::RightDockWidgetArea, frame->findChild<CProjectBar*>());
        frame->findChild<CMessageBar*>()->show();
        frame->findChild<CMessageBar*>()->setFloating(true);
        frame->Action(cmd::ID_VIEW_TOOLBAR)->trigger();
        frame->resize(900, 640);
        QTRY_COMPARE(frame->size(), QSize(900, 640));
        quitFrame(*frame);
    }
    std::unique_ptr<CMainFrame> frame = startFrame();
    QVERIFY(frame);
    QCOMPARE(frame->dockWidgetArea(frame->findChild<CProjectBar*>()), Qt::RightDockWidgetArea);
    QVERIFY(frame->findChild<CProjectBar*>()->isVisible());
    QVERIFY(frame->findChild<CMessageBar*>()->isVisible());
    QVERIFY(frame->findChild<CMessageBar*>()->isFloating());
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
        frame->resizeDocks({frame->findChild<CProjectBar*>()}, {380}, Qt::Horizontal);
        QTRY_COMPARE(frame->findChild<CProjectBar*>()->width(), 380);
        QCOMPARE(frame->findChild<CProjectBar*>()->sizeVert().width(), 380);
        quitFrame(*frame);
    }
    std::unique_ptr<CMainFrame> frame = startFrame();
    QVERIFY(frame);
    QTRY_COMPARE(frame->findChild<CProjectBar*>()->width(), 380);
    // And it stays so once the first page is shown.
    frame->NavigateTo(QStringLiteral("about:blank"));
    QTest::qWait(500);
    QCOMPARE(frame->findChild<CProjectBar*>()->width(), 380);
}

// Made floating by a double click on its caption and moved; then the program quits as it does on 退出: the
// window closes, then the application closes every window still open.
void FrameLayoutTest::floatingProjectBarComesBackWhereItWas()
{
    QSettings(appinfo::organization(), appinfo::application()).clear();
    const QPoint place(160, 140);
    {
        std::unique_ptr<CMainFrame> frame = startFrame();
        QVERIFY(frame);
        frame->SetLayoutProfile(QStringLiteral("Bars"));
        auto* bar = frame->findChild<CProjectBar*>();
        auto* caption = bar->findChild<CBarCaption*>();
        QVERIFY(caption);
        QTest::mouseDClick(caption, Qt::LeftButton, Qt::NoModifier, caption->bandRect().center());
        QTRY_VERIFY(bar->isFloating());
        bar->move(place);
        QTRY_COMPARE(bar->pos(), place);
        QVERIFY(frame->close());
        bar->close();
    }
    std::unique_ptr<CMainFrame> frame = startFrame();
    QVERIFY(frame);
    auto* bar = frame->findChild<CProjectBar*>();
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->isFloating());
    QTRY_COMPARE(bar->pos(), place);
}

QTEST_MAIN(FrameLayoutTest)
#include "FrameLayoutTest.moc"
