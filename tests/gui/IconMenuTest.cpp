#include "ui/IconMenu.h"

#include <QKeySequence>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QtTest>

#include "ui/Icons.h"

namespace
{
// A desktop style that prefers scroll arrows for long menus.
class CScrollingMenuStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint,
                  const QStyleOption* option,
                  const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        return hint == SH_Menu_Scrollable ? 1 : QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

class IconMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void textsKeepTheirAmpersands_data();
    void textsKeepTheirAmpersands();
    void itemsShowTheirPictures();
    void shortMenuIsLeftAlone();
    void longMenuFitsTheScreenInColumns();
};

void IconMenuTest::textsKeepTheirAmpersands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("between letters") << QStringLiteral("A&B") << QStringLiteral("A&&B");
    QTest::newRow("doubled already") << QStringLiteral("x&&y") << QStringLiteral("x&&&&y");
    QTest::newRow("at the ends") << QStringLiteral("&新闻&") << QStringLiteral("&&新闻&&");
    QTest::newRow("none") << QStringLiteral("收藏夹") << QStringLiteral("收藏夹");
    QTest::newRow("empty") << QString() << QString();
}

void IconMenuTest::textsKeepTheirAmpersands()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(escapeMenuText(text), escaped);
    QCOMPARE(unescapeMenuText(escaped), text);

    CIconMenu menu(text);
    QAction* item = menu.addIconItem(treeIcon(2), text);
    QCOMPARE(item->text(), escaped);
    // No letter of a data text becomes a keyboard mnemonic.
    QVERIFY(QKeySequence::mnemonic(item->text()).isEmpty());
    QCOMPARE(menu.title(), escaped);
    QCOMPARE(menu.addIconMenu(treeIcon(0), text)->title(), escaped);
}

void IconMenuTest::itemsShowTheirPictures()
{
    QCoreApplication::setAttribute(Qt::AA_DontShowIconsInMenus, true);
    CIconMenu menu;
    QAction* page = menu.addIconItem(treeIcon(2), QStringLiteral("R&D 周报"));
    QAction* plain = menu.addIconItem({}, QStringLiteral("无图"));
    CIconMenu* folder = menu.addIconMenu(treeIcon(0), QStringLiteral("链接"));
    QVERIFY(page->isIconVisibleInMenu());
    QVERIFY(!page->icon().isNull());
    QVERIFY(plain->icon().isNull());
    QVERIFY(folder->menuAction()->isIconVisibleInMenu());
    QCOMPARE(folder->menuAction()->menu(), folder);
    QCoreApplication::setAttribute(Qt::AA_DontShowIconsInMenus, false);

    menu.popup(QPoint(10, 10));
    QTRY_VERIFY(menu.isVisible());
    // A picture item is no shorter than its picture plus a margin.
    QVERIFY(menu.actionGeometry(page).height() >= 16 + 4);
    QCOMPARE(menu.actionGeometry(page).width(), menu.actionGeometry(plain).width());
    menu.hide();
}

void IconMenuTest::shortMenuIsLeftAlone()
{
    QMenu menu;
    for (int i = 0; i < 5; ++i) {
        menu.addAction(QStringLiteral("项目 %1").arg(i));
    }
    QStyle* before = menu.style();
    QVERIFY(!BreakLongMenu(&menu, true));
    QVERIFY(!BreakLongMenu(&menu, false));
    QCOMPARE(menu.style(), before);
    QVERIFY(!BreakLongMenu(nullptr, true));
}

void IconMenuTest::longMenuFitsTheScreenInColumns()
{
    for (const bool ownerDrawn : {true, false}) {
        CIconMenu menu;
        CScrollingMenuStyle scrolling;
        menu.setStyle(&scrolling);
        QList<QAction*> items;
        for (int i = 0; i < 200; ++i) {
            items.append(menu.addIconItem(treeIcon(2), QStringLiteral("收藏的网页 %1").arg(i)));
        }
        QVERIFY(BreakLongMenu(&menu, ownerDrawn));

        menu.popup(QPoint(0, 0));
        QTRY_VERIFY(menu.isVisible());
        const QRect screen = menu.screen()->availableGeometry();
        QVERIFY(menu.height() <= screen.height());
        // Every item has its place on screen: no item hides behind a scroll arrow.
        int columns = 0;
        int lastLeft = -1;
        for (QAction* item : std::as_const(items)) {
            const QRect place = menu.actionGeometry(item);
            QVERIFY(menu.rect().contains(place));
            if (place.left() != lastLeft) {
                QVERIFY(place.left() > lastLeft);
                lastLeft = place.left();
                ++columns;
            }
        }
        QVERIFY(columns > 1);
        menu.hide();
        menu.setStyle(nullptr);
    }
}

QTEST_MAIN(IconMenuTest)
#include "IconMenuTest.moc"
