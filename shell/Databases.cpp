#include "shell/Databases.h"

#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "shell/Settings.h"

#include <cerrno>
#include <sys/stat.h>

namespace tarvel {
namespace {

bool IsSingleDirectoryName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string LastComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool SetDatabasePath(Database& db, const std::string& configPath, const std::string& path) {
    WriteDatabasePath(configPath, path);
    return db.LoadPath();
}

bool CreateDatabase(Database& db, const std::string& configPath, const std::string& name) {
    const std::string zorpath = CreationInstallationPath(configPath);
    const std::string target = zorpath + "/db/" + name;
    if (!IsSingleDirectoryName(name) || ::mkdir(target.c_str(), 0755) != 0) {
        return false;
    }
    // A missing template copies nothing, which the copy alone would count as success.
    return IsDirectory(zorpath + "/empty.db") && CopyInto(zorpath + "/empty.db/*", target) &&
           SetDatabasePath(db, configPath, target);
}

bool SelectDatabase(Database& db, const std::string& configPath, Prompts& prompts) {
    const std::string root = SelectionInstallationPath(configPath) + "/db";
    FolderRequest request{Cp1250Text("Výber adresára aktuálnej databázy:"), root};
    if (!IsDirectory(root)) {
        prompts.Tell({"Handler ERROR !!!", "Error", PromptButtons::Ok, PromptIcon::Error});
        request.root = "/";
    }
    const auto chosen = prompts.ChooseFolder(request);
    if (!chosen) {
        return false;
    }
    if (!SetDatabasePath(db, configPath, root + "/" + LastComponent(*chosen))) {
        prompts.Tell({Cp1250Text("Problém pri inicializácii databázy !!!"), Cp1250Text("Chyba databázy"),
                      PromptButtons::Ok, PromptIcon::Error});
        return false;
    }
    return true;
}

} // namespace tarvel
