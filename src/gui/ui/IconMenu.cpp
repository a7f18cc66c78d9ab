#include "IconMenu.h"

#include <algorithm>

#include <QApplication>
#include <QProxyStyle>
#include <QScreen>

namespace
{
// Columns rather than scroll arrows for a menu, whatever the desktop style prefers.
class CColumnMenuStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint,
                  const QStyleOption* option,
                  const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_Menu_Scrollable) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

QString escapeMenuText(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return escaped;
}

QString unescapeMenuText(const QString& text)
{
    QString plain = text;
    plain.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return plain;
}

CIconMenu::CIconMenu(const QString& title, QWidget* parent)
    : QMenu(escapeMenuText(title), parent)
{}

CIconMenu::~CIconMenu() = default;

QAction* CIconMenu::addIconItem(const QIcon& icon, const QString& text)
{
    QAction* action = addAction(icon, escapeMenuText(text));
    action->setIconVisibleInMenu(true);
    return action;
}

CIconMenu* CIconMenu::addIconMenu(const QIcon& icon, const QString& text)
{
    auto* submenu = new CIconMenu(text, this);
    submenu->setIcon(icon);
    QAction* action = addMenu(submenu);
    action->setIconVisibleInMenu(true);
    return submenu;
}

bool BreakLongMenu(QMenu* menu, bool ownerDrawn)
{
    if (menu == nullptr) {
        return false;
    }
    const QFontMetrics metrics(QApplication::font("QMenu"));
    const int textHeight = metrics.boundingRect(QStringLiteral("Texthgp")).height();
    const int itemHeight = ownerDrawn ? std::max(textHeight + 4, 20) : textHeight + 6;
    const qsizetype rows = menu->actions().size() + (ownerDrawn ? 3 : 0);
    const QScreen* screen = menu->screen() != nullptr ? menu->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return false;
    }
    // Room below a frame's caption and menu bar.
    const int titleBar = menu->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, menu);
    const int available = screen->availableGeometry().height() - 2 * titleBar;
    if (rows * itemHeight <= available) {
        return false;
    }
    // A menu that does not scroll starts a new column at the first item that would run past the screen's
    // bottom: the columns of a long menu, each as tall as the screen allows.
    if (menu->style()->styleHint(QStyle::SH_Menu_Scrollable, nullptr, menu) != 0) {
        auto* style = new CColumnMenuStyle;
        style->setParent(menu);
        menu->setStyle(style);
    }
    return true;
}
