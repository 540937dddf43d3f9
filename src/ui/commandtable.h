#pragma once

#include <QList>
#include <QString>

// The menus, the toolbar and the prompt strings as data, so that their texts can be checked
// without building a window.

struct MenuItemDef
{
    const char *text; // nullptr for a separator
    int id;
};

struct PopupDef
{
    const char *title;
    QList<MenuItemDef> items;
};

// Menu 128 (no editor window) and menu 129 (an editor window is active).
const QList<PopupDef> &MainMenu128();
const QList<PopupDef> &EditorMenu129();
// The editor's context menu (menu 133).
const QList<MenuItemDef> &EditorContextMenu133();

struct ToolButtonDef
{
    int id; // 0 for the separator
    const char *image;
};
// Toolbar 128, left to right.
const QList<ToolButtonDef> &Toolbar128();

// The whole prompt string of a command: status text, then "\n" and the tooltip when it has one.
QString CommandPrompt(int id);
QString CommandStatusText(int id);
QString CommandToolTip(int id);

inline constexpr auto kHelpMenuTitle = "&Help";
inline constexpr auto kTipMenuText = "Ti&p of the Day...";
inline constexpr auto kIdleStatusText = "For Help, press F1";
