#pragma once
// The window program's process-wide objects. The members are destroyed in reverse order: the daemon's
// worker stops before the session and the store it uses go away.

#include "mail/Daemon.h"
#include "shell/Session.h"
#include "store/Database.h"

#include <string>

namespace tarvel {

struct Application {
    explicit Application(std::string config) : configPath(std::move(config)), db(configPath) {}

    std::string configPath; // zor.ini
    Database db;
    Session session;
    Daemon daemon;
};

} // namespace tarvel
