#pragma once
// The configured web browser, started detached with one "file://" target, for the results report and a
// stored submission's pages.

#include "platform/ChildProcess.h"
#include "shell/Prompts.h"

#include <string>

namespace tarvel {

// "file://" followed by the path, unchanged.
std::string FileTarget(const std::string& path);

// Starts the browser of the configuration at configPath with the target. The browser value is split at
// blanks, as the system starts its tools, and the target follows as one more argument, whole and unquoted,
// so a path with blanks reaches the browser as one address. A browser value of only blanks starts nothing.
// A start that fails is told ("Neviem otvoriť browser, zlá casta !!!", "Chyba cesty browsera"). True when the
// browser started.
bool StartBrowser(const std::string& configPath, const std::string& target, Prompts& prompts,
                  const DetachedLauncher& launcher);

} // namespace tarvel
