#include <QFrame>
#include <QImage>
#include <QMainWindow>
#include <QtTest>

#include "ui/GaugeCtrl.h"
#include "ui/ProgStatusBar.h"

class StatusBarTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gaugeFollowsItsValue_data();
    void gaugeFollowsItsValue();
    void gaugesSitInTheirPanes();
    void barWidthFollowsPositionAndRange_data();
    void barWidthFollowsPositionAndRange();
    void textReplacesThePercentage();
    void paintsBarAndBackground();

private:
    QMainWindow* m_pFrame = nullptr;
    CProgStatusBar* m_pStatus = nullptr;
};

void StatusBarTest::init()
{
    m_pFrame = new QMainWindow;
    m_pFrame->resize(640, 300);
    m_pFrame->setCentralWidget(new QWidget);
    m_pStatus = new CProgStatusBar(m_pFrame);
    m_pFrame->setStatusBar(m_pStatus);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame));
}

void StatusBarTest::cleanup()
{
    delete m_pFrame;
    m_pFrame = nullptr;
    m_pStatus = nullptr;
}

void StatusBarTest::gaugeFollowsItsValue_data()
{
    QTest::addColumn<bool>("page");
    QTest::newRow("download gauge") << false;
    QTest::newRow("page gauge") << true;
}

// Shown while not 0; the message pane is cleared only when a gauge appears or disappears.
void StatusBarTest::gaugeFollowsItsValue()
{
    QFETCH(bool, page);
    CGaugeCtrl* gauge = page ? m_pStatus->pageGauge() : m_pStatus->downloadGauge();
    CGaugeCtrl* otherGauge = page ? m_pStatus->downloadGauge() : m_pStatus->pageGauge();
    const auto set = [&](int percent) {
        if (page) {
            m_pStatus->SetPageGauge(percent);
        } else {
            m_pStatus->SetDownloadProgress(percent);
        }
    };
    const QString message = QStringLiteral("正在下载");

    QVERIFY(!gauge->isVisible());
    QCOMPARE(gauge->lower(), 0);
    QCOMPARE(gauge->upper(), 100);

    m_pStatus->showMessage(message);
    set(1);
    QVERIFY(gauge->isVisible());
    QVERIFY(!otherGauge->isVisible());
    QCOMPARE(gauge->pos(), 1);
    QCOMPARE(gauge->displayText(), QStringLiteral("1%"));
    QCOMPARE(m_pStatus->currentMessage(), QString());

    m_pStatus->showMessage(message);
    set(60);
    QVERIFY(gauge->isVisible());
    QCOMPARE(gauge->displayText(), QStringLiteral("60%"));
    QCOMPARE(m_pStatus->currentMessage(), message);

    set(100);
    QVERIFY(gauge->isVisible());
    QCOMPARE(gauge->displayText(), QStringLiteral("100%"));
    QCOMPARE(gauge->barWidth(), gauge->width());

    set(0);
    QVERIFY(!gauge->isVisible());
    QCOMPARE(gauge->pos(), 0);
    QCOMPARE(m_pStatus->currentMessage(), QString());

    // Hiding a hidden gauge again leaves a new message alone.
    m_pStatus->showMessage(message);
    set(0);
    QCOMPARE(m_pStatus->currentMessage(), message);
}

void StatusBarTest::gaugesSitInTheirPanes()
{
    m_pStatus->SetDownloadProgress(30);
    m_pStatus->SetPageGauge(70);
    QFrame* downloadPane = m_pStatus->pane(1);
    QFrame* pagePane = m_pStatus->pane(2);
    QVERIFY(downloadPane != nullptr && pagePane != nullptr);
    QCOMPARE(m_pStatus->pane(0), nullptr);
    QCOMPARE(downloadPane->width(), CProgStatusBar::kPaneWidth);
    QCOMPARE(pagePane->width(), CProgStatusBar::kPaneWidth);
    QVERIFY(downloadPane->geometry().right() < pagePane->geometry().left());
    QVERIFY(pagePane->geometry().right() > m_pStatus->width() - 40);

    QTRY_VERIFY(m_pStatus->downloadGauge()->width() > CProgStatusBar::kPaneWidth - 10);
    QCOMPARE(m_pStatus->downloadGauge()->parentWidget(), downloadPane);
    QCOMPARE(m_pStatus->pageGauge()->parentWidget(), pagePane);
    QVERIFY(downloadPane->rect().contains(m_pStatus->downloadGauge()->geometry()));
    QVERIFY(pagePane->rect().contains(m_pStatus->pageGauge()->geometry()));
}

