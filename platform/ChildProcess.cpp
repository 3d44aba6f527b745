#include "platform/ChildProcess.h"

#include "platform/WriteConfinement.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarvel {
namespace {

// Everything the two forked processes need, prepared before the fork: a fork of a multi-threaded process may
// only make async-signal-safe calls, so nothing below the fork allocates.
struct LaunchPlan {
    int inputFd = -1;
    int outputFd = -1;
    int errorFd = -1;
    int programFd = -1; // an O_PATH descriptor of the program when it is started under another user
    const char* programPath = nullptr;
    const char* workingDirectory = nullptr;
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    long timeLimitMs = 0;
    bool confined = false;
    rlim_t processCap = 0;
    bool changeUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
    int rulesetFd = -1; // the write confinement, when the child gets one
};

// What the supervisor tells the caller through its pipe.
struct Report {
    ChildOutcome outcome;
    int exitCode;
    int error;
};

// Descriptors of the supervisor after it has arranged them; the program inherits 0-2 only.
constexpr int kReportFd = 3;
constexpr int kProgramFd = 4;
constexpr int kRulesetFd = 5;
constexpr int kFirstFreeFd = 6;
constexpr int kScratchFdBase = 10;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// ---- async-signal-safe helpers for the forked processes ----

long MillisecondsSince(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
}

void SleepOneMillisecond() {
    timespec pause{0, 1000000L};
    nanosleep(&pause, nullptr);
}

void WriteAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

// Decimal digits of a positive number into buffer, returning the end.
char* AppendNumber(char* buffer, long value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0) {
        *buffer++ = digits[--count];
    }
    return buffer;
}

void CloseFrom(int first) {
    if (close_range(static_cast<unsigned>(first), ~0U, 0) == 0) {
        return;
    }
    rlimit limit{};
    rlim_t last = 65536;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < last) {
        last = limit.rlim_cur;
    }
    for (rlim_t fd = static_cast<rlim_t>(first); fd < last; ++fd) {
        close(static_cast<int>(fd));
    }
}

void SetLimit(int resource, rlim_t value) {
    rlimit limit{value, value};
    setrlimit(resource, &limit);
}

[[noreturn]] void FailStart(int statusFd) {
    int error = errno;
    WriteAll(statusFd, &error, sizeof error);
    _exit(127);
}

// The program's side of the second fork: its own group, default signals, limits, then exec.
[[noreturn]] void ProgramMain(const LaunchPlan& plan, int statusFd) {
    setpgid(0, 0);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number) {
        sigaction(number, &defaultAction, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    if (chdir(plan.workingDirectory) != 0) {
        FailStart(statusFd);
    }
    if (plan.confined) {
        SetLimit(RLIMIT_CPU, static_cast<rlim_t>(kConfinedCpuSeconds));
        SetLimit(RLIMIT_AS, static_cast<rlim_t>(kConfinedAddressSpaceBytes));
        SetLimit(RLIMIT_FSIZE, static_cast<rlim_t>(kConfinedFileSizeBytes));
        SetLimit(RLIMIT_CORE, 0);
        SetLimit(RLIMIT_NPROC, plan.processCap);
        // A setuid program started by a student's program must not gain what the student does not have.
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    }
    if (plan.rulesetFd >= 0 && !ConfineWrites(kRulesetFd)) {
        FailStart(statusFd);
    }
    if (plan.changeUser) {
        if (setgroups(0, nullptr) != 0 || setgid(plan.gid) != 0 || setuid(plan.uid) != 0) {
            FailStart(statusFd);
        }
        syscall(SYS_execveat, kProgramFd, "", plan.argv, plan.envp, AT_EMPTY_PATH);
    } else {
        execve(plan.programPath, plan.argv, plan.envp);
    }
    FailStart(statusFd);
}

// Kills every direct child of the supervisor: orphans of the program arrive here because the supervisor is
// their reaper, also those that left the program's process group. A child that leads a group of its own has
// that group killed too.
void KillChildrenOfSelf() {
    char path[64] = "/proc/self/task/";
    char* end = AppendNumber(path + std::strlen(path), static_cast<long>(getpid()));
    std::memcpy(end, "/children", sizeof "/children");
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    char buffer[4096];
    long pid = 0;
    ssize_t count;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (buffer[i] >= '0' && buffer[i] <= '9') {
                pid = pid * 10 + (buffer[i] - '0');
            } else if (pid > 0) {
                kill(static_cast<pid_t>(pid), SIGKILL);
                kill(-static_cast<pid_t>(pid), SIGKILL);
                pid = 0;
            }
        }
    }
    if (pid > 0) {
        kill(static_cast<pid_t>(pid), SIGKILL);
        kill(-static_cast<pid_t>(pid), SIGKILL);
    }
    close(fd);
}

