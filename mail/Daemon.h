#pragma once
// The receiving daemon: one worker thread that empties the submission mailbox while the teacher lets it run.
// Each cycle takes at most one mail (first one left in the mail archive by a cycle that was cut off, else
// message 1 of the POP3 mailbox), passes it through the intake and the verdict stage and files it in the
// archive (MailArchive.h). Between empty polls the worker sleeps one second. The two flags are the only
// coordination with the thread that starts and stops it.

#include "mail/Intake.h"
#include "mail/MailClient.h"
#include "mail/Verdict.h"
#include "store/Database.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

namespace tarvel {

// The pause after a cycle that fetched nothing.
inline constexpr std::chrono::milliseconds kDaemonPollInterval{1000};
// How often the stop command looks at daemonStopped.
inline constexpr std::chrono::milliseconds kDaemonStopPollStep{100};

// Where a cycle spent its time, for whoever watches the daemon's pace.
struct CycleTimes {
    std::chrono::steady_clock::duration fetch{};   // the POP3 dialogue, keeping the mail included
    std::chrono::steady_clock::duration keep{};    // writing the mail durably into the archive
    std::chrono::steady_clock::duration intake{};  // unpacking, rendering, identity, deadline rule, storing
    std::chrono::steady_clock::duration verdict{}; // build and test, analysis, the verdict mail
    std::chrono::steady_clock::duration filing{};  // moving the mail into done/ or dropped/
};

// What became of one mail the daemon took, for whoever watches it (zord's log line).
struct DaemonMail {
    std::string archivedName; // the mail's file name in the archive
    bool interrupted = false; // taken from mail/, where a cycle that was cut off had left it
    bool resumed = false;     // its intake had ended before the interruption: only the verdict stage ran
    bool duplicate = false; // fetched again after it had been archived: deleted on the server, not processed
    bool oversized = false; // larger than the fetch limit: its first part filed in dropped/, not processed
    bool filed = false;     // moved into done/ or dropped/ (false: it stays in mail/ and is retried)
    Submission submission;
    CycleTimes times;
};

using MailObserver = std::function<void(const DaemonMail&)>;

// Hears how each poll's POP3 dialogue ended: an empty text when it reached the mailbox (empty or not), else
// why it did not (the server unreachable, a certificate or password refused, ...). Called on the worker.
using MailboxObserver = std::function<void(const std::string& failure)>;

// The observer passed on only the changes: the first failure, a different one, and the first poll that
// reaches the mailbox again after a failure (an empty text). A daemon whose server is down for an hour thus
// says so once, not once a second. Copies share what was last passed on.
MailboxObserver OncePerChange(MailboxObserver observer);

// One line saying what became of the mail: "UNID 12345 task 1: accepted (stored as version 1, late 0),
// test 0", with what the daemon did besides (a duplicate, an oversized mail, a resumed cycle, a mail it
// could not file).
std::string DescribeDaemonMail(const DaemonMail& mail);

// Everything a cycle works with besides the configuration file's values. The seams (clock, child processes,
// mail delivery) default to the real ones.
struct DaemonContext {
    Database& db;           // the store of the current database; its path may change between cycles
    std::string configPath; // zor.ini: zorpath once per start, the mail settings every cycle
    MailObserver observe;   // called after each mail the cycle took; may be empty
    // Called when a mail's intake has ended, before its tests, analysis and verdict mail; may be empty.
    MailObserver intakeEnded = {};
    MailboxObserver mailboxPolled = {}; // called after every POP3 dialogue; may be empty
    std::chrono::milliseconds mailTimeout = kMailTimeout;
    std::size_t maxMailBytes = kMaxFetchedMessage; // a larger mail is filed in dropped/ unprocessed
    std::function<LocalDate()> today = Today;
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };
    ProcessLauncher launcher = RunChild; // the rendering step, the compiler, make and the student's program
    MailDelivery send = {};              // none: SendMail as the mail settings say
};

// The process-wide daemon state: the two flags and the worker thread. Destroying it while the worker runs
// stops it first (the cycle in progress ends), as the stop command does.
struct Daemon {
    std::atomic<int> daemonRun{0};     // written by the starting side: the worker is to go on polling
    std::atomic<int> daemonStopped{0}; // written by the worker when it has left its loop
    std::thread worker;

    Daemon() = default;
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;
    ~Daemon();
};

// Which menu and toolbar the main window shows: the normal ones (resource 140) or the daemon's (141).
enum class DaemonMenu { Normal, Daemon };
using MenuSwitch = std::function<void(DaemonMenu)>;

// The start command: daemonRun 1, daemonStopped 0, the daemon menu, then the worker thread. A worker that is
// still running is left alone (false); one that has ended is joined first. The switch may be empty.
bool StartDaemon(Daemon& daemon, const DaemonContext& context, const MenuSwitch& switchMenu);

// The stop command: daemonRun 0; unless daemonStopped is already 1, waits in steps of kDaemonStopPollStep
// until the worker has ended its current cycle; then the normal menu. Returns at once when no worker ran.
void StopDaemon(Daemon& daemon, const MenuSwitch& switchMenu);

// The worker's body: reads zorpath once, then runs cycles while daemonRun is 1, sleeping kDaemonPollInterval
// after a cycle that took no mail (the sleep ends early when daemonRun is cleared). Sets daemonStopped last
// of all. Returns 0.
int DaemonThread(Daemon& daemon, const DaemonContext& context);

// One poll: 1 when a mail was taken (from the archive or the mailbox), whatever became of it; 0 when none
// was (empty mailbox, server unreachable, login refused, the mail could not be archived, or another daemon
// of the same installation is in its cycle).
int DaemonCycle(const DaemonContext& context, const std::string& zorpath);

} // namespace tarvel
