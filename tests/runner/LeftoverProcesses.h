#pragma once
// Finds processes a test left behind: every process whose working directory or program lies in the test's
// temporary directory, and every process of a sandbox that mounted something of it (its mount table names
// the directory, whatever the process sees as its paths inside).

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarvel::testing {

inline std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

inline bool MountsFrom(const std::string& pid, const std::string& directory) {
    std::ifstream mounts("/proc/" + pid + "/mountinfo");
    std::stringstream text;
    text << mounts.rdbuf();
    return text.str().find(" " + directory) != std::string::npos;
}

inline std::vector<std::string> ProcessesUnder(const std::string& directory) {
    std::vector<std::string> found;
    const std::string self = std::to_string(getpid());
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (dirent* entry = readdir(proc)) {
        std::string pid = entry->d_name;
        if (pid.empty() || pid[0] < '0' || pid[0] > '9' || pid == self) {
            continue;
        }
        bool under = MountsFrom(pid, directory);
        for (const char* link : {"/cwd", "/exe"}) {
            under = under || LinkTarget("/proc/" + pid + link).rfind(directory, 0) == 0;
        }
        if (under) {
            found.push_back(pid);
        }
    }
    closedir(proc);
    return found;
}

} // namespace tarvel::testing
