#pragma once
// The main window's commands as data: each command's id, its object name, its menu item text with the
// accelerator's "&", its status-bar prompt and its toolbar tooltip; and the menus and toolbars of the three
// menu states as lists of commands. The window builds its actions, menus and toolbar from these alone.

#include "shell/Session.h"

#include <string>
#include <vector>

namespace tarvel {

enum class CommandId {
    ChooseDatabase = 32817, // "Výber databázy" of the logged-out menu
    ChangeDatabase = 32815, // the same action in the full menu
    NewDatabase = 32814,
    Login = 32772,
    Logout = 32777,
    AssignAll = 32805,
    StartReceiving = 32796,
    StopReceiving = 32797,
    AddStudent = 32780,
    EditStudent = 32782,
    Evaluation = 32784,
    AddTeacher = 32786,
    EditTeacher = 32788,
    AddTaskType = 32789,
    EditTaskType = 32790,
    AddVariant = 32798,
    EditVariant = 32799,
    MailSettings = 32791,
    PathSettings = 32802,
    About = 57664,
    Exit = 57665,
};

// Texts in Windows-1250; an empty tooltip and icon mean the command has no toolbar button.
struct Command {
    CommandId id;
    std::string objectName; // "actionLogin"
    std::string item;       // "Vstup &do systému"
    std::string prompt;     // shown in the status bar while the pointer rests on it
    std::string tooltip;
    std::string icon; // the toolbar picture's name, "" for a command without a button
};

// Every command, in the order of the table.
const std::vector<Command>& Commands();
const Command& CommandOf(CommandId id);

// One entry of a menu: a command, a separator, or a popup with its title and entries.
struct MenuEntry {
    enum class Kind { Command, Separator, Popup };
    Kind kind = Kind::Command;
    CommandId command{};
    std::string title; // a popup's, in Windows-1250
    std::vector<MenuEntry> entries;
};

// The menu bar's popups of a state.
std::vector<MenuEntry> MenuBarOf(MenuState state);

// A toolbar entry: a command's button, or a separator.
struct ToolbarEntry {
    bool separator = false;
    CommandId command{};
};
std::vector<ToolbarEntry> ToolbarOf(MenuState state);

} // namespace tarvel
