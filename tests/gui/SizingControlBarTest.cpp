#include <QImage>
#include <QMainWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "common/AppInfo.h"
#include "ui/BarCaption.h"
#include "ui/SizingControlBarCF.h"

class SizingControlBarTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sizesAreKeptPerDockingState();
    void sizesNeverGoBelowTheMinimums_data();
    void sizesNeverGoBelowTheMinimums();
    void savedSizesLoadBack();
    void loadingRaisesStoredSizesToTheMinimumsAndKeepsMissingOnes();
    void closeButtonHidesTheBar();
    void hiddenBarShowsAtItsRememberedSize();
    void captionStandsUprightWhenDockedTopOrBottom();
    void captionIsActiveWhileFocusIsInside();
    void captionWithoutGradientIsOneColour();

private:
    QMainWindow* m_pFrame = nullptr;
    CSizingControlBarCF* m_pBar = nullptr;
    QTextEdit* m_pClient = nullptr;
    QTemporaryDir m_settingsDir;
};

void SizingControlBarTest::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void SizingControlBarTest::init()
{
    QSettings(appinfo::organization(), appinfo::application()).clear();
    m_pFrame = new QMainWindow;
    m_pFrame->resize(900, 700);
    // An expanding central widget, as the browser is, so the bars keep the sizes they are given.
    m_pFrame->setCentralWidget(new QTextEdit(m_pFrame));
    m_pBar = new CSizingControlBarCF(QStringLiteral("Project window"), 130, m_pFrame);
    m_pClient = new QTextEdit;
    m_pBar->setClientWidget(m_pClient);
    m_pFrame->addDockWidget(Qt::LeftDockWidgetArea, m_pBar);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame));
}

void SizingControlBarTest::cleanup()
{
    delete m_pFrame;
    m_pFrame = nullptr;
    m_pBar = nullptr;
    m_pClient = nullptr;
}

void SizingControlBarTest::sizesAreKeptPerDockingState()
{
    QCOMPARE(m_pBar->dockSide(), CSizingControlBar::kDockLeft);
    QTRY_COMPARE(m_pBar->width(), 200);

    // The user widens the bar at the left: that width belongs to the vertical state only.
    m_pFrame->resizeDocks({m_pBar}, {260}, Qt::Horizontal);
    QTRY_COMPARE(m_pBar->sizeVert().width(), 260);
    QCOMPARE(m_pBar->sizeHorz(), QSize(200, 200));

    QSignalSpy moved(m_pBar, &CSizingControlBar::dockSideChanged);
    m_pFrame->addDockWidget(Qt::BottomDockWidgetArea, m_pBar);
    QTRY_COMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), CSizingControlBar::kDockBottom);
    QVERIFY(m_pBar->IsHorzDocked());
    QTRY_COMPARE(m_pBar->height(), 200);
    m_pFrame->resizeDocks({m_pBar}, {150}, Qt::Vertical);
    QTRY_COMPARE(m_pBar->sizeHorz().height(), 150);
    QCOMPARE(m_pBar->sizeVert().width(), 260);

    m_pFrame->addDockWidget(Qt::RightDockWidgetArea, m_pBar);
    QVERIFY(m_pBar->IsVertDocked());
    QTRY_COMPARE(m_pBar->width(), 260);

    m_pBar->setFloating(true);
    QCOMPARE(m_pBar->dockSide(), CSizingControlBar::kDockFloating);
    QTRY_COMPARE(m_pBar->size(), QSize(200, 200));
    m_pBar->resize(320, 240);
    QTRY_COMPARE(m_pBar->sizeFloat(), QSize(320, 240));

    m_pBar->setFloating(false);
    QTRY_COMPARE(m_pBar->width(), 260);
    QCOMPARE(m_pBar->sizeHorz().height(), 150);
    QCOMPARE(m_pBar->sizeFloat(), QSize(320, 240));
}

void SizingControlBarTest::sizesNeverGoBelowTheMinimums_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("horizontal, too small") << 0 << QSize(10, 5) << QSize(33, 32);
    QTest::newRow("vertical, one side too small") << 1 << QSize(120, 3) << QSize(120, 32);
    QTest::newRow("floating, too narrow") << 2 << QSize(36, 90) << QSize(37, 90);
    QTest::newRow("floating, at the minimum") << 2 << QSize(37, 32) << QSize(37, 32);
}

