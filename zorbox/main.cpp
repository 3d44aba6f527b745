// zorbox: the build and the test run of one submission, as the first process of its sandbox
// (runner/SandboxStep.h). Being pid 1 of the sandbox's PID namespace, it cannot be signalled by anything
// inside, and killing every other process of the namespace is one kill(-1).

#include "platform/ChildProcess.h"
#include "runner/SandboxStep.h"
#include "runner/TestRunner.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

using namespace tarvel;

enum class Ending { Exited, Signaled, TimedOut, NotStarted };

struct Step {
    Ending ending = Ending::NotStarted;
    int exitCode = -1;
};

const char* Word(Ending ending) {
    switch (ending) {
    case Ending::Exited:
        return kStepExited;
    case Ending::Signaled:
        return kStepSignaled;
    case Ending::TimedOut:
        return kStepTimedOut;
    case Ending::NotStarted:
        break;
    }
    return kStepNotStarted;
}

void Status(const std::string& line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = write(kStepStatusFd, text.data(), text.size());
}

long MillisecondsSince(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
}

// Kills every other process of the sandbox and reaps them, again until none is left: a fork bomb keeps
// forking while it dies.
void KillTheRest() {
    for (;;) {
        kill(-1, SIGKILL);
        pid_t reaped;
        while ((reaped = waitpid(-1, nullptr, WNOHANG)) > 0) {
        }
        if (reaped < 0 && errno == ECHILD) {
            return;
        }
        const timespec pause{0, 1000000L};
        nanosleep(&pause, nullptr);
    }
}

// Waits for `child` up to the limit, reaping the orphans that come to pid 1 meanwhile; then kills the rest.
Step Await(pid_t child, std::chrono::milliseconds limit) {
    Step step;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    for (;;) {
        int status = 0;
        pid_t reaped;
        while ((reaped = waitpid(-1, &status, WNOHANG)) > 0) {
            if (reaped == child) {
                step.ending = WIFEXITED(status) ? Ending::Exited : Ending::Signaled;
                step.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
        }
        if (reaped == child) {
            break;
        }
        const long remaining = static_cast<long>(limit.count()) - MillisecondsSince(start);
        if (remaining <= 0) {
            step.ending = Ending::TimedOut;
            break;
        }
        // The descriptor wakes us when the child ends; orphans ending meanwhile are reaped at the next turn.
        pollfd watch{pidFd, POLLIN, 0};
        poll(&watch, pidFd >= 0 ? 1 : 0, static_cast<int>(std::min(remaining, 100L)));
    }
    if (pidFd >= 0) {
        close(pidFd);
    }
    KillTheRest();
    return step;
}

void SetLimit(int resource, rlim_t value) {
    rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// Starts a child with the given standard streams; the step's own descriptors (3 to 5) stay closed to it. A
// failed exec writes its errno into `report`, which the exec closes otherwise.
pid_t Start(const std::vector<std::string>& arguments, int input, int output, int error, int report,
            bool program, const char* directory) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child != 0) {
        return child;
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int reportFd = fcntl(report, F_DUPFD_CLOEXEC, 10);
    dup2(input, 0);
    dup2(output, 1);
    dup2(error, 2);
    close_range(3, static_cast<unsigned>(reportFd - 1), 0);
    close_range(static_cast<unsigned>(reportFd + 1), ~0U, 0);
    if (chdir(directory) == 0) {
        if (program) {
            SetLimit(RLIMIT_CPU, static_cast<rlim_t>(kConfinedCpuSeconds));
            SetLimit(RLIMIT_AS, static_cast<rlim_t>(kConfinedAddressSpaceBytes));
        }
        execvp(argv[0], argv.data());
    }
    const int failure = errno;
    [[maybe_unused]] const ssize_t written = write(reportFd, &failure, sizeof failure);
    _exit(127);
}

Step Run(const std::vector<std::string>& arguments, int input, int output, int error, bool program,
         const char* directory, std::chrono::milliseconds limit) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t child = Start(arguments, input, output, error, report[1], program, directory);
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return {};
    }
    int failure = 0;
    const bool started = read(report[0], &failure, sizeof failure) != static_cast<ssize_t>(sizeof failure);
    close(report[0]);
    Step step = Await(child, limit);
    if (!started) {
        step = Step{};
    }
    return step;
}

// The built program's name in the build directory: exactly `name`, else the first that equals it ignoring
// the letter case of ASCII letters, as a makefile may write it in capitals.
std::string FindProgram(const std::string& name) {
    if (access((std::string(kSandboxBuildDirectory) + "/" + name).c_str(), F_OK) == 0) {
        return name;
    }
    std::string found;
    if (DIR* directory = opendir(kSandboxBuildDirectory)) {
        while (const dirent* entry = readdir(directory)) {
            if (strcasecmp(entry->d_name, name.c_str()) == 0 && (found.empty() || entry->d_name < found)) {
                found = entry->d_name;
            }
        }
        closedir(directory);
    }
    return found;
}

bool CopyAll(int from, int to) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
            if (put <= 0) {
                return false;
            }
            done += put;
        }
    }
}

// Copies the built program, a regular file and never what a link points at, out to the runner and into the
// test's working directory. Nothing of the build runs any more when this is done.
bool CopyProgram(const std::string& name, const std::string& testPath) {
    const std::string found = FindProgram(name);
    if (found.empty()) {
        return false;
    }
    const std::string path = std::string(kSandboxBuildDirectory) + "/" + found;
    const int program = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (program < 0 || fstat(program, &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > kConfinedFileSizeBytes) {
        if (program >= 0) {
            close(program);
        }
        return false;
    }
    const int test = open(testPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    const bool copied = test >= 0 && CopyAll(program, kStepProgramCopyFd) &&
                        lseek(program, 0, SEEK_SET) == 0 && CopyAll(program, test);
    if (test >= 0) {
        close(test);
    }
    close(program);
    return copied;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zorbox PROGRAM BUILD-COMMAND...\n");
        return 2;
    }
    // Same-user processes of the sandbox must not trace this one or reach its descriptors through /proc.
    prctl(PR_SET_DUMPABLE, 0);
    // Counted in the sandbox's own user namespace: the build's and the program's processes, not the user's.
    SetLimit(RLIMIT_NPROC, static_cast<rlim_t>(kConfinedExtraProcesses));
    close_range(kStepStatusFd + 1, ~0U, 0);
    const std::string name = argv[1];
    const std::vector<std::string> build(argv + 2, argv + argc);

    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    const Step built =
        Run(build, nothing, kStepBuildLogFd, kStepBuildLogFd, false, kSandboxBuildDirectory, kBuildTimeLimit);
    Status(std::string("build ") + Word(built.ending) + " " + std::to_string(built.exitCode));
    // Without a program name the build runs alone: the runner could not open the test's files.
    if (built.ending != Ending::Exited || built.exitCode != 0 || name.empty()) {
        return 0;
    }
    const std::string testPath = std::string(kSandboxTestDirectory) + "/" + name;
    if (!CopyProgram(name, testPath)) {
        Status(std::string("program ") + kStepProgramMissing);
        return 0;
    }
    Status(std::string("program ") + kStepProgramCopied);
    const Step tested = Run({testPath}, 0, 1, nothing, true, kSandboxTestDirectory, kProgramTimeLimit);
    Status(std::string("test ") + Word(tested.ending));
    return 0;
}
