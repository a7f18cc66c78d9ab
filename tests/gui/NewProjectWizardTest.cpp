#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "TempFolder.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "platform/Files.h"
#include "wizards/AddPageDlg.h"
#include "wizards/DialogAnimation.h"
#include "wizards/DownloadCommands.h"
#include "wizards/DownloadReportDlg.h"
#include "wizards/LinkRangeDlg.h"
#include "wizards/WizardFinish.h"
#include "wizards/WizardPage1.h"
#include "wizards/WizardPage2.h"
#include "wizards/WizardPage3.h"
#include "wizards/WizardSheet.h"

namespace
{
// Stands in for the user: records every message box and answers dialogs and the folder chooser.
struct Answers
{
    QStringList asked; // caption + "|" + text
    std::function<int(QDialog&)> dialog = [](QDialog&) { return int(QDialog::Rejected); };
    QUrl folder;

    CUserPrompts prompts()
    {
        CUserPrompts p;
        p.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
                              QMessageBox::StandardButtons) {
            asked.append(caption + QLatin1Char('|') + text);
            return QMessageBox::Ok;
        };
        p.execDialog = [this](QDialog& d) { return dialog(d); };
        p.chooseFolder = [this](QWidget*, const QString&) { return folder; };
        return p;
    }
};

template <typename T> T* child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    if (!widget) {
        qFatal("no child %s", name);
    }
    return widget;
}

const QString kStart = QStringLiteral("http://127.0.0.1:1/list/p1.htm");
const QString kEnd = QStringLiteral("http://127.0.0.1:1/list/p3.htm");
const QString kAddress = QStringLiteral("http://127.0.0.1:1/index.htm");
} // namespace

class NewProjectWizardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pagesAndTheirTexts();
    void nameMustNotBeEmpty();
    void addressPageRefusals_data();
    void addressPageRefusals();
    void modeSwitchEnablesTheRightBoxes();
    void linkRangeOkAndCancel();
    void linkRangeDialogAlone();
    void folderPageRefusalsAndDefault();
    void browseForFolder();
    void saveFolderLosesOneTrailingSeparator_data();
    void saveFolderLosesOneTrailingSeparator();
    void addPageDialogValidates();
    void renderingNeedsTheRenderer();
    void reportOpensAndClosesAnimated();
    void droppedLinks_data();
    void droppedLinks();

private:
    // Shows the wizard and walks to page nPage (0-based) with valid entries.
    void walkTo(int nPage);
    void next() { m_pWizard->button(QWizard::NextButton)->click(); }

    std::unique_ptr<TempFolder> m_pTemp;
    Answers m_answers;
    CUserPrompts m_prompts;
    std::unique_ptr<CWizardSheet> m_pWizard;
};

void NewProjectWizardTest::init()
{
    m_pTemp = std::make_unique<TempFolder>();
    m_answers = Answers();
    m_prompts = m_answers.prompts();
    CWizardDefaults defaults{kStart, kEnd, kAddress, toQ(m_pTemp->path())};
    m_pWizard = std::make_unique<CWizardSheet>(m_prompts, defaults);
}

void NewProjectWizardTest::cleanup()
{
    m_pWizard.reset();
    m_pTemp.reset();
}

void NewProjectWizardTest::walkTo(int nPage)
{
    m_pWizard->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWizard.get()));
    if (nPage >= 1) {
        child<QLineEdit>(m_pWizard->Page1(), "nameEdit")->setText(QStringLiteral("工程"));
        next();
    }
    if (nPage >= 2) {
        next();
    }
    if (nPage >= 3) {
        next();
    }
    QCOMPARE(m_pWizard->currentId(), nPage);
    QVERIFY(m_answers.asked.isEmpty());
}

