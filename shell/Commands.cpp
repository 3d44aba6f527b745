#include "shell/Commands.h"

#include "platform/Cp1250.h"

#include <algorithm>

namespace tarvel {
namespace {

Command Make(CommandId id, const char* objectName, const char* item, const char* prompt, const char* tooltip,
             const char* icon = "") {
    return {id, objectName, Cp1250Text(item), Cp1250Text(prompt), Cp1250Text(tooltip), icon};
}

MenuEntry Item(CommandId id) {
    return {MenuEntry::Kind::Command, id, {}, {}};
}

MenuEntry Separator() {
    return {MenuEntry::Kind::Separator, {}, {}, {}};
}

MenuEntry Popup(const char* title, std::vector<MenuEntry> entries) {
    return {MenuEntry::Kind::Popup, {}, Cp1250Text(title), std::move(entries)};
}

ToolbarEntry Button(CommandId id) {
    return {false, id};
}

const ToolbarEntry kGap{true, {}};

} // namespace

const std::vector<Command>& Commands() {
    using enum CommandId;
    static const std::vector<Command> table = {
        Make(ChooseDatabase, "actionChooseDatabase", "Výber databázy", "Výber aktuálnej databázy",
             "Výber databázy", "database"),
        Make(ChangeDatabase, "actionChangeDatabase", "Výber databázy", "Zmena aktuálnej databázy",
             "Výber databázy", "database"),
        Make(NewDatabase, "actionNewDatabase", "Nová databáza", "Vytvorenie novej prazdnej databazy", ""),
        Make(Login, "actionLogin", "Vstup &do systému", "Prihlásenie učiteľa do systému ZOR...", "Login",
             "login"),
        Make(Logout, "actionLogout", "Výstup &zo systému", "Odhlásenie učiteľa zo systému", "Logout",
             "logout"),
        Make(AssignAll, "actionAssignAll", "&Pridelenie zadaní", "Náhodné pridelenie zadaní študentom", ""),
        Make(StartReceiving, "actionStartReceiving", "Št&art preberania", "Spustenie preberania zadaní",
             "Preberanie - ŠTART", "start"),
        Make(StopReceiving, "actionStopReceiving", "St&op preberania", "Zastavenie preberania zadaní",
             "Preberanie - STOP", "stop"),
        Make(AddStudent, "actionAddStudent", "&Pridanie", "Pridanie nového študenta", "Nový študent"),
        Make(EditStudent, "actionEditStudent", "&Editovanie", "Editovanie údajov študenta", "Zmena študenta"),
        Make(Evaluation, "actionEvaluation", "&Hodnotenie", "Hodnotenie práce študenta", "Hodnotenie",
             "evaluation"),
        Make(AddTeacher, "actionAddTeacher", "&Pridanie", "Pridanie nového učiteľa", "Nový učiteľ"),
        Make(EditTeacher, "actionEditTeacher", "&Editovanie", "Editovanie údajov učiteľa", "Zmena učiteľa"),
        Make(AddTaskType, "actionAddTaskType", "&Pridanie", "Pridanie nového typu zadania", "Nový typ"),
        Make(EditTaskType, "actionEditTaskType", "&Editovanie", "Editovanie typu zadania", "Zmena typu"),
        Make(AddVariant, "actionAddVariant", "&Pridanie", "Pridanie nového variantu zadania", "Nový variant"),
        Make(EditVariant, "actionEditVariant", "&Editovanie", "Editovanie variantu zadania",
             "Zmena variantu"),
        Make(MailSettings, "actionMailSettings", "&Poštový server", "Konfiguračné parametre poštového servra",
             "Nastavenie poštového servra", "mail"),
        Make(PathSettings, "actionPathSettings", "&Nastavenie ciest",
             "Cesta ku kompilátoru jazyka C, k textovému editoru a www prehliadaču", "Nastavenie ciest",
             "paths"),
        Make(About, "actionAbout", "&O programe...", "Informácie o programe", "O programe", "info"),
        Make(Exit, "actionExit", "&Koniec", "Ukončenie aplikácie", "Koniec", "exit"),
    };
    return table;
}

const Command& CommandOf(CommandId id) {
    const auto& table = Commands();
    return *std::find_if(table.begin(), table.end(),
                         [id](const Command& command) { return command.id == id; });
}

std::vector<MenuEntry> MenuBarOf(MenuState state) {
    using enum CommandId;
    const MenuEntry help = Popup("&Pomoc", {Item(About)});
    switch (state) {
    case MenuState::LoggedOut:
        return {Popup("&ZOR", {Item(ChooseDatabase), Item(Login), Separator(), Item(Exit)}), help};
    case MenuState::LoggedIn:
        return {Popup("&ZOR", {Item(NewDatabase), Item(ChangeDatabase), Separator(), Item(AssignAll),
                               Item(StartReceiving), Separator(), Item(Logout), Item(Exit)}),
                Popup("Š&tudenti", {Item(AddStudent), Item(EditStudent), Separator(), Item(Evaluation)}),
                Popup("&Učitelia", {Item(AddTeacher), Item(EditTeacher)}),
                Popup("&Typ zadania", {Item(AddTaskType), Item(EditTaskType), Separator(),
                                       Popup("&Varianty", {Item(AddVariant), Item(EditVariant)})}),
                Popup("&Konfigurácia", {Item(MailSettings), Item(PathSettings)}),
                help};
    case MenuState::Receiving:
        return {Popup("&ZOR", {Item(StopReceiving), Separator(), Item(Logout)}),
                Popup("Š&tudenti", {Item(Evaluation)}), help};
    }
    return {};
}

std::vector<ToolbarEntry> ToolbarOf(MenuState state) {
    using enum CommandId;
    switch (state) {
    case MenuState::LoggedOut:
        return {Button(ChooseDatabase), Button(Login), kGap, Button(About), Button(Exit)};
    case MenuState::LoggedIn:
        return {Button(StartReceiving),
                Button(Evaluation),
                kGap,
                Button(MailSettings),
                Button(PathSettings),
                Button(ChangeDatabase),
                kGap,
                Button(About),
                Button(Logout),
                Button(Exit)};
    case MenuState::Receiving:
        return {Button(StopReceiving), Button(Evaluation), kGap, Button(About), Button(Logout)};
    }
    return {};
}

} // namespace tarvel
