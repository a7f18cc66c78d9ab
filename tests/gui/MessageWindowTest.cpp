#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include "app/MessageBar.h"
#include "app/MessageEdit.h"

namespace
{
bool isEnabled(QMenu* menu, int nId)
{
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == nId) {
            return action->isEnabled();
        }
    }
    return false;
}
} // namespace

class MessageWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void appendsLinesAndResetsToTheBanner();
    void appendedLinesArePlainBlackWhateverFontWasChosen();
    void appendingMovesTheCaretButNotTheFocus();
    void logCannotBeTypedIntoButMenuCommandsWork();

private:
    std::unique_ptr<QWidget> m_pWindow;
    CMessageBar* m_pBar = nullptr;
    CMessageEdit* m_pEdit = nullptr;
    QLineEdit* m_pOther = nullptr;
};

void MessageWindowTest::init()
{
    m_pWindow = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(m_pWindow.get());
    m_pOther = new QLineEdit(m_pWindow.get());
    m_pBar = new CMessageBar(m_pWindow.get());
    layout->addWidget(m_pOther);
    layout->addWidget(m_pBar);
    m_pEdit = m_pBar->Edit();
    m_pWindow->resize(500, 400);
    m_pWindow->show();
    m_pWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow.get()));
}

void MessageWindowTest::cleanup()
{
    m_pWindow.reset();
}

void MessageWindowTest::appendsLinesAndResetsToTheBanner()
{
    m_pBar->AppendLine(QStringLiteral("DownLoad file from : http://h/1"));
    m_pBar->AppendLine(QStringLiteral("     http://h/a.gif   ok"));
    QCOMPARE(m_pEdit->toPlainText(), QStringLiteral("DownLoad file from : http://h/1\n     http://h/a.gif   ok\n"));

    m_pBar->ResetLog();
    QCOMPARE(m_pEdit->toPlainText(), QStringLiteral("-----------Start download webpage-----------------\n"));

    m_pEdit->ClearAll();
    QCOMPARE(m_pEdit->toPlainText(), QString());
}

void MessageWindowTest::appendedLinesArePlainBlackWhateverFontWasChosen()
{
    m_pBar->AppendLine(QStringLiteral("first"));
    // The user makes the first line big, bold and red through the font command.
    m_pEdit->SetFontChooser([](QFont& font, QWidget*) {
        font.setPointSize(30);
        font.setBold(true);
        font.setItalic(true);
        font.setUnderline(true);
        font.setStrikeOut(true);
        return true;
    });
    m_pEdit->OnCommand(CMessageEdit::ID_SELECT_ALL);
    m_pEdit->OnCommand(CMessageEdit::ID_SELECT_FONT);
    m_pEdit->mergeCurrentCharFormat([] {
        QTextCharFormat red;
        red.setForeground(Qt::red);
        return red;
    }());
    QVERIFY(m_pEdit->document()->firstBlock().begin().fragment().charFormat().font().bold());

    m_pBar->AppendLine(QStringLiteral("second"));
    const QTextBlock second = m_pEdit->document()->findBlockByNumber(1);
    QCOMPARE(second.text(), QStringLiteral("second"));
    const QTextCharFormat format = second.begin().fragment().charFormat();
    const QFont defaultFont = m_pEdit->document()->defaultFont();
    QCOMPARE(format.foreground().color(), QColor(Qt::black));
    QCOMPARE(format.font().family(), defaultFont.family());
    QCOMPARE(format.font().pointSize(), defaultFont.pointSize());
    QVERIFY(!format.font().bold());
    QVERIFY(!format.font().italic());
    QVERIFY(!format.font().underline());
    QVERIFY(!format.font().strikeOut());
}

void MessageWindowTest::appendingMovesTheCaretButNotTheFocus()
{
    m_pBar->AppendLine(QStringLiteral("one"));
    m_pEdit->setFocus();
    m_pEdit->OnCommand(CMessageEdit::ID_SELECT_ALL);
    QVERIFY(m_pEdit->textCursor().hasSelection());

    m_pOther->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_pOther);
    m_pBar->AppendLine(QStringLiteral("two"));
    QCOMPARE(QApplication::focusWidget(), m_pOther);
    QVERIFY(!m_pEdit->textCursor().hasSelection());
    QCOMPARE(m_pEdit->textCursor().position(), m_pEdit->document()->characterCount() - 1);
}

void MessageWindowTest::logCannotBeTypedIntoButMenuCommandsWork()
{
    m_pBar->AppendLine(QStringLiteral("keep this"));
    m_pEdit->setFocus();
    QTest::keyClicks(m_pEdit, QStringLiteral("typed"));
    QTest::keyClick(m_pEdit, Qt::Key_Backspace);
    QCOMPARE(m_pEdit->toPlainText(), QStringLiteral("keep this\n"));

    // Without a selection: nothing to cut, copy or clear.
    std::unique_ptr<QMenu> menu(m_pEdit->CreateContextMenu(nullptr));
    QVERIFY(!isEnabled(menu.get(), CMessageEdit::ID_CUT));
    QVERIFY(!isEnabled(menu.get(), CMessageEdit::ID_COPY));
    QVERIFY(!isEnabled(menu.get(), CMessageEdit::ID_CLEAR));
    QVERIFY(isEnabled(menu.get(), CMessageEdit::ID_SELECT_ALL));

    m_pEdit->OnCommand(CMessageEdit::ID_SELECT_ALL);
    menu.reset(m_pEdit->CreateContextMenu(nullptr));
    QVERIFY(isEnabled(menu.get(), CMessageEdit::ID_CUT));
    QVERIFY(isEnabled(menu.get(), CMessageEdit::ID_COPY));
    QVERIFY(isEnabled(menu.get(), CMessageEdit::ID_CLEAR));

    m_pEdit->OnCommand(CMessageEdit::ID_COPY);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("keep this\n"));
    m_pEdit->OnCommand(CMessageEdit::ID_CLEAR);
    QCOMPARE(m_pEdit->toPlainText(), QString());
    QVERIFY(m_pEdit->isReadOnly());
    menu.reset(m_pEdit->CreateContextMenu(nullptr));
    QVERIFY(isEnabled(menu.get(), CMessageEdit::ID_UNDO));
    QVERIFY(isEnabled(menu.get(), CMessageEdit::ID_PASTE));

    m_pEdit->OnCommand(CMessageEdit::ID_UNDO);
    QCOMPARE(m_pEdit->toPlainText(), QStringLiteral("keep this\n"));
    m_pEdit->OnCommand(CMessageEdit::ID_PASTE);
    QCOMPARE(m_pEdit->toPlainText(), QStringLiteral("keep this\nkeep this\n"));
    QVERIFY(m_pEdit->isReadOnly());
    QTest::keyClicks(m_pEdit, QStringLiteral("x"));
    QCOMPARE(m_pEdit->toPlainText(), QStringLiteral("keep this\nkeep this\n"));
}

QTEST_MAIN(MessageWindowTest)
#include "MessageWindowTest.moc"
