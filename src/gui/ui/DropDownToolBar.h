#pragma once

#include <functional>
#include <vector>

#include <QIcon>
#include <QPointer>
#include <QToolBar>

class QMenu;

// Toolbar buttons are actions tagged with the command id they stand for.
void setActionCommandId(QAction* action, int commandId);
// 0 for an action without a command id.
int actionCommandId(const QAction* action);

// A toolbar whose buttons take their pictures from icon sets by command id, and whose buttons can carry
// a drop-down arrow that opens a menu.
class CDropDownToolBar : public QToolBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDropDownToolBar)

public:
    using IconSource = std::function<QIcon(int commandId)>;

    explicit CDropDownToolBar(const QString& title, QWidget* parent = nullptr);
    ~CDropDownToolBar() override;

    // Adds a button for the command (an action tagged with its id) and returns it.
    QAction* addCommand(int commandId, const QString& text = {});
    QAction* actionForCommand(int commandId) const;

    // Gives every button, present and future, its picture in three states: normal, under the mouse and
    // disabled. Without a hot or disabled set the normal picture serves, greyed when disabled. Fails,
    // changing nothing, when the normal set has no picture for a button.
    bool SetImageLists(int imageWidth,
                       const IconSource& normal,
                       const IconSource& hot = {},
                       const IconSource& disabled = {});

    // Makes the command's button drop down the menu. The menu's actions go wherever the caller connected
    // them. Fails when the toolbar has no such command.
    bool AddDropDown(int commandId, QMenu* menu);
    QMenu* dropDownMenu(int commandId) const;

protected:
    void actionEvent(QActionEvent* event) override;

private:
    struct DropDown
    {
        int commandId;
        QPointer<QMenu> menu;
    };

    QIcon iconFor(int commandId) const;
    void applyDropDown(QAction* action, QMenu* menu);

    int m_nImageWidth = 0;
    IconSource m_normal;
    IconSource m_hot;
    IconSource m_disabled;
    std::vector<DropDown> m_dropDowns;
};
