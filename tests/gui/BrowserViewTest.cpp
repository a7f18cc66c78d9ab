#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

#include "TempFolder.h"
#include "app/Text.h"
#include "browser/BrowserCommands.h"
#include "browser/BrowserHost.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/BrowserTabRow.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"

namespace
{
// Stands in for the main frame: records what the browser tells it.
class RecordingHost final : public IBrowserHost
{
public:
    void SetAddressText(const QString& strText) override
    {
        m_strAddress = strText;
        m_addresses.append(strText);
    }
    QString GetAddressText() const override { return m_strAddress; }
    void SetProgress(int nPercent) override
    {
        m_nProgress = nPercent;
        m_gauge.append(nPercent);
    }
    void SetProgressValue(int nPercent) override { m_nProgress = nPercent; }

    QString m_strAddress;
    QStringList m_addresses;
    QList<int> m_gauge;
    int m_nProgress = 0;
};

void WriteFile(const QString& strPath, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}
} // namespace

class BrowserViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showUrlOpensFirstTabThenNavigatesIt();

private:
    std::unique_ptr<TempFolder> m_pFolder;
    RecordingHost m_host;
    std::unique_ptr<CTrawlixView> m_pView;

    QString MakePage(const QString& strName, const QString& strTitle, const QByteArray& body = {});
};

void BrowserViewTest::init()
{
    m_pFolder = std::make_unique<TempFolder>();
    m_host = RecordingHost();
    m_pView = std::make_unique<CTrawlixView>(&m_host);
    m_pView->resize(800, 600);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
}

void BrowserViewTest::cleanup()
{
    m_pView.reset();
    m_pFolder.reset();
}

QString BrowserViewTest::MakePage(const QString& strName, const QString& strTitle, const QByteArray& body)
{
    const QString strPath = QDir(toQ(m_pFolder->path())).filePath(strName);
    QByteArray html = "<html><head><meta charset=\"utf-8\">";
    if (!strTitle.isNull()) {
        html += "<title>" + strTitle.toUtf8() + "</title>";
    }
    html += "</head><body>" + body + "</body></html>";
    WriteFile(strPath, html);
    return strPath;
}

void BrowserViewTest::showUrlOpensFirstTabThenNavigatesIt()
{
    CBrowserTabCtrl* pTabs = m_pView->TabCtrl();
    const QString strFirst = MakePage(QStringLiteral("first.htm"), QStringLiteral("第一页"));
    const QString strSecond = MakePage(QStringLiteral("second.htm"), QStringLiteral("Second"));

    m_pView->ShowUrl(strFirst);
    QTRY_COMPARE(pTabs->Count(), 1);
    QCOMPARE(pTabs->KeyAt(0), CBrowserTabCtrl::FIRST_KEY);
    QTRY_COMPARE(pTabs->TabText(0), QStringLiteral("第一页"));
    QTRY_COMPARE(m_host.m_strAddress, strFirst);

    m_pView->ShowUrl(strSecond);
    QTRY_COMPARE(pTabs->TabText(0), QStringLiteral("Second"));
    QCOMPARE(pTabs->Count(), 1);
    QTRY_COMPARE(m_host.m_strAddress, strSecond);
}

QTEST_MAIN(BrowserViewTest)
#include "BrowserViewTest.moc"
