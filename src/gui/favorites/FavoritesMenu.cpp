#include "favorites/FavoritesMenu.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QUrl>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "favorites/AddFavoriteDlg.h"
#include "favorites/BookmarkFile.h"
#include "favorites/FavoriteFiles.h"
#include "favorites/MenuItemData.h"
#include "favorites/MenuOrder.h"
#include "favorites/OrderRecordStore.h"
#include "favorites/OrganizeFavoritesDlg.h"
#include "platform/Files.h"
#include "ui/IconMenu.h"

namespace
{
const char* const kRecordProperty = "favoriteRecord";
// Bookmark files are small; a larger file is read only this far.
constexpr size_t kMaxBookmarkFile = 64 * 1024 * 1024;

QString withSlash(const QString& strFolder)
{
    return strFolder.endsWith(QLatin1Char('/')) ? strFolder : strFolder + QLatin1Char('/');
}

QString bookmarkFilter()
{
    return QStringLiteral("HTML 文件 (*.htm *.html);;所有文件 (*)");
}

QAction* findCommand(const QMenu* pMenu, int nId)
{
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->menu() != nullptr) {
            if (QAction* pFound = findCommand(pAction->menu(), nId)) {
                return pFound;
            }
        } else if (pAction->data().toInt() == nId && pAction->data().isValid()) {
            return pAction;
        }
    }
    return nullptr;
}
} // namespace

QIcon favoriteIcon(int nImage)
{
    switch (nImage) {
    case 0:
        return QIcon(QStringLiteral(":/icons/favorites-folder.svg"));
    case 1:
        return QIcon(QStringLiteral(":/icons/favorites-item.svg"));
    default:
        return {};
    }
}

CFavoritesMenu::CFavoritesMenu(QMenu* pMenu, QString strFolder, CUserPrompts& prompts, QWidget* pWindow)
    : QObject(pMenu)
    , m_pMenu(pMenu)
    , m_strFolder(std::move(strFolder))
    , m_prompts(prompts)
    , m_pWindow(pWindow)
{}

CFavoritesMenu::~CFavoritesMenu() = default;

void CFavoritesMenu::message(const QString& strText)
{
    m_prompts.messageBox(m_pWindow, QMessageBox::NoIcon, QStringLiteral("收藏夹"), strText, QMessageBox::Ok);
}

CMenuItemData* CFavoritesMenu::newRecord()
{
    m_favItems.push_back(std::make_unique<CMenuItemData>());
    return m_favItems.back().get();
}

void CFavoritesMenu::freeRecord(CMenuItemData* pRecord)
{
    std::erase_if(m_favItems, [pRecord](const std::unique_ptr<CMenuItemData>& p) { return p.get() == pRecord; });
}

CMenuItemData* CFavoritesMenu::RecordOf(const QAction* pAction) const
{
    if (pAction == nullptr) {
        return nullptr;
    }
    const auto* pRecord = reinterpret_cast<CMenuItemData*>(pAction->property(kRecordProperty).value<quintptr>());
    // Only records still held count: an item of an old menu may outlive its record.
    for (const auto& p : m_favItems) {
        if (p.get() == pRecord) {
            return p.get();
        }
    }
    return nullptr;
}

bool CFavoritesMenu::GetFavoritesFolder(QString& strPath)
{
    strPath = m_strFolder;
    if (!QDir().mkpath(m_strFolder)) {
        message(QStringLiteral("Can't get path of favorite."));
        return false;
    }
    return true;
}

void CFavoritesMenu::BuildFavoritesMenu()
{
    const QList<QAction*> actions = m_pMenu->actions();
    for (qsizetype i = actions.size() - 1; i >= kFixedItems; --i) {
        QAction* pAction = actions.at(i);
        m_pMenu->removeAction(pAction);
        if (QMenu* pSubmenu = pAction->menu()) {
            pSubmenu->deleteLater();
        } else {
            pAction->deleteLater();
        }
    }
    m_favItems.clear();
    m_nNextFavId = 0;
    QString strRoot;
    if (!GetFavoritesFolder(strRoot)) {
        return;
    }
    m_nNextFavId = FillFavoritesMenu(strRoot, 0, m_pMenu);
}

int CFavoritesMenu::FillFavoritesMenu(const QString& strFolder, int nFirst, QMenu* pMenu)
{
    const QString strDir = withSlash(strFolder);
    favorites::FolderListing listing;
    const int nNext = favorites::ListFavoritesFolder(fromQ(strDir), nFirst, listing);

    const QByteArray record =
        COrderRecordStore::Read(toQ(favorites::RelativeFavoritesPath(fromQ(m_strFolder), fromQ(strDir))));
    CMenuOrder order;
    const bool bOrdered =
        !record.isEmpty() && order.ReadOrder(reinterpret_cast<const std::uint8_t*>(record.constData()),
                                             static_cast<std::size_t>(record.size())) != 0;
    const std::vector<favorites::MenuEntry> entries = favorites::OrderFavorites(listing, bOrdered ? &order : nullptr);
    for (const favorites::MenuEntry& entry : entries) {
        if (entry.bFolder) {
            AddFavoriteFolder(toQ(entry.strName), strDir, pMenu);
        } else {
            AddFavoriteItem(toQ(entry.strName), strDir, pMenu, entry.nNumber);
        }
    }
    if (entries.empty() && pMenu != m_pMenu) {
        pMenu->addAction(QStringLiteral("(空)"))->setEnabled(false);
    }
    BreakLongMenu(pMenu, true);
    return nNext;
}