void NewProjectWizardTest::pagesAndTheirTexts()
{
    walkTo(0);
    QCOMPARE(m_pWizard->windowTitle(), QStringLiteral("New Project Wizard"));
    QCOMPARE(m_pWizard->wizardStyle(), QWizard::ModernStyle);
    QCOMPARE(m_pWizard->Page1()->title(), QStringLiteral("新建工程"));
    QCOMPARE(m_pWizard->Page2()->title(), QStringLiteral("设置起始网页"));
    QCOMPARE(m_pWizard->Page3()->title(), QStringLiteral("设置保存目录"));
    // Our own pictures: the header above the inner pages, the watermark beside the last one.
    QVERIFY(!m_pWizard->Page1()->pixmap(QWizard::BannerPixmap).isNull());
    QVERIFY(!m_pWizard->FinishPage()->pixmap(QWizard::WatermarkPixmap).isNull());
    // Page 1 offers Next only, the last page Finish.
    QVERIFY(!m_pWizard->button(QWizard::BackButton)->isEnabled());
    QVERIFY(m_pWizard->button(QWizard::NextButton)->isVisible());
    child<QLineEdit>(m_pWizard->Page1(), "nameEdit")->setText(QStringLiteral("x"));
    next();
    next();
    next();
    QCOMPARE(m_pWizard->currentId(), 3);
    QVERIFY(m_pWizard->button(QWizard::FinishButton)->isVisible());
    QVERIFY(m_pWizard->button(QWizard::BackButton)->isEnabled());
    const QString strFinish = child<QLabel>(m_pWizard->FinishPage(), "finishLabel")->text();
    QCOMPARE(strFinish, QStringLiteral("            设置完成\n请点击完成按钮，将开始下载网页。"));
    m_pWizard->button(QWizard::FinishButton)->click();
    QCOMPARE(m_pWizard->result(), int(QDialog::Accepted));
}

void NewProjectWizardTest::nameMustNotBeEmpty()
{
    walkTo(0);
    auto* name = child<QLineEdit>(m_pWizard->Page1(), "nameEdit");
    m_pWizard->button(QWizard::NextButton)->setFocus();
    next();
    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("New Project Wizard|工程名不能为空.")});
    QCOMPARE(m_pWizard->currentId(), 0);
    QCOMPARE(m_pWizard->focusWidget(), name);

    // Blanks are a name.
    name->setText(QStringLiteral("  "));
    next();
    QCOMPARE(m_pWizard->currentId(), 1);
    QCOMPARE(m_pWizard->Page1()->m_strName, QStringLiteral("  "));
}

void NewProjectWizardTest::addressPageRefusals_data()
{
    QTest::addColumn<bool>("bLinks");
    QTest::addColumn<QString>("strFrom");
    QTest::addColumn<QString>("strTo");
    QTest::addColumn<QString>("strTop");
    QTest::addColumn<QString>("strMessage"); // empty: goes on
    QTest::addColumn<QString>("strFocus");

    const QString strSeries = QStringLiteral("http://127.0.0.1:1/a/p1.htm");
    QTest::newRow("list, both empty") << false << QString() << QString() << kAddress
                                      << QStringLiteral("起始网址不能都为空.") << QStringLiteral("fromEdit");
    QTest::newRow("list, only the first: one page")
        << false << strSeries << QString() << QString() << QString() << QString();
    QTest::newRow("list, only the last: one page")
        << false << QString() << strSeries << QString() << QString() << QString();
    QTest::newRow("list, a series") << false << strSeries << QStringLiteral("http://127.0.0.1:1/a/p9.htm") << QString()
                                    << QString() << QString();
    QTest::newRow("list, no series") << false << strSeries << QStringLiteral("http://127.0.0.1:1/b/x.htm") << QString()
                                     << QStringLiteral("起始网址字符串不是可识别规则字符串.")
                                     << QStringLiteral("fromEdit");
    QTest::newRow("links, no top page") << true << strSeries << QString() << QString()
                                        << QStringLiteral("顶层网页网址不能为空") << QStringLiteral("topEdit");
    QTest::newRow("links, range not examined")
        << true << strSeries << QStringLiteral("http://127.0.0.1:1/b/x.htm") << kAddress << QString() << QString();
    QTest::newRow("links, all links") << true << QString() << QString() << kAddress << QString() << QString();
}