// Kills the program's group and every orphan, again and again, until the supervisor has no child left: a fork
// bomb keeps forking while it dies. Returns the program's wait status.
int KillEverything(pid_t program) {
    int programStatus = 0;
    for (;;) {
        kill(-program, SIGKILL);
        KillChildrenOfSelf();
        int status = 0;
        pid_t reaped;
        while ((reaped = waitpid(-1, &status, WNOHANG)) > 0) {
            if (reaped == program) {
                programStatus = status;
            }
        }
        if (reaped < 0 && errno == ECHILD) {
            return programStatus;
        }
        SleepOneMillisecond();
    }
}

// True when the program ended within the time limit, false when the time is up.
bool WaitForProgram(pid_t program, const timespec& start, long timeLimitMs) {
    int pidFd = static_cast<int>(syscall(SYS_pidfd_open, program, 0));
    bool ended = false;
    for (;;) {
        long remaining = timeLimitMs - MillisecondsSince(start);
        if (remaining <= 0) {
            break;
        }
        if (pidFd >= 0) {
            pollfd watch{pidFd, POLLIN, 0};
            int ready = poll(&watch, 1, static_cast<int>(remaining));
            if (ready > 0) {
                ended = true;
                break;
            }
        } else {
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(program), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == program) {
                ended = true;
                break;
            }
            SleepOneMillisecond();
        }
    }
    if (pidFd >= 0) {
        close(pidFd);
    }
    return ended;
}

// Moves the descriptors the program needs to their final numbers and closes every other one.
void ArrangeDescriptors(const LaunchPlan& plan, int reportFd) {
    int input = fcntl(plan.inputFd, F_DUPFD, kScratchFdBase);
    int output = fcntl(plan.outputFd, F_DUPFD, kScratchFdBase);
    int error = fcntl(plan.errorFd, F_DUPFD, kScratchFdBase);
    int report = fcntl(reportFd, F_DUPFD, kScratchFdBase);
    int program = plan.programFd >= 0 ? fcntl(plan.programFd, F_DUPFD, kScratchFdBase) : -1;
    int ruleset = plan.rulesetFd >= 0 ? fcntl(plan.rulesetFd, F_DUPFD, kScratchFdBase) : -1;
    dup2(input, 0);
    dup2(output, 1);
    dup2(error, 2);
    dup2(report, kReportFd);
    fcntl(kReportFd, F_SETFD, FD_CLOEXEC);
    if (program >= 0) {
        dup2(program, kProgramFd);
        fcntl(kProgramFd, F_SETFD, FD_CLOEXEC);
    } else {
        close(kProgramFd);
    }
    if (ruleset >= 0) {
        dup2(ruleset, kRulesetFd);
        fcntl(kRulesetFd, F_SETFD, FD_CLOEXEC);
    } else {
        close(kRulesetFd);
    }
    CloseFrom(kFirstFreeFd);
}