void SizingControlBarTest::sizesNeverGoBelowTheMinimums()
{
    QFETCH(int, state);
    QFETCH(QSize, wanted);
    QFETCH(QSize, expected);
    switch (state) {
    case 0:
        m_pBar->setSizeHorz(wanted);
        QCOMPARE(m_pBar->sizeHorz(), expected);
        break;
    case 1:
        m_pBar->setSizeVert(wanted);
        QCOMPARE(m_pBar->sizeVert(), expected);
        break;
    default:
        m_pBar->setSizeFloat(wanted);
        QCOMPARE(m_pBar->sizeFloat(), expected);
        break;
    }
}

void SizingControlBarTest::savedSizesLoadBack()
{
    m_pBar->setSizeHorz({410, 120});
    m_pBar->setSizeVert({180, 300});
    m_pBar->setSizeFloat({250, 260});
    m_pBar->SaveBarSizes(QStringLiteral("Bars"));

    {
        QSettings settings(appinfo::organization(), appinfo::application());
        settings.beginGroup(QStringLiteral("Bars-SCBar-130"));
        QCOMPARE(settings.value(QStringLiteral("sizeHorzCX")).toInt(), 410);
        QCOMPARE(settings.value(QStringLiteral("sizeHorzCY")).toInt(), 120);
        QCOMPARE(settings.value(QStringLiteral("sizeVertCX")).toInt(), 180);
        QCOMPARE(settings.value(QStringLiteral("sizeVertCY")).toInt(), 300);
        QCOMPARE(settings.value(QStringLiteral("sizeFloatCX")).toInt(), 250);
        QCOMPARE(settings.value(QStringLiteral("sizeFloatCY")).toInt(), 260);
    }

    // A bar of the next run, docked where this one is, takes the saved sizes and the width they give.
    auto* next = new CSizingControlBarCF(QStringLiteral("Project window"), 130, m_pFrame);
    next->setClientWidget(new QTextEdit);
    m_pFrame->addDockWidget(Qt::RightDockWidgetArea, next);
    next->LoadBarSizes(QStringLiteral("Bars"));
    QCOMPARE(next->sizeHorz(), QSize(410, 120));
    QCOMPARE(next->sizeVert(), QSize(180, 300));
    QCOMPARE(next->sizeFloat(), QSize(250, 260));
    QTRY_COMPARE(next->width(), 180);

    // Another bar id or profile reads nothing of it.
    CSizingControlBarCF other(QStringLiteral("  message window"), 131);
    other.LoadBarSizes(QStringLiteral("Bars"));
    QCOMPARE(other.sizeHorz(), CSizingControlBar::kDefaultSize);
    // Docked at the side the frame decides the bar's height; the width stays the loaded one.
    next->LoadBarSizes(QStringLiteral("Other"));
    QCOMPARE(next->sizeHorz(), QSize(410, 120));
    QCOMPARE(next->sizeVert().width(), 180);
    QCOMPARE(next->sizeFloat(), QSize(250, 260));
}

void SizingControlBarTest::loadingRaisesStoredSizesToTheMinimumsAndKeepsMissingOnes()
{
    {
        QSettings settings(appinfo::organization(), appinfo::application());
        settings.beginGroup(QStringLiteral("Bars-SCBar-130"));
        settings.setValue(QStringLiteral("sizeHorzCX"), 10);
        settings.setValue(QStringLiteral("sizeHorzCY"), 0);
        settings.setValue(QStringLiteral("sizeFloatCX"), -5);
        settings.setValue(QStringLiteral("sizeFloatCY"), 90);
    }
    m_pBar->setSizeVert({222, 333});
    m_pBar->LoadBarSizes(QStringLiteral("Bars"));
    QCOMPARE(m_pBar->sizeHorz(), QSize(33, 32));
    QCOMPARE(m_pBar->sizeVert(), QSize(222, 333));
    QCOMPARE(m_pBar->sizeFloat(), QSize(37, 90));
}

