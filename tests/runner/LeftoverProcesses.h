#pragma once
// Finds processes a test left behind: every process whose working directory or program lies in the test's
// temporary directory.

#include <dirent.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tarvel::testing {

inline std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

inline std::vector<std::string> ProcessesUnder(const std::string& directory) {
    std::vector<std::string> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (dirent* entry = readdir(proc)) {
        std::string pid = entry->d_name;
        if (pid.empty() || pid[0] < '0' || pid[0] > '9') {
            continue;
        }
        for (const char* link : {"/cwd", "/exe"}) {
            if (LinkTarget("/proc/" + pid + link).rfind(directory, 0) == 0) {
                found.push_back(pid);
                break;
            }
        }
    }
    closedir(proc);
    return found;
}

} // namespace tarvel::testing