// The supervisor: reaper of everything the program starts, keeper of its time limit.
[[noreturn]] void SupervisorMain(const LaunchPlan& plan, int reportFd) {
    // A Ctrl-C or hang-up meant for the daemon must not leave the program without its supervisor.
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    for (int number : {SIGINT, SIGQUIT, SIGHUP, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU}) {
        sigaction(number, &action, nullptr);
    }
    action.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &action, nullptr);
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    ArrangeDescriptors(plan, reportFd);

    Report report{ChildOutcome::NotStarted, -1, 0};
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        report.error = errno;
        WriteAll(kReportFd, &report, sizeof report);
        _exit(0);
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t program = fork();
    if (program == 0) {
        close(status[0]);
        ProgramMain(plan, status[1]);
    }
    if (program < 0) {
        report.error = errno;
        WriteAll(kReportFd, &report, sizeof report);
        _exit(0);
    }
    setpgid(program, program);
    close(status[1]);
    int startError = 0;
    ssize_t got;
    do {
        got = read(status[0], &startError, sizeof startError);
    } while (got < 0 && errno == EINTR);
    close(status[0]);
    if (got == static_cast<ssize_t>(sizeof startError)) {
        KillEverything(program);
        report.error = startError;
        WriteAll(kReportFd, &report, sizeof report);
        _exit(0);
    }

    bool ended = WaitForProgram(program, start, plan.timeLimitMs);
    int programStatus = KillEverything(program);
    if (!ended) {
        report.outcome = ChildOutcome::TimedOut;
    } else if (WIFEXITED(programStatus)) {
        report.outcome = ChildOutcome::Exited;
        report.exitCode = WEXITSTATUS(programStatus);
    } else {
        report.outcome = ChildOutcome::Signaled;
    }
    WriteAll(kReportFd, &report, sizeof report);
    _exit(0);
}

// ---- the caller's side ----

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string RelativeTo(const std::string& directory, const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    return directory + "/" + path;
}

// The program's path as the child's exec would find it: names with a "/" as they are, others in the PATH.
std::string ResolveProgram(const std::string& name, const std::string& searchPath,
                           const std::string& workingDirectory) {
    if (name.find('/') != std::string::npos) {
        return RelativeTo(workingDirectory, name);
    }
    size_t begin = 0;
    for (;;) {
        size_t end = searchPath.find(':', begin);
        std::string directory = searchPath.substr(begin, end == std::string::npos ? end : end - begin);
        std::string candidate =
            RelativeTo(workingDirectory, (directory.empty() ? "." : directory) + "/" + name);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            return {};
        }
        begin = end + 1;
    }
}

std::string CurrentPath() {
    const char* path = getenv("PATH");
    return path != nullptr ? path : "";
}

// The parent's environment with PATH given the prefix.
// The parent's environment with the child's PATH and, when given, its TMPDIR.
std::vector<std::string> ChildEnvironment(const std::string& childPath,
                                          const std::string& temporaryDirectory) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const bool replaced = std::strncmp(*entry, "PATH=", 5) == 0 ||
                              (!temporaryDirectory.empty() && std::strncmp(*entry, "TMPDIR=", 7) == 0);
        if (!replaced) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back("PATH=" + childPath);
    if (!temporaryDirectory.empty()) {
        environment.push_back("TMPDIR=" + temporaryDirectory);
    }
    return environment;
}

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Threads of every process of the user: RLIMIT_NPROC counts threads by real user id. Only the processes whose
// /proc entry the user owns are read, which skips the many of other users cheaply.
long CountUserThreads(uid_t uid) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    long total = 0;
    while (dirent* entry = readdir(proc)) {
        struct stat owner {};
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9' ||
            fstatat(dirfd(proc), entry->d_name, &owner, 0) != 0 || owner.st_uid != uid) {
            continue;
        }
        std::string path = std::string("/proc/") + entry->d_name + "/status";
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        char buffer[2048];
        ssize_t count = read(fd, buffer, sizeof buffer - 1);
        close(fd);
        if (count <= 0) {
            continue;
        }
        buffer[count] = '\0';
        const char* uidLine = std::strstr(buffer, "\nUid:");
        const char* threadsLine = std::strstr(buffer, "\nThreads:");
        if (uidLine == nullptr || std::strtoul(uidLine + 5, nullptr, 10) != uid) {
            continue;
        }
        total += threadsLine != nullptr ? std::strtol(threadsLine + 9, nullptr, 10) : 1;
    }
    closedir(proc);
    return total;
}

ChildResult Failure(ChildOutcome outcome, int error) {
    ChildResult result;
    result.outcome = outcome;
    result.error = error;
    return result;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    size_t position = 0;
    while (position < commandLine.size()) {
        size_t begin = commandLine.find_first_not_of(" \t", position);
        if (begin == std::string_view::npos) {
            break;
        }
        size_t end = commandLine.find_first_of(" \t", begin);
        if (end == std::string_view::npos) {
            end = commandLine.size();
        }
        arguments.emplace_back(commandLine.substr(begin, end - begin));
        position = end;
    }
    return arguments;
}