void NewProjectWizardTest::addressPageRefusals()
{
    QFETCH(bool, bLinks);
    QFETCH(QString, strFrom);
    QFETCH(QString, strTo);
    QFETCH(QString, strTop);
    QFETCH(QString, strMessage);
    QFETCH(QString, strFocus);

    walkTo(1);
    CWizardPage2* page = m_pWizard->Page2();
    child<QRadioButton>(page, bLinks ? "linksModeRadio" : "listModeRadio")->click();
    child<QLineEdit>(page, "fromEdit")->setText(strFrom);
    child<QLineEdit>(page, "toEdit")->setText(strTo);
    child<QLineEdit>(page, "topEdit")->setText(strTop);
    m_pWizard->button(QWizard::NextButton)->setFocus();
    next();
    if (strMessage.isEmpty()) {
        QCOMPARE(m_answers.asked, QStringList());
        QCOMPARE(m_pWizard->currentId(), 2);
        QCOMPARE(page->m_nMode, bLinks ? 1 : 0);
        QCOMPARE(page->m_strFromUrl, strFrom);
        QCOMPARE(page->m_strToUrl, strTo);
        QCOMPARE(page->m_strTopUrl, strTop);
    } else {
        QCOMPARE(m_answers.asked, QStringList{QStringLiteral("New Project Wizard|") + strMessage});
        QCOMPARE(m_pWizard->currentId(), 1);
        QCOMPARE(m_pWizard->focusWidget(), child<QLineEdit>(page, strFocus.toLatin1().constData()));
    }
}

void NewProjectWizardTest::modeSwitchEnablesTheRightBoxes()
{
    walkTo(1);
    CWizardPage2* page = m_pWizard->Page2();
    auto* from = child<QLineEdit>(page, "fromEdit");
    auto* to = child<QLineEdit>(page, "toEdit");
    auto* top = child<QLineEdit>(page, "topEdit");
    // The recorded addresses and the address box are the defaults; a run starts in list mode.
    QCOMPARE(from->text(), kStart);
    QCOMPARE(to->text(), kEnd);
    QCOMPARE(top->text(), kAddress);
    QVERIFY(child<QRadioButton>(page, "listModeRadio")->isChecked());
    QVERIFY(from->isEnabled() && to->isEnabled() && !top->isEnabled());

    child<QRadioButton>(page, "linksModeRadio")->click();
    QVERIFY(!from->isEnabled() && !to->isEnabled() && top->isEnabled());
    QVERIFY(child<QPushButton>(page, "rangeButton")->isEnabled());
    // The disabled boxes keep their text: it is the range of links.
    QCOMPARE(from->text(), kStart);
    next();
    QCOMPARE(page->m_nMode, 1);
    QCOMPARE(page->m_strFromUrl, kStart);
    QCOMPARE(page->m_strToUrl, kEnd);

    // Going back keeps what the page holds.
    m_pWizard->back();
    QVERIFY(child<QRadioButton>(page, "linksModeRadio")->isChecked());
    child<QRadioButton>(page, "listModeRadio")->click();
    QVERIFY(from->isEnabled() && to->isEnabled() && !top->isEnabled());
    QVERIFY(child<QPushButton>(page, "rangeButton")->isEnabled());
}

void NewProjectWizardTest::linkRangeOkAndCancel()
{
    walkTo(1);
    CWizardPage2* page = m_pWizard->Page2();
    auto* from = child<QLineEdit>(page, "fromEdit");
    auto* to = child<QLineEdit>(page, "toEdit");
    child<QRadioButton>(page, "linksModeRadio")->click();
    from->setText(QStringLiteral("http://127.0.0.1:1/typed.htm"));

    QStringList presets;
    m_answers.dialog = [&](QDialog& dialog) {
        auto& range = dynamic_cast<CLinkRangeDlg&>(dialog);
        range.show();
        presets << child<QLineEdit>(&range, "fromEdit")->text() << child<QLineEdit>(&range, "toEdit")->text();
        child<QLineEdit>(&range, "fromEdit")->setText(QStringLiteral("http://127.0.0.1:1/l1.htm"));
        child<QLineEdit>(&range, "toEdit")->clear();
        child<QPushButton>(&range, "okButton")->click();
        return range.result();
    };
    child<QPushButton>(page, "rangeButton")->click();
    // The dialog starts from what the boxes show.
    QCOMPARE(presets, (QStringList{QStringLiteral("http://127.0.0.1:1/typed.htm"), kEnd}));
    QCOMPARE(from->text(), QStringLiteral("http://127.0.0.1:1/l1.htm"));
    QCOMPARE(to->text(), QString());

    // Cancel empties both.
    to->setText(kEnd);
    m_answers.dialog = [](QDialog&) { return int(QDialog::Rejected); };
    child<QPushButton>(page, "rangeButton")->click();
    QCOMPARE(from->text(), QString());
    QCOMPARE(to->text(), QString());
    next();
    QCOMPARE(m_pWizard->currentId(), 2);
    QCOMPARE(page->m_strFromUrl, QString());
    QCOMPARE(page->m_strToUrl, QString());
    QCOMPARE(page->m_strTopUrl, kAddress);
}

