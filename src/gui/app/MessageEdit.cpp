#include "app/MessageEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDialog>
#include <QMenu>
#include <QMimeData>
#include <QTextCursor>

CMessageEdit::CMessageEdit(QWidget* parent)
    : QTextEdit(parent)
    , m_fontChooser([](QFont& font, QWidget* owner) {
        bool bOk = false;
        const QFont chosen = QFontDialog::getFont(&bOk, font, owner);
        if (bOk) {
            font = chosen;
        }
        return bOk;
    })
{
    setObjectName(QStringLiteral("messageEdit"));
    setReadOnly(true);
    setUndoRedoEnabled(true);
    setLineWrapMode(QTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShadow(QFrame::Sunken);
    // Read-only hides the caret and selection handling from the keyboard; keep selecting and copying.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

CMessageEdit::~CMessageEdit() = default;

void CMessageEdit::AppendText(const QString& strText, const QColor& color)
{
    QWidget* focus = QApplication::focusWidget();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // Each line is written in the document's default face and size, plain, in the given colour,
    // whatever font the user chose for earlier text.
    QTextCharFormat format;
    format.setFont(document()->defaultFont());
    format.setForeground(color);
    cursor.insertText(strText + QLatin1Char('\n'), format);
    setTextCursor(cursor);
    ensureCursorVisible();
    if (focus && focus != QApplication::focusWidget()) {
        focus->setFocus();
    }
}

void CMessageEdit::ClearAll()
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

QMenu* CMessageEdit::CreateContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("messageEditMenu"));
    const bool bSelection = textCursor().hasSelection();
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    const bool bCanPaste = clip && canInsertFromMimeData(clip);
    const auto add = [menu](int nId, const QString& text, bool bEnabled) {
        QAction* action = menu->addAction(text);
        action->setData(nId);
        action->setEnabled(bEnabled);
    };
    add(ID_UNDO, QStringLiteral("&Undo"), document()->isUndoAvailable());
    menu->addSeparator();
    add(ID_CUT, QStringLiteral("&Cut"), bSelection);
    add(ID_COPY, QStringLiteral("C&opy"), bSelection);
    add(ID_PASTE, QStringLiteral("&Paste"), bCanPaste);
    add(ID_CLEAR, QStringLiteral("C&lear"), bSelection);
    menu->addSeparator();
    add(ID_SELECT_ALL, QStringLiteral("Select &All"), true);
    menu->addSeparator();
    add(ID_SELECT_FONT, QStringLiteral("Select &Font"), true);
    return menu;
}

void CMessageEdit::contextMenuEvent(QContextMenuEvent* event)
{
    setFocus(Qt::PopupFocusReason);
    QMenu* menu = CreateContextMenu(this);
    QAction* chosen = menu->exec(event->globalPos());
    const int nId = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (nId != 0) {
        OnCommand(nId);
    }
}

void CMessageEdit::OnCommand(int nId)
{
    // The user may change the log only through these commands: lift read-only for one operation.
    const auto editing = [this](auto operation) {
        setReadOnly(false);
        operation();
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    };
    switch (nId) {
    case ID_UNDO:
        editing([this] { undo(); });
        break;
    case ID_CUT:
        editing([this] { cut(); });
        break;
    case ID_COPY:
        copy();
        break;
    case ID_PASTE:
        editing([this] { paste(); });
        break;
    case ID_CLEAR:
        editing([this] { textCursor().removeSelectedText(); });
        break;
    case ID_SELECT_ALL:
        selectAll();
        break;
    case ID_SELECT_FONT:
        selectFont();
        break;
    default:
        break;
    }
}

void CMessageEdit::selectFont()
{
    QTextCursor cursor = textCursor();
    QFont font = cursor.hasSelection() ? cursor.charFormat().font() : document()->defaultFont();
    if (!m_fontChooser(font, this)) {
        return;
    }
    if (!cursor.hasSelection()) {
        // No selection: the word at the caret, or the text typed next at the caret.
        cursor.select(QTextCursor::WordUnderCursor);
    }
    QTextCharFormat format;
    format.setFont(font);
    if (cursor.hasSelection()) {
        cursor.mergeCharFormat(format);
    } else {
        QTextCursor caret = textCursor();
        caret.mergeCharFormat(format);
        setTextCursor(caret);
    }
}