void CFavoritesMenu::AddFavoriteItem(const QString& strFile, const QString& strDir, QMenu* pMenu, int nNumber)
{
    CMenuItemData* pRecord = newRecord();
    pRecord->m_nImage = 1;
    const std::string strPath = fromQ(strDir + strFile);
    pRecord->m_kind = favorites::KindOfFileName(fromQ(strFile));
    if (pRecord->m_kind == favorites::FileKind::InternetShortcut) {
        pRecord->m_strTarget = toQ(favorites::ReadInternetShortcut(strPath));
    } else {
        pRecord->m_strTarget = toQ(strPath);
    }
    pRecord->m_strText = toQ(favorites::FavoriteMenuText(fromQ(strFile), false));

    const int nId = favorites::FavoriteCommandId(nNumber);
    QAction* pAction = pMenu->addAction(favoriteIcon(1), escapeMenuText(pRecord->m_strText));
    pAction->setIconVisibleInMenu(true);
    pAction->setObjectName(QStringLiteral("favorite%1").arg(nNumber));
    pAction->setData(nId);
    pAction->setProperty(kRecordProperty, QVariant::fromValue(reinterpret_cast<quintptr>(pRecord)));
    if (pRecord->m_kind == favorites::FileKind::InternetShortcut) {
        pAction->setStatusTip(pRecord->m_strTarget);
    }
    connect(pAction, &QAction::triggered, this, [this, nId] { OpenFavorite(nId); });
}

void CFavoritesMenu::AddFavoriteFolder(const QString& strName, const QString& strDir, QMenu* pParent)
{
    if (strName.isEmpty()) {
        return;
    }
    CMenuItemData* pFolder = newRecord();
    pFolder->m_nImage = 0;
    pFolder->m_strText = toQ(favorites::FavoriteMenuText(fromQ(strName), true));
    auto* pSubmenu = new CIconMenu(pFolder->m_strText, pParent);
    pSubmenu->setObjectName(QStringLiteral("favoritesFolder"));

    CMenuItemData* pPlaceholder = newRecord();
    pPlaceholder->m_bLoaded = false;
    pPlaceholder->m_strText = strDir + strName + QLatin1Char('/');
    QAction* pWaiting = pSubmenu->addAction(QString());
    pWaiting->setEnabled(false);
    pWaiting->setProperty(kRecordProperty, QVariant::fromValue(reinterpret_cast<quintptr>(pPlaceholder)));

    QAction* pItem = pParent->addMenu(pSubmenu);
    pItem->setIcon(favoriteIcon(0));
    pItem->setIconVisibleInMenu(true);
    pItem->setProperty(kRecordProperty, QVariant::fromValue(reinterpret_cast<quintptr>(pFolder)));
    connect(pSubmenu, &QMenu::aboutToShow, this, [this, pSubmenu] { onAboutToShow(pSubmenu); });
}

void CFavoritesMenu::onAboutToShow(QMenu* pMenu)
{
    const QList<QAction*> actions = pMenu->actions();
    CMenuItemData* pRecord = actions.isEmpty() ? nullptr : RecordOf(actions.constFirst());
    if (pRecord == nullptr || pRecord->m_bLoaded || pRecord->m_strText.isEmpty()) {
        return;
    }
    const QString strFolder = pRecord->m_strText;
    QAction* pWaiting = actions.constFirst();
    pMenu->removeAction(pWaiting);
    pWaiting->deleteLater();
    freeRecord(pRecord);
    m_nNextFavId = FillFavoritesMenu(strFolder, m_nNextFavId, pMenu);
}

