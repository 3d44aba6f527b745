#pragma once
// Child processes for the build tools and the students' programs. A child gets its working directory, its
// standard streams and its PATH explicitly; the parent's current directory and environment are never changed.
// A child may run in the sandbox of platform/Sandbox.h.
// Every child runs in a process group of its own under a supervising process that is the reaper of everything
// the child leaves behind: when the child ends or its time is up, the whole group and every orphan are
// killed, again and again, until none of them is left. Only then does RunChild return.

#include "platform/Sandbox.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

// The limits of a program the system does not trust: a student's program.
inline constexpr long kConfinedCpuSeconds = 10;
inline constexpr long kConfinedAddressSpaceBytes = 512L * 1024 * 1024;
inline constexpr long kConfinedFileSizeBytes = 64L * 1024 * 1024;
inline constexpr long kConfinedExtraProcesses = 64;

struct ChildRequest {
    // arguments[0] names the program; without a "/" it is searched in the child's PATH, and a relative path
    // is taken relative to the working directory.
    std::vector<std::string> arguments;
    std::string workingDirectory;
    // Put in front of the child's PATH; the parent's environment stays as it is. Empty: PATH unchanged.
    std::string pathPrefix;
    // Standard input; empty means /dev/null.
    std::string inputFile;
    // Standard output, created or truncated, never through a symbolic link; empty means /dev/null.
    std::string outputFile;
    // Standard error goes to the output file as well; otherwise to /dev/null.
    bool errorToOutput = false;
    // Wall time from the start; then the child and everything it started are killed.
    std::chrono::milliseconds timeLimit{5000};
    // The limits above (CPU, address space, file size, no core files, a process cap of the user's current
    // count plus kConfinedExtraProcesses). A daemon running as root runs the program as the user "nobody",
    // since the process cap does not bind root.
    bool confined = false;
    // When not empty, the child and everything it starts may change files only beneath these directories
    // (platform/WriteConfinement.h), and TMPDIR names the first of them. Not for a sandboxed child.
    std::vector<std::string> writableDirectories;
    // When set, the child runs in this sandbox: arguments, workingDirectory and pathPrefix are paths inside
    // it, while inputFile and outputFile are opened outside, by the caller. Its environment is PATH, HOME,
    // TMPDIR and the locale, and the file-size limit holds; the process cap is the first process's to set
    // inside, where only the sandbox's own processes count (zorbox sets kConfinedExtraProcesses).
    // A death by signal N is reported as an exit with 128 + N.
    std::optional<SandboxLayout> sandbox;
    // Open descriptors the child gets as 3, 4, ... in this order; they stay the caller's.
    std::vector<int> inheritedDescriptors;
};

enum class ChildOutcome {
    InputNotOpened,   // the input file cannot be opened for reading
    OutputNotCreated, // the output file cannot be created
    NotStarted,       // the program was not found, is not executable, or no process could be made
    Exited,           // ended by itself; exitCode holds its exit status
    Signaled,         // ended by a signal it did not get from us (a crash, the CPU or file-size limit)
    TimedOut,         // still running when its time was up, and killed
    SandboxFailed,    // the sandbox could not be made (no bwrap, or the kernel refused its namespaces)
};

struct ChildResult {
    ChildOutcome outcome = ChildOutcome::NotStarted;
    int exitCode = -1; // the exit status for Exited, else -1
    int error = 0;     // errno for the failures before the start
};

// Runs the child to its end (or its time limit) and returns after every process it left behind is gone.
// Safe to call from any thread; never changes the calling process's directory, environment or signal state.
ChildResult RunChild(const ChildRequest& request);

// How the system starts a child that it waits for; tests may watch or replace it.
using ProcessLauncher = std::function<ChildResult(const ChildRequest&)>;

// A time limit that never ends, for a program the teacher closes (the editor).
inline constexpr std::chrono::milliseconds kNoTimeLimit = std::chrono::milliseconds::max();

// Starts a program that is not waited for and that nothing kills (a browser, which may hand the page to a
// process that outlives the one started): in a session of its own, standard streams on /dev/null, not a
// child of this process. True when the program was found and executed; `error` then stays 0, else it gets
// the errno of the failed start.
bool StartDetached(const std::vector<std::string>& arguments, int* error = nullptr);

// How the system starts a program detached; tests may watch or replace it.
using DetachedLauncher = std::function<bool(const std::vector<std::string>& arguments)>;

// A command line split at blanks and tabs into arguments, as the system's tools are started: no quoting.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

} // namespace tarvel