ChildResult RunChild(const ChildRequest& request) {
    FileDescriptor input(
        open(request.inputFile.empty() ? "/dev/null" : request.inputFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) {
        return Failure(ChildOutcome::InputNotOpened, errno);
    }
    FileDescriptor output(open(request.outputFile.empty() ? "/dev/null" : request.outputFile.c_str(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (output.get() < 0) {
        return Failure(ChildOutcome::OutputNotCreated, errno);
    }
    FileDescriptor nullDevice(request.errorToOutput ? -1 : open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (request.arguments.empty()) {
        return Failure(ChildOutcome::NotStarted, EINVAL);
    }

    std::string childPath = CurrentPath();
    if (!request.pathPrefix.empty()) {
        childPath = childPath.empty() ? request.pathPrefix : request.pathPrefix + ":" + childPath;
    }
    std::string programPath = ResolveProgram(request.arguments.front(), childPath, request.workingDirectory);
    if (programPath.empty()) {
        return Failure(ChildOutcome::NotStarted, ENOENT);
    }
    std::vector<std::string> arguments = request.arguments;
    const std::string temporaryDirectory =
        request.writableDirectories.empty() ? std::string() : request.writableDirectories.front();
    std::vector<std::string> environment = ChildEnvironment(childPath, temporaryDirectory);
    std::vector<char*> argv = PointersTo(arguments);
    std::vector<char*> envp = PointersTo(environment);

    LaunchPlan plan;
    plan.inputFd = input.get();
    plan.outputFd = output.get();
    plan.errorFd = request.errorToOutput ? output.get() : nullDevice.get();
    plan.programPath = programPath.c_str();
    plan.workingDirectory = request.workingDirectory.c_str();
    plan.argv = argv.data();
    plan.envp = envp.data();
    plan.timeLimitMs = static_cast<long>(request.timeLimit.count());
    plan.confined = request.confined;

    FileDescriptor program;
    if (request.confined) {
        uid_t uid = getuid();
        if (geteuid() == 0) {
            passwd entry{};
            passwd* found = nullptr;
            char buffer[1024];
            plan.changeUser = true;
            plan.uid = 65534;
            plan.gid = 65534;
            if (getpwnam_r("nobody", &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
                plan.uid = found->pw_uid;
                plan.gid = found->pw_gid;
            }
            uid = plan.uid;
            program.reset(open(programPath.c_str(), O_PATH | O_CLOEXEC));
            if (program.get() < 0) {
                return Failure(ChildOutcome::NotStarted, errno);
            }
            plan.programFd = program.get();
        }
        plan.processCap = static_cast<rlim_t>(CountUserThreads(uid) + kConfinedExtraProcesses);
    }

    FileDescriptor ruleset;
    if (!request.writableDirectories.empty()) {
        const int made = MakeWriteConfinement(request.writableDirectories);
        if (made == kConfinementFailed) {
            return Failure(ChildOutcome::NotStarted, errno);
        }
        ruleset.reset(made >= 0 ? made : -1);
        plan.rulesetFd = ruleset.get();
    }

    int reportPipe[2];
    if (pipe2(reportPipe, O_CLOEXEC) != 0) {
        return Failure(ChildOutcome::NotStarted, errno);
    }
    FileDescriptor reportRead(reportPipe[0]);
    FileDescriptor reportWrite(reportPipe[1]);
    pid_t supervisor = fork();
    if (supervisor == 0) {
        SupervisorMain(plan, reportWrite.get());
    }
    if (supervisor < 0) {
        return Failure(ChildOutcome::NotStarted, errno);
    }
    reportWrite.reset();

    Report report{ChildOutcome::NotStarted, -1, ECHILD};
    char* bytes = reinterpret_cast<char*>(&report);
    size_t received = 0;
    while (received < sizeof report) {
        ssize_t count = read(reportRead.get(), bytes + received, sizeof report - received);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            report = Report{ChildOutcome::NotStarted, -1, ECHILD};
            break;
        }
        received += static_cast<size_t>(count);
    }
    while (waitpid(supervisor, nullptr, 0) < 0 && errno == EINTR) {
    }
    ChildResult result;
    result.outcome = report.outcome;
    result.exitCode = report.exitCode;
    result.error = report.error;
    return result;
}

} // namespace tarvel
