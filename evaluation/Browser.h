#pragma once
// The configured web browser, started detached with one "file://" target, for the results report and a
// stored submission's pages.

#include "platform/ChildProcess.h"
#include "shell/Prompts.h"

#include <string>

namespace tarvel {

// "file://" followed by the path, unchanged.
std::string FileTarget(const std::string& path);

// Starts the browser of the configuration at configPath with the target: the command line is the browser
// value, one blank and the target, nothing quoted, split at blanks. A start that fails is told ("Neviem
// otvoriť browser, zlá casta !!!"). True when the browser started.
bool StartBrowser(const std::string& configPath, const std::string& target, Prompts& prompts,
                  const DetachedLauncher& launcher);

} // namespace tarvel