void SizingControlBarTest::closeButtonHidesTheBar()
{
    auto* caption = m_pBar->findChild<CBarCaption*>(QStringLiteral("barCaption"));
    QVERIFY(caption != nullptr);
    QCOMPARE(m_pBar->titleBarWidget(), caption);
    auto* close = caption->findChild<CBarCloseButton*>(QStringLiteral("closeButton"));
    QVERIFY(close != nullptr);
    QVERIFY(close->isVisible());
    QVERIFY(m_pBar->toggleViewAction()->isChecked());

    QTest::mouseClick(close, Qt::LeftButton);
    QTRY_VERIFY(!m_pBar->isVisible());
    QVERIFY(!m_pBar->toggleViewAction()->isChecked());

    // Hidden is not gone: the frame's command shows it again where it was.
    m_pBar->toggleViewAction()->trigger();
    QTRY_VERIFY(m_pBar->isVisible());
    QCOMPARE(m_pBar->dockSide(), CSizingControlBar::kDockLeft);
}

// The frame keeps its message window hidden at start and loads the sizes of the last run into it.
void SizingControlBarTest::hiddenBarShowsAtItsRememberedSize()
{
    auto* message = new CSizingControlBarCF(QStringLiteral("  message window"), 131, m_pFrame);
    message->setClientWidget(new QTextEdit);
    m_pFrame->addDockWidget(Qt::BottomDockWidgetArea, message);
    message->hide();
    message->setSizeHorz({300, 140});
    QTRY_VERIFY(!message->isVisible());

    message->toggleViewAction()->trigger();
    QTRY_COMPARE(message->height(), 140);

    m_pFrame->resizeDocks({message}, {180}, Qt::Vertical);
    QTRY_COMPARE(message->sizeHorz().height(), 180);
    message->hide();
    message->setSizeHorz({300, 120});
    message->show();
    QTRY_COMPARE(message->height(), 120);
}

void SizingControlBarTest::captionStandsUprightWhenDockedTopOrBottom()
{
    const struct
    {
        Qt::DockWidgetArea area;
        bool upright;
    } cases[] = {{Qt::BottomDockWidgetArea, true},
                 {Qt::RightDockWidgetArea, false},
                 {Qt::TopDockWidgetArea, true},
                 {Qt::LeftDockWidgetArea, false}};
    for (const auto& place : cases) {
        m_pFrame->addDockWidget(place.area, m_pBar);
        auto* caption = m_pBar->caption();
        QCOMPARE(caption->isVertical(), place.upright);
        QCOMPARE(m_pBar->features().testFlag(QDockWidget::DockWidgetVerticalTitleBar), place.upright);
        // The caption runs along the bar's left side, or across its top.
        QTRY_VERIFY(place.upright ? caption->height() > caption->width() : caption->width() > caption->height());
        QCOMPARE(caption->geometry().topLeft(), QPoint(0, 0));
        QVERIFY(!caption->bandRect().isEmpty());
        QVERIFY(!caption->bandRect().intersects(caption->closeButton()->geometry()));
    }
}

void SizingControlBarTest::captionIsActiveWhileFocusIsInside()
{
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame));
    m_pFrame->centralWidget()->setFocus();
    QTRY_VERIFY(m_pFrame->centralWidget()->hasFocus());
    QVERIFY(!m_pBar->isActive());
    const QColor inactive = m_pBar->caption()->bandColor();

    QTest::mouseClick(m_pClient->viewport(), Qt::LeftButton);
    QTRY_VERIFY(m_pBar->isActive());
    QVERIFY(m_pBar->caption()->bandColor() != inactive);

    m_pFrame->centralWidget()->setFocus();
    QTRY_VERIFY(!m_pBar->isActive());
    QCOMPARE(m_pBar->caption()->bandColor(), inactive);
}

void SizingControlBarTest::captionWithoutGradientIsOneColour()
{
    auto* caption = m_pBar->caption();
    QTRY_VERIFY(caption->bandRect().width() > 40);
    const QRect band = caption->bandRect();
    // Sample the band's first pixel row, above the title's letters.
    const auto rowColours = [&]() {
        const QImage image = caption->grab().toImage();
        QList<QRgb> colours;
        for (int x = band.left(); x <= band.right(); ++x) {
            colours.append(image.pixel(x, band.top()));
        }
        return colours;
    };

    caption->setGradient(false);
    const QList<QRgb> solid = rowColours();
    for (QRgb colour : solid) {
        QCOMPARE(colour, caption->bandColor().rgb());
    }

    caption->setGradient(true);
    const QList<QRgb> shaded = rowColours();
    QCOMPARE(shaded.first(), caption->bandColor().rgb());
    QVERIFY(shaded.last() != caption->bandColor().rgb());
}

QTEST_MAIN(SizingControlBarTest)
#include "SizingControlBarTest.moc"
