#include "ui/StaticLink.h"

#include <QDesktopServices>
#include <QSignalSpy>
#include <QUrl>
#include <QVBoxLayout>
#include <QtTest>

// Receives what the desktop would otherwise open in a browser.
class CUrlCatcher final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

namespace
{
class CUnopenableLink final : public CStaticLink
{
public:
    using CStaticLink::CStaticLink;

protected:
    bool openTarget(const QString&) override { return false; }
};
} // namespace

class StaticLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void clickOpensTheTarget_data();
    void clickOpensTheTarget();
    void emptyLabelOpensNothing();
    void failedOpenKeepsTheColour();
    void hoverTurnsTheLabelRed();

private:
    CUrlCatcher m_catcher;
};

void StaticLinkTest::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_catcher, "open");
}

void StaticLinkTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void StaticLinkTest::init()
{
    m_catcher.opened.clear();
}

void StaticLinkTest::clickOpensTheTarget_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QUrl>("opened");
    QTest::newRow("own link") << QStringLiteral("期待您的建议:") << QStringLiteral("https://example.com/guestbook")
                              << QUrl(QStringLiteral("https://example.com/guestbook"));
    QTest::newRow("text as link") << QStringLiteral("http://example.com/") << QString()
                                  << QUrl(QStringLiteral("http://example.com/"));
    QTest::newRow("bare host") << QStringLiteral("主页") << QStringLiteral(" www.example.com ")
                               << QUrl(QStringLiteral("http://www.example.com"));
}

void StaticLinkTest::clickOpensTheTarget()
{
    QFETCH(QString, text);
    QFETCH(QString, link);
    QFETCH(QUrl, opened);
    CStaticLink label(text, link);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(label.currentColor(), CStaticLink::kNormalColor);
    QCOMPARE(label.palette().color(QPalette::WindowText), CStaticLink::kNormalColor);

    QSignalSpy spy(&label, &CStaticLink::linkOpened);
    QTest::mouseClick(&label, Qt::RightButton);
    QCOMPARE(spy.count(), 0);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(m_catcher.opened, QList<QUrl>{opened});
    QCOMPARE(spy.count(), 1);
    QVERIFY(label.isVisited());
    QCOMPARE(label.palette().color(QPalette::WindowText), CStaticLink::kVisitedColor);
}

void StaticLinkTest::emptyLabelOpensNothing()
{
    CStaticLink label;
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy spy(&label, &CStaticLink::linkOpened);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QVERIFY(m_catcher.opened.isEmpty());
    QVERIFY(!label.isVisited());
}

void StaticLinkTest::failedOpenKeepsTheColour()
{
    CUnopenableLink label(QStringLiteral("主页"), QStringLiteral("http://example.com/"));
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy spy(&label, &CStaticLink::linkOpened);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!label.isVisited());
    QCOMPARE(label.currentColor(), CStaticLink::kNormalColor);
}

void StaticLinkTest::hoverTurnsTheLabelRed()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new CStaticLink(QStringLiteral("http://example.com/"));
    auto* below = new QWidget;
    below->setMinimumSize(200, 60);
    layout->addWidget(label);
    layout->addWidget(below);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseMove(below, below->rect().center());
    QTest::mouseMove(label, label->rect().center());
    QTRY_COMPARE(label->currentColor(), CStaticLink::kHoverColor);
    QTest::mouseMove(below, below->rect().center());
    QTRY_COMPARE(label->currentColor(), CStaticLink::kNormalColor);

    QTest::mouseMove(label, label->rect().center());
    QTRY_COMPARE(label->currentColor(), CStaticLink::kHoverColor);
    QTest::mouseClick(label, Qt::LeftButton);
    QTest::mouseMove(below, below->rect().center());
    QTRY_COMPARE(label->currentColor(), CStaticLink::kVisitedColor);
}

QTEST_MAIN(StaticLinkTest)
#include "StaticLinkTest.moc"