void NewProjectWizardTest::linkRangeDialogAlone()
{
    CLinkRangeDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("设置下载条件"));
    dialog.m_strFromUrl = QStringLiteral("a");
    dialog.m_strToUrl = QStringLiteral("b");
    dialog.show();
    QVERIFY(child<QPushButton>(&dialog, "okButton")->isDefault());
    child<QLineEdit>(&dialog, "toEdit")->setText(QStringLiteral("c"));
    child<QPushButton>(&dialog, "cancelButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.m_strToUrl, QStringLiteral("b"));
    dialog.show();
    child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.m_strFromUrl, QStringLiteral("a"));
    QCOMPARE(dialog.m_strToUrl, QStringLiteral("c"));
}

void NewProjectWizardTest::folderPageRefusalsAndDefault()
{
    walkTo(2);
    CWizardPage3* page = m_pWizard->Page3();
    auto* folder = child<QLineEdit>(page, "saveFolderEdit");
    QCOMPARE(folder->text(), toQ(m_pTemp->path()));
    QVERIFY(child<QCheckBox>(page, "keepScriptsCheck")->isChecked());
    QVERIFY(!child<QCheckBox>(page, "completeCheck")->isChecked());

    const std::string strFile = m_pTemp->file("a-file");
    QVERIFY(files::WriteFile(strFile, "x"));
    const struct
    {
        QString strText;
        QString strMessage;
    } cases[] = {
        {QString(), QStringLiteral("你必须指定一个存放目录.")},
        {toQ(m_pTemp->file("missing")), QStringLiteral("指定存放目录不存在.")},
        // The job could not make its folder inside a file.
        {toQ(strFile), QStringLiteral("指定存放目录不存在.")},
    };
    for (const auto& c : cases) {
        m_answers.asked.clear();
        folder->setText(c.strText);
        m_pWizard->button(QWizard::NextButton)->setFocus();
        next();
        QCOMPARE(m_answers.asked, QStringList{QStringLiteral("New Project Wizard|") + c.strMessage});
        QCOMPARE(m_pWizard->currentId(), 2);
        QCOMPARE(m_pWizard->focusWidget(), folder);
    }
    m_answers.asked.clear();
    folder->setText(toQ(m_pTemp->path()) + QLatin1Char('/'));
    child<QCheckBox>(page, "keepScriptsCheck")->setChecked(false);
    child<QCheckBox>(page, "completeCheck")->setChecked(true);
    next();
    QCOMPARE(m_pWizard->currentId(), 3);
    QCOMPARE(page->m_strSaveFolder, toQ(m_pTemp->path()) + QLatin1Char('/'));
    QCOMPARE(page->m_bKeepScripts, 0);
    QCOMPARE(page->m_bComplete, 1);
}

void NewProjectWizardTest::browseForFolder()
{
    walkTo(2);
    auto* folder = child<QLineEdit>(m_pWizard->Page3(), "saveFolderEdit");
    auto* browse = child<QPushButton>(m_pWizard->Page3(), "browseButton");
    folder->setText(QStringLiteral("/keep"));

    // Cancelled: nothing changes, nothing is said.
    m_answers.folder = QUrl();
    browse->click();
    QCOMPARE(folder->text(), QStringLiteral("/keep"));
    QVERIFY(m_answers.asked.isEmpty());

    // Not a local folder.
    for (const QUrl& url : {QUrl(QStringLiteral("sftp://host/dir")), QUrl::fromLocalFile(toQ(m_pTemp->file("no")))}) {
        m_answers.asked.clear();
        m_answers.folder = url;
        browse->click();
        QCOMPARE(folder->text(), QStringLiteral("/keep"));
        QCOMPARE(m_answers.asked, QStringList{QStringLiteral("Trawlix|Failed to get directory")});
    }

    m_answers.asked.clear();
    m_answers.folder = QUrl::fromLocalFile(toQ(m_pTemp->path()));
    browse->click();
    QCOMPARE(folder->text(), toQ(m_pTemp->path()));
    QVERIFY(m_answers.asked.isEmpty());
}

