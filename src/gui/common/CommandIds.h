#pragma once

// Command ids of the main frame. The numbers are the program's own and stay fixed: toolbars, menus,
// the tree's context menu and the settings all refer to them.
namespace cmd
{
// Projects and the project file.
constexpr int ID_NEW_PROJECT = 32771;            // new project with the wizard
constexpr int ID_NEW_PROJECT_TREE = 32800;       // the same from the tree's menu
constexpr int ID_NEW_EMPTY_PROJECT = 32803;      // "新建空工程"
constexpr int ID_NEW_EMPTY_PROJECT_TREE = 32781; // "创建新的空工程"
constexpr int ID_OPEN_PROJECT = 32776;
constexpr int ID_SAVE_PROJECT = 32777;
constexpr int ID_SAVE_PROJECT_AS = 32778;
constexpr int ID_ADD_FROM_INTERNET = 32780;
constexpr int ID_ADD_LOCAL_PAGES = 32779;
constexpr int ID_DELETE_NODE = 32782;
constexpr int ID_RENAME_NODE = 32783;
constexpr int ID_MAKE_CHM_TREE = 32784;
constexpr int ID_MAKE_CHM = 32820;
constexpr int ID_MAKE_EPUB_TREE = 32850; // "生成EPUB文件" in the tree's menu
constexpr int ID_MAKE_EPUB = 32851;      // "生成EPUB文件" on the toolbar and the 操作 menu
constexpr int ID_RECORD_START_URL = 32816;
constexpr int ID_RECORD_END_URL = 32817;
constexpr int ID_BROWSE_PREV_PAGE = 32818;
constexpr int ID_BROWSE_NEXT_PAGE = 32819;
constexpr int ID_INSERT_BOOKMARK = 32846;
constexpr int ID_REMOVE_BOOKMARK = 32847;
constexpr int ID_INSERT_BOOKMARK_TREE = 32825;
constexpr int ID_REMOVE_BOOKMARK_TREE = 32826;
constexpr int ID_STOP_DOWNLOAD = 32824;
constexpr int ID_UPDATE_PROJECT_TREE = 32852; // "更新工程" in the tree's menu
constexpr int ID_UPDATE_PROJECT = 32853;      // "更新工程" in the 操作 menu, for the selected project

// Favorites; the favorites themselves are 4992 + their number (favorites::FavoriteCommandId).
constexpr int ID_ADD_TO_FAVORITES = 32827;
constexpr int ID_ORGANIZE_FAVORITES = 32828;
constexpr int ID_IMPORT_FAVORITES = 32830;
constexpr int ID_EXPORT_FAVORITES = 32831;

// Windows and help.
constexpr int ID_VIEW_PROJECT_WINDOW = 32773;
constexpr int ID_VIEW_MESSAGE_WINDOW = 32775;
constexpr int ID_HELP_TOPICS = 32832;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_FILE_MRU_FILE1 = 57616; // "最近文件": the recent files take 57616 … 57619
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;

// The address box's Enter.
constexpr int IDOK = 1;

// Status-bar panes.
constexpr int ID_INDICATOR_DOWNLOAD = 0xF01E;
constexpr int ID_INDICATOR_PAGE = 0xF01D;

// Docking bars.
constexpr int ID_PROJECT_BAR = 130;
constexpr int ID_MESSAGE_BAR = 131;
} // namespace cmd
