#include "shell/Session.h"

#include "platform/Cp1250.h"

#include <vector>

namespace tarvel {

MenuState NextMenuState(MenuState state, SessionEvent event, bool daemonRunning) {
    switch (event) {
    case SessionEvent::Login:
        return daemonRunning ? MenuState::Receiving : MenuState::LoggedIn;
    case SessionEvent::Logout:
    case SessionEvent::DatabaseSelected:
        return MenuState::LoggedOut;
    case SessionEvent::ReceivingStarted:
        return MenuState::Receiving;
    case SessionEvent::ReceivingStopped:
        return MenuState::LoggedIn;
    case SessionEvent::DatabaseCreated:
        break;
    }
    return state;
}

LoginOutcome Session::LogIn(Database& db, Prompts& prompts, const std::string& name,
                            const std::string& password) {
    db.MarkTeachersStale();
    std::vector<std::string> ids;
    if (!db.TeacherIds(ids)) {
        prompts.Tell({Cp1250Text("Nie je možné načítať databázu učiteľov !!!"), Cp1250Text("Chyba databázy"),
                      PromptButtons::Ok, PromptIcon::Error});
        return LoginOutcome::StayOpen;
    }
    if (name == kFirstRunName && password == kFirstRunPassword && ids.empty()) {
        teacher_.surname = kFirstRunMarker;
        return LoginOutcome::LoggedIn;
    }
    for (const std::string& id : ids) {
        TeacherRecord teacher;
        if (!LoadTeacher(db, id, teacher)) {
            continue;
        }
        teacher_ = teacher;
        if (teacher.surname == name && CheckPassword(teacher, password)) {
            return LoginOutcome::LoggedIn;
        }
    }
    prompts.Tell(
        {Cp1250Text("Prístup do systému ZOR zamietnutý !!!"), "Login", PromptButtons::Ok, PromptIcon::Error});
    return LoginOutcome::Refused;
}

} // namespace tarvel
