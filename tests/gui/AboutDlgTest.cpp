#include "app/AboutDlg.h"

#include <QFileInfo>
#include <QTest>
#include <QUrl>

#include "ui/StaticLink.h"

// The About box links to the program's own pages; they must be there beside the built program.
class AboutDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void linksPointAtPagesBesideTheProgram()
    {
        CAboutDlg dlg;
        const QString programFolder = QFileInfo(QStringLiteral(TRAWLIX_GUI_PATH)).absolutePath();
        const char* links[][2] = {{"homeLink", "index.html"}, {"feedbackLink", "feedback.html"}};
        for (const auto& [objectName, page] : links) {
            auto* link = dlg.findChild<CStaticLink*>(QLatin1String(objectName));
            QVERIFY(link);
            QCOMPARE(QUrl(link->target()).fileName(), QLatin1String(page));
            QVERIFY2(QFileInfo::exists(programFolder + QStringLiteral("/help/") + QLatin1String(page)), page);
        }
    }
};

QTEST_MAIN(AboutDlgTest)
#include "AboutDlgTest.moc"
