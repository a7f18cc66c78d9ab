#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>
#include <QUrl>

#include "TempFolder.h"
#include "app/MainFrame.h"
#include "chm/ChmBuildDlg.h"
#include "chm/WizardCHM1.h"
#include "chm/WizardCHM2.h"
#include "chm/WizardSheetOK.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "project/ProjectBar.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"

// The CHM wizard's presets and refusals, and what the make-CHM command does with its answers.
class ChmWizardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void presetsAndTexts();
    void refusesAnEmptyName();
    void refusesAMissingFolder_data();
    void refusesAMissingFolder();
    void browsePutsTheChosenFolder();
    void bookNameTakesNoSecondExtension_data();
    void bookNameTakesNoSecondExtension();
    void commandUsesTheSelectedPagesProject();
    void projectWithoutPagesIsRefusedAfterTheWizard();
    void cancelShowsNothing();

private:
    struct Message
    {
        QMessageBox::Icon icon;
        QString strCaption;
        QString strText;
    };
    // Walks the wizard: page 1 with strName, page 2 with strFolder, then Finish.
    int finishWizard(CWizardSheetOK& sheet, const QString& strName, const QString& strFolder);
    QTreeWidgetItem* addProject(const QString& strName, int nPages);

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<CMainFrame> m_pFrame;
    CUserPrompts m_prompts;
    QList<Message> m_messages;
    // What the tests's wizard run answers, and the build dialogs that were asked for.
    QString m_strName;
    QString m_strFolder;
    bool m_bCancelWizard = false;
    QStringList m_chmFiles;
    QStringList m_bookNames;
};

void ChmWizardTest::init()
{
    m_pTemp = std::make_unique<TempFolder>();
    m_messages.clear();
    m_chmFiles.clear();
    m_bookNames.clear();
    m_bCancelWizard = false;
    m_pFrame = std::make_unique<CMainFrame>();
    m_prompts = m_pFrame->Prompts();
    m_prompts.messageBox = [this](QWidget*, QMessageBox::Icon icon, const QString& strCaption, const QString& strText,
                                  QMessageBox::StandardButtons) {
        m_messages.append({icon, strCaption, strText});
        return QMessageBox::Ok;
    };
    m_prompts.execDialog = [this](QDialog& dialog) {
        if (auto* sheet = qobject_cast<CWizardSheetOK*>(&dialog)) {
            if (m_bCancelWizard) {
                return int(QDialog::Rejected);
            }
            return finishWizard(*sheet, m_strName, m_strFolder);
        }
        if (auto* build = qobject_cast<CChmBuildDlg*>(&dialog)) {
            m_chmFiles.append(toQ(build->m_params.m_strChmFile));
            m_bookNames.append(toQ(build->m_params.m_strBookName));
        }
        return int(QDialog::Rejected);
    };
    m_pFrame->SetPrompts(m_prompts);
    m_pFrame->resize(900, 600);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
}

void ChmWizardTest::cleanup()
{
    if (m_pFrame) {
        m_pFrame->Document()->SetModifiedFlag(false);
    }
    m_pFrame.reset();
    m_pTemp.reset();
}

int ChmWizardTest::finishWizard(CWizardSheetOK& sheet, const QString& strName, const QString& strFolder)
{
    sheet.show();
    sheet.Page1()->NameEdit()->setText(strName);
    sheet.next();
    if (sheet.currentId() != CWizardSheetOK::PAGE_FOLDER) {
        return QDialog::Rejected;
    }
    sheet.Page2()->FolderEdit()->setText(strFolder);
    sheet.next();
    if (sheet.currentId() != CWizardSheetOK::PAGE_FINISH) {
        return QDialog::Rejected;
    }
    sheet.accept();
    return sheet.result();
}

QTreeWidgetItem* ChmWizardTest::addProject(const QString& strName, int nPages)
{
    CProjectBar* bar = m_pFrame->findChild<CProjectBar*>();
    bar->EnsureRoot();
    QTreeWidgetItem* project = bar->AddProject(strName);
    for (int i = 0; i < nPages; ++i) {
        const QString strFile = toQ(m_pTemp->file("p" + std::to_string(i) + ".htm"));
        bar->AddPage(project, QStringLiteral("页%1").arg(i), strFile, QStringLiteral("http://x/%1").arg(i), false);
    }
    return project;
}

