#include "platform/ChildProcess.h"

#include "platform/FileDescriptor.h"
#include "platform/FileOps.h"
#include "platform/WriteConfinement.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
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
    int rulesetFd = -1;                // the write confinement, when the child gets one
    const int* inheritedFds = nullptr; // become the program's 3, 4, ...
    int inheritedCount = 0;
    pid_t caller = 0; // the supervisor ends when the caller does
    // A sandboxed child: bwrap is started with the file-size limit and no new privileges.
    bool sandboxed = false;
    int infoFd = -1;                           // bwrap's report of its finished set-up
    const char* cgroupProcesses = nullptr;     // the memory cgroup to enter first
    const char* const* stageSources = nullptr; // a root daemon's mounts, staged where "nobody" reaches them
    const char* const* stageTargets = nullptr;
    int stageCount = 0;
};

// What the supervisor tells the caller through its pipe.
struct Report {
    ChildOutcome outcome;
    int exitCode;
    int error;
};

// Descriptors of the supervisor after it has arranged them: 0-2 and the inherited ones from 3 on, which the
// program gets; then the supervisor's own, closed at the program's exec but for bwrap's info descriptor.
constexpr int kFirstInheritedFd = 3;
constexpr int kMaxInheritedFds = 16;
constexpr int ReportFd(int inheritedCount) {
    return kFirstInheritedFd + inheritedCount;
}
constexpr int ProgramFd(int inheritedCount) {
    return ReportFd(inheritedCount) + 1;
}
constexpr int RulesetFd(int inheritedCount) {
    return ReportFd(inheritedCount) + 2;
}
constexpr int InfoFd(int inheritedCount) {
    return ReportFd(inheritedCount) + 3;
}
constexpr int kScratchFdBase = ReportFd(kMaxInheritedFds) + 8;

// Where a root daemon mounts the sandbox's sources, in a mount namespace of the child's own, before it
// starts bwrap as "nobody", who may not be able to reach them where they are.
constexpr const char* kStagingRoot = "/tmp";
constexpr int kMaxStagedMounts = 16;

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

