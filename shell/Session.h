#pragma once
// The main window's menu state, its transitions, the logged-in teacher, and what the login dialog's "OK"
// does. The window shows the state; the daemon's life is its own (Daemon.h), so logging out while receiving
// shows the logged-out menu with the daemon still running, and the next login returns to the daemon's menu.

#include "shell/Prompts.h"
#include "store/Database.h"
#include "store/Teachers.h"

#include <string>

namespace tarvel {

// The three menus and toolbars, by their resource ids.
enum class MenuState { LoggedOut = 128, LoggedIn = 140, Receiving = 141 };

enum class SessionEvent {
    Login,            // a successful login
    Logout,           // "Výstup zo systému"
    ReceivingStarted, // "Štart preberania"
    ReceivingStopped, // "Stop preberania", once the cycle in progress has ended
    DatabaseSelected, // a successful database selection, which then opens the login
    DatabaseCreated,  // a new database: the state stays
};

// The state table: where the event leads from the state. A login leads to the daemon's menu while the
// daemon is to keep running (daemonRun), else to the full menu.
MenuState NextMenuState(MenuState state, SessionEvent event, bool daemonRunning);

// The first-run account of a database without teachers.
inline constexpr const char* kFirstRunName = "admin";
inline constexpr const char* kFirstRunPassword = "zorik";
// The logged-in teacher's surname after a first-run login.
inline constexpr const char* kFirstRunMarker = "adminFirst";

enum class LoginOutcome {
    LoggedIn, // the dialog closes; the menu switches
    Refused,  // "Prístup do systému ZOR zamietnutý !!!" was shown; the dialog closes
    StayOpen, // the teacher list could not be read; its message was shown
};

class Session {
public:
    MenuState State() const { return state_; }
    void Apply(SessionEvent event, bool daemonRunning) {
        state_ = NextMenuState(state_, event, daemonRunning);
    }

    // The logged-in teacher. Every login attempt that looks at the teachers overwrites it (after a refusal it
    // holds the last teacher examined); logout leaves it.
    const TeacherRecord& Teacher() const { return teacher_; }
    // True after a first-run login: the evaluation refuses to open.
    bool FirstRun() const { return teacher_.surname == kFirstRunMarker; }

    // "OK" of the login dialog with the two fields (Windows-1250). Reads the teachers afresh; the first
    // teacher in list order whose surname equals the name byte for byte and whose password checks wins.
    // The first-run account logs in only while the database has no teacher. Tells its messages through the
    // prompts. Uses return values only, so it may run while the daemon uses the store.
    LoginOutcome LogIn(Database& db, Prompts& prompts, const std::string& name, const std::string& password);

private:
    MenuState state_ = MenuState::LoggedOut;
    TeacherRecord teacher_;
};

} // namespace tarvel
