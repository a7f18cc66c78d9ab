#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "ui/Icons.h"
#include "ui/ToolBarEx.h"

namespace
{
constexpr int kNewProject = 32771;
constexpr int kOpen = 32776;
constexpr int kSave = 32777;

QImage picture(const QIcon& icon, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(24, 24), mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    return count;
}

bool hasColour(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 0 && (qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel))) {
                return true;
            }
        }
    }
    return false;
}
} // namespace

class ToolBarTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPictureDraws();
    void imageListsGiveEveryButtonItsPicture();
    void missingPictureChangesNothing();
    void dropDownButtonShowsItsMenu();

private:
    QMainWindow m_frame;
};

void ToolBarTest::everyPictureDraws()
{
    const QList<int> ids = commandIconIds();
    QCOMPARE(ids.size(), 18);
    for (int id : ids) {
        const QIcon icon = commandIcon(id);
        QVERIFY2(!icon.isNull(), qPrintable(commandIconPath(id)));
        const QImage normal = picture(icon);
        QVERIFY2(opaquePixels(normal) > 24 * 24 / 5, qPrintable(commandIconPath(id)));
        QVERIFY2(hasColour(normal), qPrintable(commandIconPath(id)));
        // Disabled buttons are greyed from the same picture.
        QVERIFY2(!hasColour(picture(icon, QIcon::Disabled)), qPrintable(commandIconPath(id)));
    }
    QVERIFY(commandIcon(1).isNull());

    for (int index = 0; index < kTreeIconCount; ++index) {
        const QImage image = treeIcon(index).pixmap(QSize(16, 16)).toImage();
        QCOMPARE(image.size(), QSize(16, 16));
        QVERIFY(opaquePixels(image.convertToFormat(QImage::Format_ARGB32)) > 16 * 16 / 5);
    }
    QVERIFY(treeIcon(kTreeIconCount).isNull());
    QVERIFY(treeIcon(-1).isNull());
    QVERIFY(opaquePixels(appIcon().pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32)) > 0);
}

void ToolBarTest::imageListsGiveEveryButtonItsPicture()
{
    CToolBarEx toolBar(QStringLiteral("main"), &m_frame);
    toolBar.addCommand(kNewProject, QStringLiteral("新建工程"));
    toolBar.addSeparator();
    toolBar.addCommand(kOpen, QStringLiteral("打开"));
    QVERIFY(toolBar.SetImageLists(24, commandIcon));
    QCOMPARE(toolBar.iconSize(), QSize(24, 24));
    QCOMPARE(picture(toolBar.actionForCommand(kOpen)->icon()), picture(commandIcon(kOpen)));

    // Buttons added later take their pictures from the same set.
    QAction* save = toolBar.addCommand(kSave, QStringLiteral("保存"));
    QCOMPARE(picture(save->icon()), picture(commandIcon(kSave)));

    // Separate hot and disabled sets end up in the matching icon modes.
    const auto red = [](int) {
        QPixmap pixmap(24, 24);
        pixmap.fill(Qt::red);
        return QIcon(pixmap);
    };
    const auto blue = [](int) {
        QPixmap pixmap(24, 24);
        pixmap.fill(Qt::blue);
        return QIcon(pixmap);
    };
    QVERIFY(toolBar.SetImageLists(24, commandIcon, red, blue));
    const QIcon icon = save->icon();
    QCOMPARE(picture(icon, QIcon::Normal), picture(commandIcon(kSave)));
    QCOMPARE(picture(icon, QIcon::Active).pixel(12, 12), qRgb(255, 0, 0));
    QCOMPARE(picture(icon, QIcon::Disabled).pixel(12, 12), qRgb(0, 0, 255));
}

void ToolBarTest::missingPictureChangesNothing()
{
    CToolBarEx toolBar(QStringLiteral("main"), &m_frame);
    toolBar.addCommand(kOpen);
    toolBar.addCommand(4242);
    const auto onlyOpen = [](int id) { return id == kOpen ? commandIcon(id) : QIcon(); };
    const auto everything = [](int) { return commandIcon(kSave); };
    QVERIFY(toolBar.SetImageLists(16, everything));
    QVERIFY(!toolBar.SetImageLists(24, onlyOpen));
    QCOMPARE(toolBar.iconSize(), QSize(16, 16));
    QCOMPARE(picture(toolBar.actionForCommand(kOpen)->icon()), picture(commandIcon(kSave)));
    QVERIFY(!toolBar.SetImageLists(0, everything));
}

void ToolBarTest::dropDownButtonShowsItsMenu()
{
    m_frame.resize(400, 200);
    auto* toolBar = new CToolBarEx(QStringLiteral("main"), &m_frame);
    m_frame.addToolBar(toolBar);
    QAction* newProject = toolBar->addCommand(kNewProject, QStringLiteral("新建工程"));
    toolBar->addCommand(kOpen, QStringLiteral("打开"));
    QVERIFY(toolBar->SetImageLists(24, commandIcon));
    QMenu menu;
    QAction* first = menu.addAction(QStringLiteral("新建工程"));
    menu.addAction(QStringLiteral("新建空白工程"));
    menu.addAction(QStringLiteral("新建空白页"));
    QVERIFY(toolBar->AddDropDown(kNewProject, &menu));
    QVERIFY(!toolBar->AddDropDown(4242, &menu));
    QCOMPARE(toolBar->dropDownMenu(kNewProject), &menu);
    QCOMPARE(toolBar->dropDownMenu(kOpen), nullptr);
    m_frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_frame));

    auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(newProject));
    QVERIFY(button != nullptr);
    QCOMPARE(button->popupMode(), QToolButton::MenuButtonPopup);
    QCOMPARE(button->menu(), &menu);
    auto* plain = qobject_cast<QToolButton*>(toolBar->widgetForAction(toolBar->actionForCommand(kOpen)));
    QCOMPARE(plain->menu(), nullptr);

    // The button itself still runs its own command.
    QSignalSpy ran(newProject, &QAction::triggered);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    QTRY_COMPARE(ran.count(), 1);
    QVERIFY(!menu.isVisible());

    // The arrow at its right opens the menu below the button; its items run their own actions.
    QSignalSpy chosen(first, &QAction::triggered);
    QTimer::singleShot(0, &menu, [&menu, first, button]() {
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());
        menu.setActiveAction(first);
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 3, button->height() / 2));
    QTRY_COMPARE(chosen.count(), 1);
    QCOMPARE(ran.count(), 1);
}

QTEST_MAIN(ToolBarTest)
#include "ToolBarTest.moc"
