#include "DropDownToolBar.h"

#include <QActionEvent>
#include <QMenu>
#include <QToolButton>

namespace
{
const char* const kCommandIdProperty = "trawlixCommandId";
} // namespace

void setActionCommandId(QAction* action, int commandId)
{
    action->setProperty(kCommandIdProperty, commandId);
}

int actionCommandId(const QAction* action)
{
    return action != nullptr ? action->property(kCommandIdProperty).toInt() : 0;
}

CDropDownToolBar::CDropDownToolBar(const QString& title, QWidget* parent)
    : QToolBar(title, parent)
{}

CDropDownToolBar::~CDropDownToolBar() = default;

QAction* CDropDownToolBar::addCommand(int commandId, const QString& text)
{
    auto* action = new QAction(text, this);
    setActionCommandId(action, commandId);
    addAction(action);
    return action;
}

QAction* CDropDownToolBar::actionForCommand(int commandId) const
{
    const QList<QAction*> all = actions();
    for (QAction* action : all) {
        if (actionCommandId(action) == commandId) {
            return action;
        }
    }
    return nullptr;
}

QIcon CDropDownToolBar::iconFor(int commandId) const
{
    const QIcon normal = m_normal(commandId);
    if (normal.isNull() || (!m_hot && !m_disabled)) {
        return normal;
    }
    // Separate pictures per state: each mode gets its own pixmap at the toolbar's size.
    const QSize size(m_nImageWidth, m_nImageWidth);
    QIcon icon;
    icon.addPixmap(normal.pixmap(size), QIcon::Normal);
    if (m_hot) {
        const QIcon hot = m_hot(commandId);
        icon.addPixmap((hot.isNull() ? normal : hot).pixmap(size), QIcon::Active);
    }
    if (m_disabled) {
        const QIcon disabled = m_disabled(commandId);
        if (!disabled.isNull()) {
            icon.addPixmap(disabled.pixmap(size), QIcon::Disabled);
        }
    }
    return icon;
}

bool CDropDownToolBar::SetImageLists(int imageWidth,
                                     const IconSource& normal,
                                     const IconSource& hot,
                                     const IconSource& disabled)
{
    if (imageWidth <= 0 || !normal) {
        return false;
    }
    const IconSource oldNormal = m_normal;
    const IconSource oldHot = m_hot;
    const IconSource oldDisabled = m_disabled;
    const int oldWidth = m_nImageWidth;
    m_nImageWidth = imageWidth;
    m_normal = normal;
    m_hot = hot;
    m_disabled = disabled;

    // Everything is looked up before anything changes, so a missing picture leaves the toolbar as it was.
    std::vector<std::pair<QAction*, QIcon>> icons;
    const QList<QAction*> all = actions();
    for (QAction* action : all) {
        const int id = actionCommandId(action);
        if (id == 0) {
            continue;
        }
        QIcon icon = iconFor(id);
        if (icon.isNull()) {
            m_nImageWidth = oldWidth;
            m_normal = oldNormal;
            m_hot = oldHot;
            m_disabled = oldDisabled;
            return false;
        }
        icons.emplace_back(action, icon);
    }
    setIconSize(QSize(imageWidth, imageWidth));
    for (auto& [action, icon] : icons) {
        action->setIcon(icon);
    }
    return true;
}

bool CDropDownToolBar::AddDropDown(int commandId, QMenu* menu)
{
    QAction* action = actionForCommand(commandId);
    if (action == nullptr || menu == nullptr) {
        return false;
    }
    m_dropDowns.push_back({commandId, menu});
    applyDropDown(action, menu);
    return true;
}

QMenu* CDropDownToolBar::dropDownMenu(int commandId) const
{
    for (const DropDown& entry : m_dropDowns) {
        if (entry.commandId == commandId) {
            return entry.menu;
        }
    }
    return nullptr;
}

void CDropDownToolBar::applyDropDown(QAction* action, QMenu* menu)
{
    auto* button = qobject_cast<QToolButton*>(widgetForAction(action));
    if (button == nullptr) {
        return;
    }
    // The button itself still runs its command; its arrow opens the menu below it.
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
}

void CDropDownToolBar::actionEvent(QActionEvent* event)
{
    QToolBar::actionEvent(event);
    if (event->type() != QEvent::ActionAdded) {
        return;
    }
    QAction* action = event->action();
    const int id = actionCommandId(action);
    if (id == 0) {
        return;
    }
    if (m_normal && action->icon().isNull()) {
        const QIcon icon = iconFor(id);
        if (!icon.isNull()) {
            action->setIcon(icon);
        }
    }
    if (QMenu* menu = dropDownMenu(id)) {
        applyDropDown(action, menu);
    }
}
