#pragma once
// The menu bar as data: popups, entries with their command ids and initial check marks,
// separators and section headings (disabled entries).

#include <QMenuBar>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct MenuEntry {
    enum Kind { Command, Separator, Heading, Popup } kind = Command;
    std::string text;
    int id = 0;
    bool checked = false;
    std::vector<MenuEntry> children;  // Popup
    bool checkable = false;           // a choice or a switch (plain commands carry no mark)
    int group = 0;                    // choices of one menu sharing a group: one radio mark
    // Where the entries of a popup that holds tools stand among the tool rows placed in it
    // (entries sort by rank); a popup's tool key names the rows it takes ("" the Tools menu,
    // else the popup's text without "&"), or is empty when it takes none.
    int rank = 0;
    std::optional<std::string> toolKey;
};

// The radio groups of the menus.
enum MenuGroup : int {
    kNoGroup = 0,
    kDownloadModeGroup,
    kDownloadTargetGroup,
    kParseBehaviourGroup,
    kFileTypeGroup,
    kViewKindGroup,
    kTraceGroup,
    kCouplingGroup,
    kFftSizeGroup,
    kWindowGroup,
    kShapeGroup,
};

// The whole menu bar of the main window; the Tools menu holds every tool row (tools/tool.h) at
// its place.
const std::vector<MenuEntry>& MainMenuLayout();

// Fills bar from layout; every command entry calls onCommand(id) and is recorded in actions
// (choices and switches checkable, with their initial marks; the choices of a group show radio
// marks). Each popup's object name is its text without "&" and "\u2026". Accelerators Ctrl+N/O/S
// are set on their entries.
void BuildMenus(QMenuBar* bar, const std::vector<MenuEntry>& layout,
                const std::function<void(int)>& onCommand, std::map<int, QAction*>& actions);