void ChmWizardTest::presetsAndTexts()
{
    qputenv("XDG_DOCUMENTS_DIR", m_pTemp->path().c_str());
    CWizardSheetOK sheet(m_prompts, m_pFrame.get());
    sheet.Page1()->m_strName = QStringLiteral("我的工程");
    sheet.show();
    QCOMPARE(sheet.windowTitle(), QStringLiteral("New CHM Wizard"));
    QCOMPARE(sheet.currentId(), int(CWizardSheetOK::PAGE_NAME));
    QCOMPARE(sheet.Page1()->title(), QStringLiteral("创建CHM文件"));
    QCOMPARE(sheet.Page1()->NameEdit()->text(), QStringLiteral("我的工程"));
    QVERIFY(!sheet.button(QWizard::BackButton)->isVisible());
    sheet.next();
    QCOMPARE(sheet.currentId(), int(CWizardSheetOK::PAGE_FOLDER));
    QCOMPARE(sheet.Page2()->title(), QStringLiteral("设置CHM文件存放位置"));
    QCOMPARE(sheet.Page2()->FolderEdit()->text(), toQ(m_pTemp->path()));
    QCOMPARE(sheet.Page2()->BrowseButton()->text(), QStringLiteral("Browse"));
    sheet.Page2()->FolderEdit()->setText(QStringLiteral("  ") + toQ(m_pTemp->path()) + QStringLiteral("  "));
    sheet.next();
    QCOMPARE(sheet.currentId(), int(CWizardSheetOK::PAGE_FINISH));
    QVERIFY(sheet.button(QWizard::FinishButton)->isVisible());
    // Surrounding blanks go.
    QCOMPARE(sheet.Page2()->m_strSaveFolder, toQ(m_pTemp->path()));
    QVERIFY(m_messages.isEmpty());

    // A documents folder that was never made is no place to offer.
    qputenv("XDG_DOCUMENTS_DIR", m_pTemp->file("missing").c_str());
    sheet.restart();
    sheet.next();
    QCOMPARE(sheet.Page2()->FolderEdit()->text(), QDir::homePath());
    qunsetenv("XDG_DOCUMENTS_DIR");
}

void ChmWizardTest::refusesAnEmptyName()
{
    for (const QString& strName : {QString(), QStringLiteral("   "), QStringLiteral(".chm")}) {
        CWizardSheetOK sheet(m_prompts, m_pFrame.get());
        sheet.show();
        sheet.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        sheet.Page1()->NameEdit()->setText(strName);
        sheet.next();
        QCOMPARE(sheet.currentId(), int(CWizardSheetOK::PAGE_NAME));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.at(0).strText, QStringLiteral("文件名不能为空."));
        QCOMPARE(m_messages.at(0).strCaption, QStringLiteral("New Project Wizard"));
        QCOMPARE(m_messages.at(0).icon, QMessageBox::Warning);
        QTRY_COMPARE(QApplication::focusWidget(), sheet.Page1()->NameEdit());
        m_messages.clear();
    }
}

void ChmWizardTest::refusesAMissingFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QStringLiteral("  ") << QStringLiteral("你必须指定一个存放目录.");
    QTest::newRow("missing") << QStringLiteral("/no/such/folder/here") << QStringLiteral("指定存放目录不存在.");
    QTest::newRow("a file") << QStringLiteral("FILE") << QStringLiteral("指定存放目录不存在.");
}

void ChmWizardTest::refusesAMissingFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, message);
    if (folder == QLatin1String("FILE")) {
        folder = toQ(m_pTemp->file("plain.txt"));
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    CWizardSheetOK sheet(m_prompts, m_pFrame.get());
    sheet.Page1()->m_strName = QStringLiteral("book");
    sheet.show();
    sheet.next();
    sheet.Page2()->FolderEdit()->setText(folder);
    sheet.next();
    QCOMPARE(sheet.currentId(), int(CWizardSheetOK::PAGE_FOLDER));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.at(0).strText, message);
    QCOMPARE(m_messages.at(0).strCaption, QStringLiteral("New Project Wizard"));
}

void ChmWizardTest::browsePutsTheChosenFolder()
{
    QUrl answer = QUrl::fromLocalFile(toQ(m_pTemp->path()));
    QString strTitle;
    m_prompts.chooseFolder = [&](QWidget*, const QString& title) {
        strTitle = title;
        return answer;
    };
    CWizardSheetOK sheet(m_prompts, m_pFrame.get());
    sheet.Page1()->m_strName = QStringLiteral("book");
    sheet.show();
    sheet.next();
    QTest::mouseClick(sheet.Page2()->BrowseButton(), Qt::LeftButton);
    QCOMPARE(strTitle, QStringLiteral("选择存放目录:"));
    QCOMPARE(sheet.Page2()->FolderEdit()->text(), toQ(m_pTemp->path()));
    // Going back to the name and on again keeps the choice.
    sheet.back();
    sheet.next();
    QCOMPARE(sheet.currentId(), int(CWizardSheetOK::PAGE_FOLDER));
    QCOMPARE(sheet.Page2()->FolderEdit()->text(), toQ(m_pTemp->path()));
    // A cancelled choice leaves the text; a place that is no local folder is refused.
    answer.clear();
    QTest::mouseClick(sheet.Page2()->BrowseButton(), Qt::LeftButton);
    answer = QUrl(QStringLiteral("sftp://host/folder"));
    QTest::mouseClick(sheet.Page2()->BrowseButton(), Qt::LeftButton);
    QCOMPARE(sheet.Page2()->FolderEdit()->text(), toQ(m_pTemp->path()));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.at(0).strText, QStringLiteral("Failed to get directory"));
}