void StatusBarTest::barWidthFollowsPositionAndRange_data()
{
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("half of 101 pixels") << 0 << 100 << 50 << 50 << QStringLiteral("50%");
    QTest::newRow("full") << 0 << 100 << 100 << 101 << QStringLiteral("100%");
    QTest::newRow("empty") << 0 << 100 << 0 << 0 << QStringLiteral("0%");
    QTest::newRow("truncated") << 0 << 3 << 1 << 33 << QStringLiteral("33%");
    QTest::newRow("shifted range") << 50 << 150 << 75 << 25 << QStringLiteral("25%");
    QTest::newRow("past the top") << 0 << 100 << 250 << 101 << QStringLiteral("100%");
    QTest::newRow("below the bottom") << 0 << 100 << -20 << 0 << QStringLiteral("0%");
    QTest::newRow("empty range") << 10 << 10 << 10 << 0 << QStringLiteral("0%");
}

void StatusBarTest::barWidthFollowsPositionAndRange()
{
    QFETCH(int, lower);
    QFETCH(int, upper);
    QFETCH(int, position);
    QFETCH(int, width);
    QFETCH(QString, text);
    CGaugeCtrl gauge;
    gauge.resize(101, 18);
    gauge.setRange(lower, upper);
    QCOMPARE(gauge.setPos(position), 0);
    QCOMPARE(gauge.barWidth(), width);
    QCOMPARE(gauge.displayText(), text);
    QCOMPARE(gauge.setPos(lower), position);
}

void StatusBarTest::textReplacesThePercentage()
{
    CGaugeCtrl gauge;
    gauge.setPos(40);
    gauge.setText(QStringLiteral("解析中"));
    QCOMPARE(gauge.displayText(), QStringLiteral("解析中"));
    gauge.setText({});
    QCOMPARE(gauge.displayText(), QStringLiteral("40%"));
}

void StatusBarTest::paintsBarAndBackground()
{
    CGaugeCtrl gauge;
    gauge.resize(101, 20);
    gauge.setBarColor(QColor(0, 0, 200));
    gauge.setBackgroundColor(QColor(255, 255, 255));
    gauge.setTextColors(QColor(0, 0, 200), QColor(255, 255, 255));
    gauge.setPos(50);

    const QImage image = gauge.grab().toImage();
    // The top row holds no letters: bar up to pixel 49, background from 50.
    for (int x = 0; x < 101; ++x) {
        const QRgb expected = x < 50 ? qRgb(0, 0, 200) : qRgb(255, 255, 255);
        QCOMPARE(image.pixel(x, 0), expected);
    }
    // The percentage is drawn on both parts, each in the other part's colour.
    bool textOnBar = false;
    bool textOnBackground = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < 101; ++x) {
            const QRgb pixel = image.pixel(x, y);
            textOnBar = textOnBar || (x < 50 && pixel != qRgb(0, 0, 200));
            textOnBackground = textOnBackground || (x >= 50 && pixel != qRgb(255, 255, 255));
        }
    }
    QVERIFY(textOnBar);
    QVERIFY(textOnBackground);

    gauge.setShowText(false);
    const QImage plain = gauge.grab().toImage();
    for (int x = 0; x < 101; ++x) {
        QCOMPARE(plain.pixel(x, plain.height() / 2), x < 50 ? qRgb(0, 0, 200) : qRgb(255, 255, 255));
    }
}

QTEST_MAIN(StatusBarTest)
#include "StatusBarTest.moc"