void CFavoritesMenu::OpenFavorite(int nId)
{
    if (!favorites::IsFavoriteCommand(nId)) {
        return;
    }
    const CMenuItemData* pRecord = RecordOf(findCommand(m_pMenu, nId));
    if (pRecord == nullptr) {
        return;
    }
    if (pRecord->m_strTarget.isEmpty()) {
        message(QStringLiteral("收藏“%1”里没有网址。").arg(pRecord->m_strText));
        return;
    }
    m_strFavTarget = pRecord->m_strTarget;
    if (pRecord->m_kind != favorites::FileKind::DesktopEntry) {
        emit navigateRequested(m_strFavTarget);
        return;
    }
    const favorites::DesktopEntry entry = favorites::ReadDesktopEntry(fromQ(m_strFavTarget));
    if (entry.kind == favorites::DesktopEntry::Kind::Link) {
        if (QDesktopServices::openUrl(QUrl::fromUserInput(toQ(entry.strTarget)))) {
            return;
        }
    } else if (entry.kind == favorites::DesktopEntry::Kind::Application) {
        const std::vector<std::string> args = favorites::SplitDesktopExec(entry.strTarget);
        if (!args.empty()) {
            QStringList arguments;
            for (std::size_t i = 1; i < args.size(); ++i) {
                arguments.append(toQ(args[i]));
            }
            if (QProcess::startDetached(toQ(args.front()), arguments)) {
                return;
            }
        }
    }
    // A desktop entry that cannot be read or started shows an empty page, as before.
    m_strFavTarget = QStringLiteral("about:blank");
    emit navigateRequested(m_strFavTarget);
}

void CFavoritesMenu::AddFavorite(const QString& strAddress, const QString& strTitle)
{
    QString strRoot;
    if (!GetFavoritesFolder(strRoot)) {
        return;
    }
    CAddFavoriteDlg dialog(strRoot, strTitle.trimmed().isEmpty() ? strAddress : strTitle.trimmed(), m_prompts,
                           m_pWindow);
    if (m_prompts.execDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const QString strName = toQ(favorites::SafeFavoriteName(fromQ(dialog.m_strName), "无标题"));
    const QString strPath = withSlash(dialog.m_strFolder) + strName + QStringLiteral(".url");
    if (QFileInfo::exists(strPath) &&
        m_prompts.messageBox(m_pWindow, QMessageBox::Question, QStringLiteral("添加到收藏夹"),
                             QStringLiteral("收藏夹中已有“%1”。要替换它吗?").arg(strName),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    // A page shown from disk is reported by its path; the shortcut holds it as an address, as other
    // browsers expect.
    const QString strUrl =
        strAddress.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(strAddress).toString() : strAddress;
    std::string why;
    if (!favorites::WriteInternetShortcut(fromQ(strPath), fromQ(strUrl), &why)) {
        message(QStringLiteral("无法添加到收藏夹:\n%1\n(%2)").arg(strPath, toQ(why)));
        return;
    }
    BuildFavoritesMenu();
}

void CFavoritesMenu::OrganizeFavorites()
{
    QString strRoot;
    if (GetFavoritesFolder(strRoot)) {
        COrganizeFavoritesDlg dialog(strRoot, m_prompts, m_pWindow);
        m_prompts.execDialog(dialog);
    }
    BuildFavoritesMenu();
}

void CFavoritesMenu::ImportFavorites()
{
    const QString strFile =
        m_prompts.openFileName(m_pWindow, QStringLiteral("导入收藏夹"), bookmarkFilter(), QStringLiteral("htm"));
    QString strRoot;
    if (strFile.isEmpty() || !GetFavoritesFolder(strRoot)) {
        return;
    }
    std::string text;
    std::string why;
    if (!files::ReadFile(fromQ(strFile), text, &why, kMaxBookmarkFile)) {
        message(QStringLiteral("无法读取文件“%1”。\n(%2)").arg(strFile, toQ(why)));
        return;
    }
    const favorites::BookmarkNode tree = favorites::ParseBookmarkFile(text);
    if (favorites::CountBookmarks(tree) == 0) {
        message(QStringLiteral("文件“%1”中没有收藏。").arg(strFile));
        return;
    }
    const favorites::ImportResult result = favorites::ImportBookmarks(tree, fromQ(strRoot));
    QString strText =
        QStringLiteral("导入了 %1 个收藏，跳过了 %2 个已有的收藏。").arg(result.nImported).arg(result.nSkipped);
    if (result.nFailed > 0) {
        strText += QStringLiteral("\n有 %1 个收藏无法写入收藏夹。").arg(result.nFailed);
    }
    message(strText);
    BuildFavoritesMenu();
}

void CFavoritesMenu::ExportFavorites()
{
    QString strRoot;
    if (!GetFavoritesFolder(strRoot)) {
        return;
    }
    const QString strFile =
        m_prompts.saveFileName(m_pWindow, QStringLiteral("导出收藏夹"), bookmarkFilter(), QStringLiteral("htm"));
    if (strFile.isEmpty()) {
        return;
    }
    const favorites::BookmarkNode tree = favorites::CollectFavorites(
        fromQ(strRoot), [](const std::string& strRel) { return COrderRecordStore::Read(toQ(strRel)).toStdString(); });
    std::string why;
    if (!files::WriteFile(fromQ(strFile), favorites::WriteBookmarkFile(tree), &why)) {
        message(QStringLiteral("无法写入文件“%1”。\n(%2)").arg(strFile, toQ(why)));
        return;
    }
    message(QStringLiteral("导出了 %1 个收藏到“%2”。").arg(favorites::CountBookmarks(tree)).arg(strFile));
}
