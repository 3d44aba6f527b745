#pragma once
// Several databases side by side, each a directory <zorpath>/db/<name>: a new one is a copy of the template
// <zorpath>/empty.db, and the current one is chosen in the folder browser. Either way the choice becomes
// dbpath in zor.ini and the store's path.

#include "shell/Prompts.h"
#include "store/Database.h"

#include <string>

namespace tarvel {

// Writes dbpath, then loads it into the store; the result is the load's, which fails only for an
// unconfigured path.
bool SetDatabasePath(Database& db, const std::string& configPath, const std::string& path);

// Creates <zorpath>/db/<name> (zorpath as creation reads it) from the template and makes it the current
// database. Fails, creating nothing, when the directory exists already, when <zorpath>/db is missing, or
// when the name is not a single directory name (empty, ".", "..", or holding a "/"); fails after creating
// the directory when the template cannot be copied into it.
bool CreateDatabase(Database& db, const std::string& configPath, const std::string& name);

// The database selection command: the folder browser rooted at <zorpath>/db; the chosen folder's last
// component names the database below that root. True when the new path was set: the caller then shows the
// logged-out menu and runs the login. Cancelling changes nothing; the failures are told through the prompts.
bool SelectDatabase(Database& db, const std::string& configPath, Prompts& prompts);

} // namespace tarvel