void NewProjectWizardTest::saveFolderLosesOneTrailingSeparator_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strFolder");
    QTest::newRow("none") << QStringLiteral("/srv/pages") << QStringLiteral("/srv/pages");
    QTest::newRow("one") << QStringLiteral("/srv/pages/") << QStringLiteral("/srv/pages");
    QTest::newRow("two lose one") << QStringLiteral("/srv/pages//") << QStringLiteral("/srv/pages/");
    QTest::newRow("the root stays the root") << QStringLiteral("/") << QStringLiteral("/");
    QTest::newRow("relative") << QStringLiteral("pages/") << QDir::current().absoluteFilePath(QStringLiteral("pages"));
}

void NewProjectWizardTest::saveFolderLosesOneTrailingSeparator()
{
    QFETCH(QString, strText);
    QFETCH(QString, strFolder);
    QCOMPARE(CWizardPage3::SaveFolderOf(strText), strFolder);
}

void NewProjectWizardTest::addPageDialogValidates()
{
    CAddPageDlg dialog(m_prompts);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("添加网页到工程"));
    dialog.m_strFromUrl = kStart;
    dialog.m_strToUrl = QStringLiteral("http://127.0.0.1:1/other/x.htm");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* from = child<QLineEdit>(&dialog, "fromEdit");
    QCOMPARE(from->text(), kStart);
    QVERIFY(child<QCheckBox>(&dialog, "keepScriptsCheck")->isChecked());
    QVERIFY(child<QPushButton>(&dialog, "cancelButton")->isDefault());
    QVERIFY(!child<QCheckBox>(&dialog, "completeCheck")->isChecked());

    child<QPushButton>(&dialog, "okButton")->setFocus();
    child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("Add Webpage Wizard|起始网址字符串不是可识别规则字符串.")});
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), from);

    // One plain address is one page.
    child<QLineEdit>(&dialog, "toEdit")->clear();
    child<QCheckBox>(&dialog, "keepScriptsCheck")->setChecked(false);
    child<QCheckBox>(&dialog, "completeCheck")->setChecked(true);
    child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.m_strFromUrl, kStart);
    QCOMPARE(dialog.m_strToUrl, QString());
    QCOMPARE(dialog.m_bKeepScripts, 0);
    QCOMPARE(dialog.m_bComplete, 1);
}

// Without the page renderer a rendered job would save nothing: both dialogs refuse before it starts,
// and keep the user where the box can be unticked.
void NewProjectWizardTest::renderingNeedsTheRenderer()
{
    const QByteArray old = qgetenv("TRAWLIX_RENDER");
    const std::string strMissing = m_pTemp->file("no-renderer");
    const std::string strPresent = m_pTemp->file("renderer");
    QVERIFY(files::WriteFile(strPresent, "#!/bin/sh\n"));
    QVERIFY(::chmod(strPresent.c_str(), 0755) == 0);
    qputenv("TRAWLIX_RENDER", QByteArray::fromStdString(strMissing));

    walkTo(2);
    auto* render = child<QCheckBox>(m_pWizard->Page3(), "renderCheck");
    render->setChecked(true);
    next();
    QCOMPARE(m_answers.asked.size(), 1);
    QVERIFY2(m_answers.asked[0].contains(QStringLiteral("trawlix-render")), qPrintable(m_answers.asked[0]));
    QCOMPARE(m_pWizard->currentId(), 2);
    QCOMPARE(m_pWizard->focusWidget(), render);

    CAddPageDlg dialog(m_prompts);
    dialog.m_strFromUrl = kStart;
    dialog.m_bRender = 1;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(m_answers.asked.size(), 2);
    QCOMPARE(m_answers.asked[1],
             QString(m_answers.asked[0])
                 .replace(QStringLiteral("New Project Wizard|"), QStringLiteral("Add Webpage Wizard|")));
    QVERIFY(dialog.isVisible());

    // Installed: both go on.
    qputenv("TRAWLIX_RENDER", QByteArray::fromStdString(strPresent));
    next();
    QCOMPARE(m_pWizard->currentId(), 3);
    QCOMPARE(m_pWizard->Page3()->m_bRender, 1);
    child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_answers.asked.size(), 2);

    if (old.isNull()) {
        qunsetenv("TRAWLIX_RENDER");
    } else {
        qputenv("TRAWLIX_RENDER", old);
    }
}

