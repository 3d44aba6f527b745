#pragma once
// The main window on an installation's configuration, a teacher logged in, its boxes answered by a script.

#include "shell/Application.h"
#include "shell/MainWindow.h"
#include "support/ScriptedPrompts.h"

#include <string>

namespace tarvel::testing {

struct LoggedInWindow {
    explicit LoggedInWindow(const std::string& config) : application(config), window(application, prompts) {
        application.db.LoadPath();
        application.session.Apply(SessionEvent::Login, false);
        window.ShowMenuState(application.session.State());
        window.show();
    }

    Application application;
    ScriptedPrompts prompts;
    MainWindow window;
};

} // namespace tarvel::testing
