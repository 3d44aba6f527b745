#pragma once
// The sandbox for code the system does not trust (a student's makefile and program, the rendering of a
// student's sources), made with bubblewrap: new user, PID, network, IPC, UTS and cgroup namespaces, no
// capabilities, an unprivileged user inside, a read-only view of only what a C build needs, writable only the
// directories the step is given, no network. Killing bwrap kills everything inside, so the limits of
// platform/ChildProcess.h hold for the sandbox as a whole. A daemon running as root starts bwrap as "nobody".

#include <string>
#include <vector>

namespace tarvel {

// Everything inside the sandbox together, memfd and shared memory included, where a memory cgroup can be
// made. Above one process's address space (kConfinedAddressSpaceBytes), so that a program that only
// allocates meets its own limit first.
inline constexpr long long kSandboxMemoryBytes = 640LL * 1024 * 1024;
// Each private directory (/tmp, /dev/shm and those a step asks for) is a file system of this size.
inline constexpr long long kSandboxDirectoryBytes = 64LL * 1024 * 1024;
// The user and group ids the code has inside.
inline constexpr unsigned kSandboxUserId = 65534;

// A directory or file of the machine seen at `target` inside the sandbox.
struct SandboxMount {
    std::string source;
    std::string target;
    bool writable = false;
};

struct SandboxLayout {
    std::vector<SandboxMount> mounts; // beside the read-only system view
    // Empty private directories of kSandboxDirectoryBytes, gone with the sandbox.
    std::vector<std::string> privateDirectories;
    // The command is the sandbox's first process (pid 1): nothing inside can signal it, and it must reap the
    // orphans itself. Otherwise bwrap's own first process does that.
    bool commandIsInit = false;
};

// The path of bwrap found in the daemon's PATH; empty when there is none.
std::string SandboxTool();

// bwrap's command line running `arguments` inside, in `workingDirectory` (a path inside), with `environment`.
// The mount sources are `sources` (the layout's own, or where a root daemon staged them, in the layout's
// order). bwrap reports the finished set-up on descriptor infoFd.
std::vector<std::string> SandboxCommandLine(const std::string& tool, const SandboxLayout& layout,
                                            const std::vector<std::string>& sources,
                                            const std::string& workingDirectory,
                                            const std::vector<std::string>& environment,
                                            const std::vector<std::string>& arguments, int infoFd);

// Where a path inside the sandbox is on the machine: below the target of a mount, that mount's source;
// otherwise the same path (the read-only system view), or empty for a private directory.
std::string MachinePathOf(const SandboxLayout& layout, const std::string& insidePath);

// The memory cgroup the sandboxes of this process run in, limited to kSandboxMemoryBytes: made once below
// the daemon's own cgroup (v1 memory controller, or v2 with the memory controller delegated), removed when
// the process ends. Null where none can be made (no controller, no permission).
struct SandboxCgroup {
    std::string directory;
    bool unified = false; // cgroup v2: a process is moved whole, through cgroup.procs
};
const SandboxCgroup* SandboxMemoryCgroup();

// True when a sandbox can be made on this machine: bwrap is there and the kernel lets it make its
// namespaces. Tried once per process.
bool SandboxWorks();

} // namespace tarvel
