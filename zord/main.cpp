// zord: the receiving daemon without a window, for a teacher who leaves it running on a server all term. It
// reads the same zor.ini as zor, runs the daemon's cycles until SIGINT or SIGTERM (the cycle in progress ends
// first, as with "St&op preberania") and prints one line per mail it took to standard output.

#include "mail/Daemon.h"
#include "platform/FileOps.h"
#include "shell/Config.h"
#include "shell/Settings.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace {

using namespace tarvel;

struct Options {
    std::string configPath;
    bool help = false;
};

void PrintUsage(std::FILE* stream) {
    std::fprintf(stream,
                 "usage: zord [--config FILE]\n"
                 "Receives submissions by mail until SIGINT or SIGTERM; one line per mail on standard "
                 "output.\n"
                 "  --config FILE  the configuration file (default: %s)\n",
                 DefaultConfigPath().c_str());
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--config" && i + 1 < argc) {
            options.configPath = argv[++i];
        } else if (argument.starts_with("--config=")) {
            options.configPath = std::string(argument.substr(9));
        } else {
            std::fprintf(stderr, "zord: unknown argument '%s'\n", argv[i]);
            return false;
        }
    }
    if (options.configPath.empty()) {
        options.configPath = DefaultConfigPath();
    }
    return true;
}

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// "2026-01-07 13:45:02 UNID 12345 task 1: accepted (stored as version 1, late 0), test 0".
void PrintMailLine(const DaemonMail& mail) {
    std::printf("%s %s\n", LocalTimeNow().c_str(), DescribeDaemonMail(mail).c_str());
    std::fflush(stdout);
}

// Standard error, once per change: "2026-01-07 13:45:02 mailbox not read: cannot connect to the POP3 server
// mail.uni.sk", then "... mailbox read again" at the first poll that reaches it.
void PrintMailboxChange(const std::string& failure) {
    if (failure.empty()) {
        std::fprintf(stderr, "zord: %s mailbox read again\n", LocalTimeNow().c_str());
    } else {
        std::fprintf(stderr, "zord: %s mailbox not read: %s\n", LocalTimeNow().c_str(), failure.c_str());
    }
}

// A daemon needs a real installation: a missing file or database would only make it poll in vain.
bool CheckInstallation(const std::string& configPath, Database& db, std::string& zorpath) {
    if (!IsRegularFile(configPath)) {
        std::fprintf(stderr, "zord: configuration file %s not found (scripts/install writes it)\n",
                     configPath.c_str());
        return false;
    }
    if (!db.LoadPath() || !IsDirectory(db.Path())) {
        std::fprintf(stderr, "zord: the database directory '%s' (dbpath in %s) does not exist\n",
                     db.Path().c_str(), configPath.c_str());
        return false;
    }
    zorpath = DaemonInstallationPath(configPath);
    if (!IsDirectory(zorpath)) {
        std::fprintf(stderr, "zord: the installation directory '%s' (zorpath in %s) does not exist\n",
                     zorpath.c_str(), configPath.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage(stderr);
        return 2;
    }
    if (options.help) {
        PrintUsage(stdout);
        return 0;
    }
    Database db(options.configPath);
    std::string zorpath;
    if (!CheckInstallation(options.configPath, db, zorpath)) {
        return 1;
    }

    // The signals are taken by sigwait below; blocked before the worker exists, so it inherits the mask and
    // a signal never interrupts a cycle.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    DaemonContext context{db, options.configPath, PrintMailLine};
    context.mailboxPolled = OncePerChange(PrintMailboxChange);
    Daemon daemon;
    StartDaemon(daemon, context, {});
    std::fprintf(stderr, "zord: receiving submissions for %s (installation %s)\n", db.Path().c_str(),
                 zorpath.c_str());
    std::fprintf(stderr, "zord: %s\n", DescribeContainment(options.configPath).c_str());

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::fprintf(stderr, "zord: %s received, stopping after the current cycle\n",
                 signal == SIGINT ? "SIGINT" : "SIGTERM");
    StopDaemon(daemon, {});
    std::fprintf(stderr, "zord: stopped\n");
    return 0;
}