// A root daemon's sandbox sources mounted below kStagingRoot, in a mount namespace of this process's own:
// opened first (the staging file system covers /tmp, where they may lie), then bound to their stage.
bool StageMounts(const LaunchPlan& plan) {
    if (plan.stageCount > kMaxStagedMounts || unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return false;
    }
    int sources[kMaxStagedMounts];
    for (int i = 0; i < plan.stageCount; ++i) {
        sources[i] = open(plan.stageSources[i], O_PATH | O_CLOEXEC);
        if (sources[i] < 0) {
            return false;
        }
    }
    if (mount("tmpfs", kStagingRoot, "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755,size=65536") != 0) {
        return false;
    }
    for (int i = 0; i < plan.stageCount; ++i) {
        struct stat info {};
        if (fstat(sources[i], &info) != 0) {
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            mkdir(plan.stageTargets[i], 0755);
        } else {
            close(open(plan.stageTargets[i], O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
        char path[64] = "/proc/self/fd/";
        *AppendNumber(path + std::strlen(path), sources[i]) = '\0';
        if (mount(path, plan.stageTargets[i], nullptr, MS_BIND | MS_REC, nullptr) != 0) {
            return false;
        }
        close(sources[i]);
    }
    return true;
}

void EnterCgroup(const char* processesFile) {
    const int fd = open(processesFile, O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        WriteAll(fd, "0", 1);
        close(fd);
    }
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

    if (plan.cgroupProcesses != nullptr) {
        EnterCgroup(plan.cgroupProcesses);
    }
    if (plan.sandboxed) {
        // When the sandbox's memory runs out, the kernel must kill inside it, never the supervisor beside it.
        const int adjust = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
        if (adjust >= 0) {
            WriteAll(adjust, "1000", 4);
            close(adjust);
        }
    }
    if (chdir(plan.workingDirectory) != 0) {
        FailStart(statusFd);
    }
    if (plan.confined) {
        SetLimit(RLIMIT_CPU, static_cast<rlim_t>(kConfinedCpuSeconds));
        SetLimit(RLIMIT_AS, static_cast<rlim_t>(kConfinedAddressSpaceBytes));
    }
    if (plan.confined || plan.sandboxed) {
        SetLimit(RLIMIT_FSIZE, static_cast<rlim_t>(kConfinedFileSizeBytes));
        SetLimit(RLIMIT_CORE, 0);
    }
    // A sandbox's processes are counted in its own user namespace, where its first process caps them;
    // outside, they would share one count with every other process of the user.
    if (plan.confined && !plan.sandboxed) {
        SetLimit(RLIMIT_NPROC, plan.processCap);
    }
    if (plan.stageCount > 0 && !StageMounts(plan)) {
        FailStart(statusFd);
    }
    if (plan.rulesetFd >= 0 && !ConfineWrites(RulesetFd(plan.inheritedCount))) {
        FailStart(statusFd);
    }
    if (plan.changeUser && (setgroups(0, nullptr) != 0 || setgid(plan.gid) != 0 || setuid(plan.uid) != 0)) {
        FailStart(statusFd);
    }
    if (plan.confined || plan.sandboxed) {
        // A setuid program started by a student's program must not gain what the student does not have.
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    }
    if (plan.changeUser && !plan.sandboxed) {
        syscall(SYS_execveat, ProgramFd(plan.inheritedCount), "", plan.argv, plan.envp, AT_EMPTY_PATH);
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

// Set in the supervisor when its caller has died: everything it started is killed at once.
volatile sig_atomic_t callerGone = 0;

void NoteCallerGone(int) {
    callerGone = 1;
}

// True when the program ended within the time limit, false when the time is up or the caller died.
bool WaitForProgram(pid_t program, const timespec& start, long timeLimitMs) {
    int pidFd = static_cast<int>(syscall(SYS_pidfd_open, program, 0));
    bool ended = false;
    for (;;) {
        long remaining = timeLimitMs - MillisecondsSince(start);
        if (remaining <= 0 || callerGone) {
            break;
        }
        if (pidFd >= 0) {
            pollfd watch{pidFd, POLLIN, 0};
            // Without a time limit the wait goes on in steps that poll can take.
            int ready = poll(&watch, 1, static_cast<int>(std::min<long>(remaining, 60'000)));
            if (ready == 0) {
                continue;
            }
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

// Puts a scratch copy at its final number; closeOnExec for the supervisor's own descriptors.
void PlaceDescriptor(int scratch, int target, bool closeOnExec) {
    if (scratch < 0) {
        close(target);
        return;
    }
    dup2(scratch, target);
    fcntl(target, F_SETFD, closeOnExec ? FD_CLOEXEC : 0);
}

// Moves the descriptors the program needs to their final numbers and closes every other one. Copies above
// every final number come first, so that no descriptor is overwritten before it has been moved.
void ArrangeDescriptors(const LaunchPlan& plan, int reportFd) {
    const auto copy = [](int fd) { return fd >= 0 ? fcntl(fd, F_DUPFD, kScratchFdBase) : -1; };
    const int input = copy(plan.inputFd);
    const int output = copy(plan.outputFd);
    const int error = copy(plan.errorFd);
    int inherited[kMaxInheritedFds];
    for (int i = 0; i < plan.inheritedCount; ++i) {
        inherited[i] = copy(plan.inheritedFds[i]);
    }
    const int report = copy(reportFd);
    const int program = copy(plan.programFd);
    const int ruleset = copy(plan.rulesetFd);
    const int info = copy(plan.infoFd);
    PlaceDescriptor(input, 0, false);
    PlaceDescriptor(output, 1, false);
    PlaceDescriptor(error, 2, false);
    for (int i = 0; i < plan.inheritedCount; ++i) {
        PlaceDescriptor(inherited[i], kFirstInheritedFd + i, false);
    }
    PlaceDescriptor(report, ReportFd(plan.inheritedCount), true);
    PlaceDescriptor(program, ProgramFd(plan.inheritedCount), true);
    PlaceDescriptor(ruleset, RulesetFd(plan.inheritedCount), true);
    PlaceDescriptor(info, InfoFd(plan.inheritedCount), false);
    CloseFrom(InfoFd(plan.inheritedCount) + 1);
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
    // A daemon killed in the middle of a step takes the step with it. The supervisor is told by a signal it
    // handles, so that it kills and reaps everything first: a sandbox still setting up may not yet die with
    // its parent by itself, and as the reaper of orphans the supervisor reaches what it left.
    action.sa_handler = NoteCallerGone;
    sigaction(SIGTERM, &action, nullptr);
    // The daemon may block SIGTERM in the thread that starts children (zord takes it with sigwait).
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &terminate, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != plan.caller) {
        _exit(0);
    }
    ArrangeDescriptors(plan, reportFd);
    const int reportOut = ReportFd(plan.inheritedCount);

    Report report{ChildOutcome::NotStarted, -1, 0};
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        report.error = errno;
        WriteAll(reportOut, &report, sizeof report);
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
        WriteAll(reportOut, &report, sizeof report);
        _exit(0);
    }
    setpgid(program, program);
    close(status[1]);
    close(InfoFd(plan.inheritedCount));
    int startError = 0;
    ssize_t got;
    do {
        got = read(status[0], &startError, sizeof startError);
    } while (got < 0 && errno == EINTR);
    close(status[0]);
    if (got == static_cast<ssize_t>(sizeof startError)) {
        KillEverything(program);
        report.error = startError;
        WriteAll(reportOut, &report, sizeof report);
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
    WriteAll(reportOut, &report, sizeof report);
    _exit(0);
}

// ---- the caller's side ----

// Forks the supervisors of sandboxed children from one thread that sits in the sandboxes' memory cgroup: v1
// lets one thread of a process be in a cgroup of its own, while the process's own memory stays charged where
// it was. A child forked there starts inside the cgroup; moving each child in would wait for an RCU grace
// period, some 5 to 20 ms a run.
class CgroupLauncher {
public:
    // Null where there is no v1 memory cgroup or the thread could not enter it, and in a child forked from
    // the process that made it, which has no such thread.
    static CgroupLauncher* Instance() {
        static CgroupLauncher launcher;
        return launcher.entered_ && launcher.owner_ == getpid() ? &launcher : nullptr;
    }
    CgroupLauncher(const CgroupLauncher&) = delete;
    CgroupLauncher& operator=(const CgroupLauncher&) = delete;
    ~CgroupLauncher() {
        if (thread_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                stopping_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
    }

    // fork() on the launcher's thread; the child runs SupervisorMain. -1 with errno when it failed.
    pid_t Fork(const LaunchPlan& plan, int reportFd) {
        std::lock_guard oneAtATime(calls_);
        std::unique_lock lock(mutex_);
        plan_ = &plan;
        reportFd_ = reportFd;
        forked_ = false;
        changed_.notify_all();
        changed_.wait(lock, [this] { return forked_; });
        plan_ = nullptr;
        errno = error_;
        return pid_;
    }

private:
    CgroupLauncher() {
        const SandboxCgroup* cgroup = SandboxMemoryCgroup();
        if (cgroup == nullptr || cgroup->unified) {
            return;
        }
        thread_ = std::thread([this, tasks = cgroup->directory + "/tasks"] { Serve(tasks); });
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }

    void Serve(const std::string& tasks) {
        const std::string tid = std::to_string(static_cast<long>(syscall(SYS_gettid)));
        const int fd = open(tasks.c_str(), O_WRONLY | O_CLOEXEC);
        const bool entered = fd >= 0 && write(fd, tid.data(), tid.size()) == static_cast<ssize_t>(tid.size());
        if (fd >= 0) {
            close(fd);
        }
        std::unique_lock lock(mutex_);
        entered_ = entered;
        started_ = true;
        changed_.notify_all();
        while (entered) {
            changed_.wait(lock, [this] { return stopping_ || (plan_ != nullptr && !forked_); });
            if (stopping_) {
                return;
            }
            pid_ = fork();
            if (pid_ == 0) {
                SupervisorMain(*plan_, reportFd_);
            }
            error_ = errno;
            forked_ = true;
            changed_.notify_all();
        }
    }

    const pid_t owner_ = getpid();
    std::mutex calls_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    bool started_ = false;
    bool entered_ = false;
    bool stopping_ = false;
    const LaunchPlan* plan_ = nullptr;
    int reportFd_ = -1;
    bool forked_ = false;
    pid_t pid_ = -1;
    int error_ = 0;
};

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

// Where a path the child names lies on the machine: itself, or through the sandbox's mounts.
using MachinePath = std::string (*)(const ChildRequest&, const std::string&);

std::string SamePath(const ChildRequest&, const std::string& path) {
    return path;
}

std::string ThroughSandbox(const ChildRequest& request, const std::string& path) {
    return MachinePathOf(*request.sandbox, path);
}

// The program's path as the child's exec would find it: names with a "/" as they are, others in the PATH.
// Empty when there is no such executable file.
std::string ResolveProgram(const ChildRequest& request, const std::string& searchPath,
                           MachinePath onMachine) {
    const std::string& name = request.arguments.front();
    const auto executable = [&](const std::string& path) {
        const std::string machinePath = onMachine(request, path);
        return !machinePath.empty() && IsExecutableFile(machinePath);
    };
    if (name.find('/') != std::string::npos) {
        const std::string path = RelativeTo(request.workingDirectory, name);
        return executable(path) ? onMachine(request, path) : std::string();
    }
    size_t begin = 0;
    for (;;) {
        size_t end = searchPath.find(':', begin);
        std::string directory = searchPath.substr(begin, end == std::string::npos ? end : end - begin);
        std::string candidate =
            RelativeTo(request.workingDirectory, (directory.empty() ? "." : directory) + "/" + name);
        if (executable(candidate)) {
            return onMachine(request, candidate);
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

// A sandboxed child's environment: nothing of the daemon's but the locale.
std::vector<std::string> SandboxEnvironment(const std::string& childPath) {
    std::vector<std::string> environment{"PATH=" + childPath, "HOME=/tmp", "TMPDIR=/tmp"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "LANG=", 5) == 0 || std::strncmp(*entry, "LC_", 3) == 0) {
            environment.emplace_back(*entry);
        }
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

// The user "nobody", whom a root daemon's untrusted children run as.
void UseNobody(LaunchPlan& plan) {
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
}

// Hands a directory tree to the user the sandbox runs as, without following links.
void GiveTree(const std::string& directory, uid_t uid, gid_t gid) {
    namespace fs = std::filesystem;
    std::error_code error;
    lchown(directory.c_str(), uid, gid);
    for (fs::recursive_directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        lchown(it->path().c_str(), uid, gid);
    }
}

// What the caller keeps of a sandboxed launch until the child has ended.
struct SandboxLaunch {
    std::vector<std::string> stageTargets;
    std::vector<const char*> stageSources;
    std::vector<const char*> stageTargetPointers;
    std::string cgroupProcesses;
    FileDescriptor infoRead;
    FileDescriptor infoWrite;
};

// Prepares bwrap's start: the command line replaces the request's, a root daemon's mounts are staged and
// their writable sources handed to "nobody", the cgroup is entered by the child itself where no launcher
// thread sits in it. False (errno set)
// when no sandbox can be made.
bool PrepareSandbox(const ChildRequest& request, const std::string& childPath,
                    std::vector<std::string>& arguments, LaunchPlan& plan, SandboxLaunch& launch) {
    const std::string tool = SandboxTool();
    if (tool.empty()) {
        errno = ENOENT;
        return false;
    }
    const SandboxLayout& layout = *request.sandbox;
    std::vector<std::string> sources;
    if (geteuid() == 0) {
        UseNobody(plan);
        for (std::size_t i = 0; i < layout.mounts.size(); ++i) {
            launch.stageTargets.push_back(std::string(kStagingRoot) + "/" + std::to_string(i));
            launch.stageSources.push_back(layout.mounts[i].source.c_str());
            if (layout.mounts[i].writable) {
                GiveTree(layout.mounts[i].source, plan.uid, plan.gid);
            }
        }
        for (const std::string& target : launch.stageTargets) {
            launch.stageTargetPointers.push_back(target.c_str());
        }
        sources = launch.stageTargets;
        plan.stageSources = launch.stageSources.data();
        plan.stageTargets = launch.stageTargetPointers.data();
        plan.stageCount = static_cast<int>(layout.mounts.size());
    } else {
        for (const SandboxMount& mount : layout.mounts) {
            sources.push_back(mount.source);
        }
    }
    int info[2];
    if (pipe2(info, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    launch.infoRead.reset(info[0]);
    launch.infoWrite.reset(info[1]);
    plan.infoFd = launch.infoWrite.get();
    const SandboxCgroup* cgroup = SandboxMemoryCgroup();
    if (cgroup != nullptr && CgroupLauncher::Instance() == nullptr) {
        launch.cgroupProcesses = cgroup->directory + "/cgroup.procs";
        plan.cgroupProcesses = launch.cgroupProcesses.c_str();
    }
    arguments =
        SandboxCommandLine(tool, layout, sources, request.workingDirectory, SandboxEnvironment(childPath),
                           request.arguments, InfoFd(plan.inheritedCount));
    plan.sandboxed = true;
    plan.workingDirectory = "/";
    return true;
}

// True when bwrap said it had made the sandbox.
bool SandboxWasMade(const SandboxLaunch& launch) {
    char byte;
    return read(launch.infoRead.get(), &byte, 1) == 1;
}

} // namespace

bool StartDetached(const std::vector<std::string>& arguments, int* error) {
    const auto fail = [error](int code) {
        if (error != nullptr) {
            *error = code;
        }
        return false;
    };
    if (arguments.empty()) {
        return fail(ENOENT);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // The exec's failure comes back through a pipe that a successful exec closes.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return fail(errno);
    }
    const pid_t middle = fork();
    if (middle < 0) {
        const int code = errno;
        close(report[0]);
        close(report[1]);
        return fail(code);
    }
    if (middle == 0) {
        // The grandchild is adopted by init: this process never has to reap it, and it outlives us.
        setsid();
        if (fork() != 0) {
            _exit(0);
        }
        const int null = open("/dev/null", O_RDWR);
        for (int stream = 0; stream < 3 && null >= 0; ++stream) {
            dup2(null, stream);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execvp(argv[0], argv.data());
        const int code = errno;
        ssize_t ignored = write(report[1], &code, sizeof code);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int code = 0;
    ssize_t got;
    while ((got = read(report[0], &code, sizeof code)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof code)) {
        return fail(code);
    }
    if (error != nullptr) {
        *error = 0;
    }
    return true;
}

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
                               O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (output.get() < 0) {
        return Failure(ChildOutcome::OutputNotCreated, errno);
    }
    FileDescriptor nullDevice(request.errorToOutput ? -1 : open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (request.arguments.empty() || request.inheritedDescriptors.size() > kMaxInheritedFds ||
        (request.sandbox && !request.writableDirectories.empty())) {
        return Failure(ChildOutcome::NotStarted, EINVAL);
    }

    const bool sandboxed = request.sandbox.has_value();
    std::string childPath = sandboxed ? "/usr/local/bin:/usr/bin:/bin" : CurrentPath();
    if (!request.pathPrefix.empty()) {
        childPath = childPath.empty() ? request.pathPrefix : request.pathPrefix + ":" + childPath;
    }
    std::string programPath = ResolveProgram(request, childPath, sandboxed ? ThroughSandbox : SamePath);
    if (programPath.empty()) {
        return Failure(ChildOutcome::NotStarted, ENOENT);
    }
    std::vector<std::string> arguments = request.arguments;
    const std::string temporaryDirectory =
        request.writableDirectories.empty() ? std::string() : request.writableDirectories.front();
    std::vector<std::string> environment =
        sandboxed ? SandboxEnvironment(childPath) : ChildEnvironment(childPath, temporaryDirectory);

    LaunchPlan plan;
    plan.inputFd = input.get();
    plan.outputFd = output.get();
    plan.errorFd = request.errorToOutput ? output.get() : nullDevice.get();
    plan.workingDirectory = request.workingDirectory.c_str();
    plan.timeLimitMs = static_cast<long>(request.timeLimit.count());
    plan.confined = request.confined;
    plan.inheritedFds = request.inheritedDescriptors.data();
    plan.inheritedCount = static_cast<int>(request.inheritedDescriptors.size());
    plan.caller = getpid();

    SandboxLaunch launch;
    if (sandboxed) {
        if (!PrepareSandbox(request, childPath, arguments, plan, launch)) {
            return Failure(ChildOutcome::SandboxFailed, errno);
        }
        programPath = arguments.front();
    }
    plan.programPath = programPath.c_str();
    std::vector<char*> argv = PointersTo(arguments);
    std::vector<char*> envp = PointersTo(environment);
    plan.argv = argv.data();
    plan.envp = envp.data();

    FileDescriptor program;
    // A sandbox's user was chosen with its mounts, and its first process caps its processes.
    if (request.confined && !sandboxed) {
        uid_t uid = getuid();
        if (geteuid() == 0) {
            UseNobody(plan);
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
    CgroupLauncher* launcher = sandboxed ? CgroupLauncher::Instance() : nullptr;
    pid_t supervisor = launcher != nullptr ? launcher->Fork(plan, reportWrite.get()) : fork();
    if (supervisor == 0) {
        SupervisorMain(plan, reportWrite.get());
    }
    if (supervisor < 0) {
        return Failure(ChildOutcome::NotStarted, errno);
    }
    reportWrite.reset();
    launch.infoWrite.reset();

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
    if (sandboxed && (result.outcome == ChildOutcome::NotStarted || !SandboxWasMade(launch))) {
        result.outcome = ChildOutcome::SandboxFailed;
        result.exitCode = -1;
    }
    return result;
}

} // namespace tarvel