void ChmWizardTest::bookNameTakesNoSecondExtension_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << QStringLiteral("book") << QStringLiteral("book.chm");
    QTest::newRow("with .chm") << QStringLiteral("book.chm") << QStringLiteral("book.chm");
    QTest::newRow("upper case") << QStringLiteral("BOOK.CHM") << QStringLiteral("BOOK.chm");
    QTest::newRow("blanks") << QStringLiteral("  书 名  ") << QStringLiteral("书 名.chm");
    QTest::newRow("slash") << QStringLiteral("a/b") << QStringLiteral("a_b.chm");
    QTest::newRow("other dots") << QStringLiteral("v1.2") << QStringLiteral("v1.2.chm");
}

void ChmWizardTest::bookNameTakesNoSecondExtension()
{
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QTreeWidgetItem* project = addProject(QStringLiteral("工程"), 2);
    m_pFrame->findChild<CProjectBar*>()->SelectNode(project, false);
    m_strName = typed;
    m_strFolder = toQ(m_pTemp->path());
    m_pFrame->OnCommand(cmd::ID_MAKE_CHM);
    QCOMPARE(m_chmFiles, QStringList{QDir(m_strFolder).filePath(file)});
    QVERIFY(m_messages.isEmpty());
}

void ChmWizardTest::commandUsesTheSelectedPagesProject()
{
    addProject(QStringLiteral("第一个"), 1);
    QTreeWidgetItem* second = addProject(QStringLiteral("第二个"), 2);
    m_pFrame->findChild<CProjectBar*>()->SelectNode(second->child(1), false);
    m_pFrame->UpdateCommandStates();
    QVERIFY(m_pFrame->Action(cmd::ID_MAKE_CHM)->isEnabled());

    QString strPreset;
    size_t nPages = 0;
    QString strSecondTitle;
    std::string strWorkFolder;
    m_prompts.execDialog = [&](QDialog& dialog) -> int {
        if (auto* sheet = qobject_cast<CWizardSheetOK*>(&dialog)) {
            sheet->show();
            strPreset = sheet->Page1()->NameEdit()->text();
            return finishWizard(*sheet, strPreset, toQ(m_pTemp->path()));
        }
        if (auto* build = qobject_cast<CChmBuildDlg*>(&dialog)) {
            m_bookNames.append(toQ(build->m_params.m_strBookName));
            nPages = build->m_params.m_pageFiles.size();
            strSecondTitle = toQ(build->m_params.m_pageTitles.at(1));
            strWorkFolder = build->m_params.m_strWorkFolder;
        }
        return int(QDialog::Rejected);
    };
    m_pFrame->SetPrompts(m_prompts);
    m_pFrame->OnCommand(cmd::ID_MAKE_CHM_TREE);
    QCOMPARE(strPreset, QStringLiteral("第二个"));
    QCOMPARE(m_bookNames, QStringList{QStringLiteral("第二个")});
    QCOMPARE(nPages, size_t(2));
    QCOMPARE(strSecondTitle, QStringLiteral("页1"));
    // The build worked in a folder of its own, not beside the program, and it is gone.
    QVERIFY(!strWorkFolder.empty());
    QVERIFY(!toQ(strWorkFolder).startsWith(QCoreApplication::applicationDirPath()));
    QVERIFY(!QFileInfo::exists(toQ(strWorkFolder)));

    // Nothing selected: the toolbar's command is greyed.
    m_pFrame->findChild<CProjectBar*>()->Tree()->clearSelection();
    m_pFrame->findChild<CProjectBar*>()->Tree()->setCurrentItem(nullptr);
    m_pFrame->UpdateCommandStates();
    QVERIFY(!m_pFrame->Action(cmd::ID_MAKE_CHM)->isEnabled());
}

void ChmWizardTest::projectWithoutPagesIsRefusedAfterTheWizard()
{
    QTreeWidgetItem* project = addProject(QStringLiteral("空的"), 0);
    m_pFrame->findChild<CProjectBar*>()->SelectNode(project, false);
    m_strName = QStringLiteral("空的");
    m_strFolder = toQ(m_pTemp->path());
    m_pFrame->OnCommand(cmd::ID_MAKE_CHM);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.at(0).strText, QStringLiteral("GetProjectInfo() faild !"));
    QCOMPARE(m_messages.at(0).icon, QMessageBox::NoIcon);
    QVERIFY(m_chmFiles.isEmpty());
}

void ChmWizardTest::cancelShowsNothing()
{
    QTreeWidgetItem* project = addProject(QStringLiteral("工程"), 1);
    m_pFrame->findChild<CProjectBar*>()->SelectNode(project, false);
    m_bCancelWizard = true;
    m_pFrame->OnCommand(cmd::ID_MAKE_CHM);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(m_chmFiles.isEmpty());
}

QTEST_MAIN(ChmWizardTest)
#include "ChmWizardTest.moc"
