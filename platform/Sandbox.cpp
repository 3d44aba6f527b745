#include "platform/Sandbox.h"

#include "platform/ChildProcess.h"
#include "platform/FileOps.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

// What a C compiler, make, the shell and a C program read of /etc; the rest of it stays out of sight.
constexpr const char* kSystemFiles[] = {"/etc/alternatives", "/etc/ld.so.cache", "/etc/ld.so.conf",
                                        "/etc/ld.so.conf.d", "/etc/localtime"};
// The top-level names that a merged /usr makes links into it, and that are directories elsewhere.
constexpr const char* kSystemLinks[] = {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"};

std::string LinkTarget(const char* path) {
    char buffer[4096];
    const ssize_t length = ::readlink(path, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

void Add(std::vector<std::string>& line, std::initializer_list<std::string> words) {
    line.insert(line.end(), words);
}

bool WriteSmallFile(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    file.flush();
    return static_cast<bool>(file);
}

// The mount point of the cgroup hierarchy holding `controller` (v1), or of the unified hierarchy (v2, empty
// controller), from this process's mount table.
std::string CgroupMountPoint(const std::string& controller) {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos) {
            continue;
        }
        std::istringstream before(line.substr(0, dash));
        std::istringstream after(line.substr(dash + 3));
        std::string id, parent, device, root, point, type, source, options;
        before >> id >> parent >> device >> root >> point;
        after >> type >> source >> options;
        if (root != "/") {
            continue;
        }
        if (controller.empty() ? type == "cgroup2"
                               : type == "cgroup" && ("," + options + ",").find("," + controller + ",") !=
                                                         std::string::npos) {
            return point;
        }
    }
    return {};
}

// The daemon's own cgroup directory for the memory controller and whether it is a v2 one.
bool OwnMemoryCgroup(std::string& directory, bool& unified) {
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    std::string unifiedPath;
    while (std::getline(groups, line)) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        const std::string path = line.substr(second + 1);
        if (controllers.find(",memory,") != std::string::npos) {
            const std::string point = CgroupMountPoint("memory");
            if (!point.empty()) {
                directory = point + path;
                unified = false;
                return true;
            }
        } else if (controllers == ",,") {
            unifiedPath = path;
        }
    }
    const std::string point = CgroupMountPoint("");
    if (point.empty()) {
        return false;
    }
    directory = point + unifiedPath;
    unified = true;
    std::string enabled;
    ReadWholeFile(directory + "/cgroup.subtree_control", enabled, 4096);
    return enabled.find("memory") != std::string::npos;
}

} // namespace

std::string SandboxTool() {
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = directories.find(':', begin);
        const std::string directory = directories.substr(begin, end == std::string::npos ? end : end - begin);
        if (!directory.empty() && directory.front() == '/') {
            const std::string candidate = JoinPath(directory, "bwrap");
            if (::access(candidate.c_str(), X_OK) == 0 && IsRegularFile(candidate)) {
                return candidate;
            }
        }
        if (end == std::string::npos) {
            return {};
        }
        begin = end + 1;
    }
}

std::vector<std::string> SandboxCommandLine(const std::string& tool, const SandboxLayout& layout,
                                            const std::vector<std::string>& sources,
                                            const std::string& workingDirectory,
                                            const std::vector<std::string>& environment,
                                            const std::vector<std::string>& arguments, int infoFd) {
    const std::string uid = std::to_string(kSandboxUserId);
    const std::string size = std::to_string(kSandboxDirectoryBytes);
    std::vector<std::string> line{tool};
    Add(line, {"--unshare-all", "--unshare-user", "--disable-userns", "--die-with-parent", "--new-session",
               "--cap-drop", "ALL", "--uid", uid, "--gid", uid, "--hostname", "sandbox", "--clearenv"});
    for (const std::string& variable : environment) {
        const std::size_t equals = variable.find('=');
        Add(line, {"--setenv", variable.substr(0, equals), variable.substr(equals + 1)});
    }
    Add(line, {"--ro-bind", "/usr", "/usr"});
    for (const char* name : kSystemLinks) {
        struct stat info {};
        if (::lstat(name, &info) != 0) {
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            Add(line, {"--symlink", LinkTarget(name), name});
        } else if (S_ISDIR(info.st_mode)) {
            Add(line, {"--ro-bind", name, name});
        }
    }
    for (const char* name : kSystemFiles) {
        Add(line, {"--ro-bind-try", name, name});
    }
    Add(line, {"--proc", "/proc", "--dev", "/dev", "--size", size, "--tmpfs", "/dev/shm", "--size", size,
               "--tmpfs", "/tmp"});
    for (const std::string& directory : layout.privateDirectories) {
        Add(line, {"--size", size, "--tmpfs", directory});
    }
    for (std::size_t i = 0; i < layout.mounts.size(); ++i) {
        Add(line, {layout.mounts[i].writable ? "--bind" : "--ro-bind", sources[i], layout.mounts[i].target});
    }
    // The root and /dev are file systems of bwrap's without a size: nothing may be written there.
    Add(line, {"--remount-ro", "/dev", "--remount-ro", "/", "--chdir", workingDirectory, "--info-fd",
               std::to_string(infoFd)});
    if (layout.commandIsInit) {
        line.push_back("--as-pid-1");
    }
    line.push_back("--");
    line.insert(line.end(), arguments.begin(), arguments.end());
    return line;
}

