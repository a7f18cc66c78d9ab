#pragma once

#include <functional>

#include <QColor>
#include <QTextEdit>

class QMenu;

// The download log: read-only rich text that the program appends lines to. The user can select,
// copy, cut, paste, clear, undo and set a font for the selection through the context menu; typing
// into it is not possible.
class CMessageEdit final : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMessageEdit)

public:
    static constexpr int kControlId = 1001;
    // Context-menu commands.
    static constexpr int ID_UNDO = 101;
    static constexpr int ID_CUT = 102;
    static constexpr int ID_COPY = 103;
    static constexpr int ID_PASTE = 104;
    static constexpr int ID_CLEAR = 105;
    static constexpr int ID_SELECT_ALL = 106;
    static constexpr int ID_SELECT_FONT = 107;

    explicit CMessageEdit(QWidget* parent = nullptr);
    ~CMessageEdit() override;

    // Appends the text and a line break at the end, in the given colour and the control's default
    // face and size. The caret ends at the end; the keyboard focus stays where it was.
    void AppendText(const QString& strText, const QColor& color);
    void ClearAll();

    // The context menu for the present state; each action's data is its command id.
    QMenu* CreateContextMenu(QWidget* parent);
    void OnCommand(int nId);

    // The font chooser of "Select &Font"; tests answer in place of the user. Returns false when cancelled.
    using FontChooser = std::function<bool(QFont& font, QWidget* parent)>;
    void SetFontChooser(FontChooser chooser) { m_fontChooser = std::move(chooser); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void selectFont();

    FontChooser m_fontChooser;
};
