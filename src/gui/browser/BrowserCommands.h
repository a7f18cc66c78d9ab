#pragma once

#include <QString>

// Command ids of the browser view. The frame routes these to CTrawlixView::OnCommand and asks
// CTrawlixView::UpdateCommand for their enable and check states in its idle update.
namespace browsercmd
{
constexpr int ID_BACK = 32814;               // "前页"
constexpr int ID_FORWARD = 32815;            // "后页"
constexpr int ID_STOP = 32840;               // "停止"
constexpr int ID_REFRESH = 32841;            // "刷新"
constexpr int ID_NEW_BLANK_PAGE = 32821;     // "新建空白页"
constexpr int ID_TEXT_LARGEST = 32833;       // "最大"
constexpr int ID_TEXT_LARGER = 32834;        // "较大"
constexpr int ID_TEXT_MEDIUM = 32835;        // "中等"
constexpr int ID_TEXT_SMALLER = 32836;       // "较小"
constexpr int ID_TEXT_SMALLEST = 32837;      // "最小"
constexpr int ID_TAB_CLOSE = 32822;          // tab menu "关闭"
constexpr int ID_TAB_SAVE_AS = 32823;        // tab menu "另存为.."
constexpr int ID_FILE_PRINT = 57607;         // "打印(&P)...\tCtrl+P"
constexpr int ID_FILE_PRINT_PREVIEW = 57609; // "打印预览(&V)"
constexpr int ID_FILE_PRINT_SETUP = 57606;   // "打印设置(&R)..."

// Operations the tab strip runs on its current browser.
enum BrowserCommand
{
    BC_STOP = 0,
    BC_REFRESH = 1,
    BC_BACK = 2,
    BC_FORWARD = 3,
    BC_NAVIGATE_SELECTED = 4,
    BC_NAVIGATE_NEW = 5,
};

// Text-size levels: the check mark sits on level 0 (largest) .. 4 (smallest); 2 at start.
constexpr int TEXT_SIZE_LEVELS = 5;
constexpr int TEXT_SIZE_START_LEVEL = 2;

// Menu text of a browser command id; empty for ids that are not the browser's.
QString MenuText(int nId);
// Status-bar prompt and tool tip ("prompt\ntip") of a browser command id; empty when it has none.
QString PromptText(int nId);
} // namespace browsercmd