std::string MachinePathOf(const SandboxLayout& layout, const std::string& insidePath) {
    const auto below = [&insidePath](const std::string& directory) {
        return insidePath == directory || (insidePath.size() > directory.size() &&
                                           insidePath.compare(0, directory.size(), directory) == 0 &&
                                           insidePath[directory.size()] == '/');
    };
    for (const SandboxMount& mount : layout.mounts) {
        if (below(mount.target)) {
            return mount.source + insidePath.substr(mount.target.size());
        }
    }
    for (const std::string& directory : layout.privateDirectories) {
        if (below(directory)) {
            return {};
        }
    }
    return insidePath;
}

namespace {

// Cgroups of daemons that ended without removing theirs ("tarvel-<pid>" of a process that is gone).
void RemoveStaleCgroups(const std::string& parent) {
    for (const std::string& name : ListMatching(parent, "tarvel-*")) {
        const long pid = std::atol(name.c_str() + 7);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            ::rmdir(JoinPath(parent, name).c_str());
        }
    }
}

class OwnedCgroup {
public:
    OwnedCgroup() {
        std::string parent;
        bool unified = false;
        if (!OwnMemoryCgroup(parent, unified)) {
            return;
        }
        RemoveStaleCgroups(parent);
        const std::string directory = parent + "/tarvel-" + std::to_string(::getpid());
        if (::mkdir(directory.c_str(), 0755) != 0) {
            return;
        }
        const std::string limit = std::to_string(kSandboxMemoryBytes);
        const bool limited = unified
                                 ? WriteSmallFile(directory + "/memory.max", limit) &&
                                       (!IsRegularFile(directory + "/memory.swap.max") ||
                                        WriteSmallFile(directory + "/memory.swap.max", "0"))
                                 : WriteSmallFile(directory + "/memory.limit_in_bytes", limit) &&
                                       (!IsRegularFile(directory + "/memory.memsw.limit_in_bytes") ||
                                        WriteSmallFile(directory + "/memory.memsw.limit_in_bytes", limit));
        if (!limited) {
            ::rmdir(directory.c_str());
            return;
        }
        cgroup_.directory = directory;
        cgroup_.unified = unified;
    }
    OwnedCgroup(const OwnedCgroup&) = delete;
    OwnedCgroup& operator=(const OwnedCgroup&) = delete;
    ~OwnedCgroup() {
        if (!cgroup_.directory.empty()) {
            ::rmdir(cgroup_.directory.c_str());
        }
    }
    const SandboxCgroup* Get() const { return cgroup_.directory.empty() ? nullptr : &cgroup_; }

private:
    SandboxCgroup cgroup_;
};

} // namespace

const SandboxCgroup* SandboxMemoryCgroup() {
    static const OwnedCgroup owned;
    return owned.Get();
}

bool SandboxWorks() {
    static std::once_flag tried;
    static bool works = false;
    std::call_once(tried, [] {
        ChildRequest request;
        request.arguments = {"true"};
        request.workingDirectory = "/";
        request.sandbox = SandboxLayout{};
        const ChildResult result = RunChild(request);
        works = result.outcome == ChildOutcome::Exited && result.exitCode == 0;
    });
    return works;
}

} // namespace tarvel
