#include "evaluation/Browser.h"

#include "platform/Cp1250.h"
#include "shell/Settings.h"

namespace tarvel {

std::string FileTarget(const std::string& path) {
    return "file://" + path;
}

bool StartBrowser(const std::string& configPath, const std::string& target, Prompts& prompts,
                  const DetachedLauncher& launcher) {
    std::vector<std::string> arguments = SplitCommandLine(BrowserSetting(configPath));
    // Without a browser the target itself would be taken for the program.
    bool started = false;
    if (!arguments.empty()) {
        arguments.push_back(target);
        started = launcher(arguments);
    }
    if (!started) {
        prompts.Tell({Cp1250Text("Neviem otvoriť browser, zlá casta !!!"), Cp1250Text("Chyba cesty browsera"),
                      PromptButtons::Ok, PromptIcon::Error});
    }
    return started;
}

} // namespace tarvel