void NewProjectWizardTest::reportOpensAndClosesAnimated()
{
    QWidget parent;
    parent.setGeometry(100, 100, 800, 600);
    parent.show();
    CDownloadReportDlg dialog(&parent);
    dialog.m_strSummary = QStringLiteral(" 工程 \t2\t 1\t/home/u/工程 ");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QStringList lines;
    for (int i = 0; i < dialog.List()->count(); ++i) {
        lines.append(dialog.List()->item(i)->text());
    }
    const QString strIndent(9, QLatin1Char(' '));
    QCOMPARE(lines, (QStringList{QStringLiteral("工程名:"), strIndent + QStringLiteral("工程"),
                                 QStringLiteral("下载网页成功:"), strIndent + QStringLiteral("2"),
                                 QStringLiteral("下载网页失败:"), strIndent + QStringLiteral("1"),
                                 QStringLiteral("网页保存路径:"), strIndent + QStringLiteral("/home/u/工程")}));
    // Centred on its parent, shown from the centre outwards until all of it shows.
    QVERIFY(qAbs(dialog.frameGeometry().center().x() - parent.frameGeometry().center().x()) <= 2);
    QVERIFY(dialog.Animation()->reveal() < 1.0);
    QVERIFY(!dialog.mask().isEmpty());
    QTRY_COMPARE(dialog.Animation()->reveal(), 1.0);
    QVERIFY(dialog.mask().isEmpty());

    // OK fades it out first, then closes it once, with OK's result.
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.accept();
    dialog.reject();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.Animation()->IsClosing());
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void NewProjectWizardTest::droppedLinks_data()
{
    QTest::addColumn<QString>("strType");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("strUrl");

    const QString strLink = QStringLiteral("http://127.0.0.1:8080/a/页.htm");
    const QString strMoz = strLink + QStringLiteral("\nA title");
    QTest::newRow("uri list") << QStringLiteral("text/uri-list")
                              << QByteArray("# comment\r\nhttp://127.0.0.1:8080/a/b.htm\r\n")
                              << QStringLiteral("http://127.0.0.1:8080/a/b.htm");
    QTest::newRow("moz url, UTF-16") << QStringLiteral("text/x-moz-url")
                                     << QByteArray(reinterpret_cast<const char*>(strMoz.utf16()), strMoz.size() * 2)
                                     << QUrl(strLink).toString();
    QTest::newRow("moz url, UTF-8") << QStringLiteral("text/x-moz-url") << strMoz.toUtf8() << QUrl(strLink).toString();
    QTest::newRow("https") << QStringLiteral("text/uri-list") << QByteArray("https://127.0.0.1/x\r\n")
                           << QStringLiteral("https://127.0.0.1/x");
    QTest::newRow("a local file is no link")
        << QStringLiteral("text/uri-list") << QByteArray("file:///etc/passwd\r\n") << QString();
    QTest::newRow("plain text") << QStringLiteral("text/plain") << QByteArray("http://127.0.0.1/x") << QString();
}

void NewProjectWizardTest::droppedLinks()
{
    QFETCH(QString, strType);
    QFETCH(QByteArray, data);
    QFETCH(QString, strUrl);
    QMimeData mime;
    mime.setData(strType, data);
    QCOMPARE(CDownloadCommands::DroppedUrl(&mime), strUrl);
}

QTEST_MAIN(NewProjectWizardTest)
#include "NewProjectWizardTest.moc"
