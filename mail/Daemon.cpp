#include "mail/Daemon.h"

#include "mail/MailArchive.h"
#include "mail/MailClient.h"
#include "platform/FileOps.h"
#include "shell/Settings.h"
#include "store/Results.h"
#include "store/Students.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

namespace tarvel {
namespace {

// How often the sleeping worker looks at daemonRun, so that a stop need not wait out the whole pause.
constexpr std::chrono::milliseconds kSleepStep{50};

// Adds the time from its construction to its destruction to a duration.
class Stopwatch {
public:
    explicit Stopwatch(std::chrono::steady_clock::duration& total)
        : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~Stopwatch() { total_ += std::chrono::steady_clock::now() - start_; }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    std::chrono::steady_clock::duration& total_;
    std::chrono::steady_clock::time_point start_;
};

// Fetches message 1 into the archive. The keeper runs before DELE: a new mail is written durably first, a
// mail already archived is only marked as a duplicate; either way the server may delete it. True when a mail
// was taken, even when the dialogue failed after the keeper (the server then hands it out again, and the
// next cycle recognises it).
bool FetchIntoArchive(const DaemonContext& context, const MailSettings& settings, const std::string& zorpath,
                      DaemonMail& mail, std::string& text) {
    const MessageKeeper keeper = [&](const std::string& fetched, const FetchProgress& fetch) {
        const Stopwatch keeping(mail.times.keep);
        const std::string identity = MailIdentity(fetched);
        if (FindArchivedMail(zorpath, identity, mail.archivedName)) {
            mail.duplicate = true;
            return true;
        }
        if (!fetch.cutOff) {
            return KeepFetchedMail(zorpath, fetched, identity, mail.archivedName);
        }
        mail.oversized = true;
        mail.submission.reason = "mail of " + std::to_string(fetch.size) + " bytes over the limit of " +
                                 std::to_string(context.maxMailBytes) + " bytes: its first " +
                                 std::to_string(fetched.size()) + " bytes kept, not processed";
        return KeepOversizedMail(zorpath, fetched, identity, mail.submission.reason, mail.archivedName);
    };
    const Stopwatch fetching(mail.times.fetch);
    FetchProgress progress;
    FetchMail(settings.pop3, settings.user, settings.password, text, keeper, progress, context.mailTimeout,
              context.maxMailBytes, {settings.pop3Security, settings.caFile});
    if (context.mailboxPolled) {
        context.mailboxPolled(progress.failure);
    }
    mail.filed = mail.oversized && progress.kept;
    return progress.kept;
}

// A mail whose intake had ended before its cycle was cut off: the records it stored are read back, so that
// the submission is not stored (and counted) a second time.
bool ResumeAfterIntake(const DaemonContext& context, const std::string& zorpath, const std::string& name,
                       Submission& submission) {
    return ReadIntakeRecord(zorpath, name, submission) &&
           LoadStudent(context.db, submission.id, submission.student) &&
           (submission.outcome != IntakeOutcome::Accepted ||
            LoadResult(context.db, submission.task, submission.id, submission.result));
}

void ProcessMail(const DaemonContext& context, const MailSettings& settings, const std::string& zorpath,
                 const std::string& text, DaemonMail& mail) {
    Submission& submission = mail.submission;
    auto lapStart = std::chrono::steady_clock::now();
    const auto lap = [&lapStart](std::chrono::steady_clock::duration& stage) {
        const auto now = std::chrono::steady_clock::now();
        stage += now - lapStart;
        lapStart = now;
    };
    if (mail.interrupted && ResumeAfterIntake(context, zorpath, mail.archivedName, submission)) {
        mail.resumed = true;
    } else if (text.empty()) {
        submission = Submission{};
        submission.reason = "archived mail " + mail.archivedName + " unreadable";
    } else {
        const IntakeContext intake{context.db, zorpath, context.today, context.launcher};
        IntakeSubmission(intake, text, submission);
        WriteIntakeRecord(zorpath, mail.archivedName, submission);
    }
    const VerdictContext verdict{
        context.db,      context.configPath, zorpath,       settings.smtp,
        settings.user,   settings.pop3,      context.clock, ChosenDelivery(context.send, settings),
        context.launcher};
    lap(mail.times.intake);
    if (context.intakeEnded) {
        context.intakeEnded(mail);
    }
    RunVerdictStage(verdict, submission);
    lap(mail.times.verdict);
    mail.filed = submission.outcome == IntakeOutcome::Failed
                     ? FileMailDropped(zorpath, mail.archivedName, submission.reason)
                     : FileMailDone(zorpath, mail.archivedName);
    RemoveIntakeRecord(zorpath, mail.archivedName);
    if (mail.filed) {
        RemoveAttempts(zorpath, mail.archivedName);
    }
    lap(mail.times.filing);
}

// A mail whose processing was cut off kMaxInterruptedAttempts times is most likely what cut it off: it is
// dropped unprocessed, so that the mails after it are taken. Its count stays while it cannot be filed, so
// that it is not processed again then either.
void SetAside(const std::string& zorpath, DaemonMail& mail) {
    const Stopwatch filing(mail.times.filing);
    mail.submission = Submission{};
    mail.submission.reason = "interrupted " + std::to_string(kMaxInterruptedAttempts) + " times";
    mail.filed = FileMailDropped(zorpath, mail.archivedName, mail.submission.reason);
    RemoveIntakeRecord(zorpath, mail.archivedName);
    if (mail.filed) {
        RemoveAttempts(zorpath, mail.archivedName);
    }
}

void SleepUnlessStopped(const Daemon& daemon) {
    for (auto slept = std::chrono::milliseconds(0); slept < kDaemonPollInterval && daemon.daemonRun == 1;
         slept += kSleepStep) {
        std::this_thread::sleep_for(kSleepStep);
    }
}

} // namespace

MailboxObserver OncePerChange(MailboxObserver observer) {
    auto told = std::make_shared<std::string>();
    return [observer = std::move(observer), told](const std::string& failure) {
        if (failure != *told) {
            *told = failure;
            observer(failure);
        }
    };
}

std::string DescribeDaemonMail(const DaemonMail& mail) {
    if (mail.duplicate) {
        return "duplicate of " + mail.archivedName + ": already processed, deleted from the mailbox";
    }
    if (mail.oversized) {
        return mail.submission.reason + "; filed in dropped/ " + mail.archivedName +
               ", deleted from the mailbox";
    }
    std::string line = DescribeSubmission(mail.submission);
    if (mail.resumed) {
        line += ", resumed at the verdict stage after an interruption";
    } else if (mail.interrupted) {
        line += ", taken again after an interruption";
    }
    if (!mail.filed) {
        line += ", could not be filed: stays in mail/ " + mail.archivedName;
    }
    return line;
}

Daemon::~Daemon() {
    daemonRun = 0;
    if (worker.joinable()) {
        worker.join();
    }
}

bool StartDaemon(Daemon& daemon, const DaemonContext& context, const MenuSwitch& switchMenu) {
    if (daemon.worker.joinable()) {
        if (daemon.daemonStopped != 1) {
            return false;
        }
        daemon.worker.join();
    }
    daemon.daemonRun = 1;
    daemon.daemonStopped = 0;
    if (switchMenu) {
        switchMenu(DaemonMenu::Daemon);
    }
    daemon.worker = std::thread([&daemon, context] { DaemonThread(daemon, context); });
    return true;
}

void StopDaemon(Daemon& daemon, const MenuSwitch& switchMenu) {
    daemon.daemonRun = 0;
    if (daemon.worker.joinable()) {
        while (daemon.daemonStopped != 1) {
            std::this_thread::sleep_for(kDaemonStopPollStep);
        }
        daemon.worker.join();
    }
    if (switchMenu) {
        switchMenu(DaemonMenu::Normal);
    }
}

int DaemonThread(Daemon& daemon, const DaemonContext& context) {
    const std::string zorpath = DaemonInstallationPath(context.configPath);
    while (daemon.daemonRun == 1) {
        if (DaemonCycle(context, zorpath) == 0) {
            SleepUnlessStopped(daemon);
        }
    }
    daemon.daemonStopped = 1;
    return 0;
}

int DaemonCycle(const DaemonContext& context, const std::string& zorpath) {
    if (!PrepareMailArchive(zorpath)) {
        return 0;
    }
    const ArchiveLock lock(zorpath);
    if (!lock.Held()) {
        return 0;
    }
    const MailSettings settings = ReadMailSettings(context.configPath);
    DaemonMail mail;
    std::string text;
    if (OldestWaitingMail(zorpath, mail.archivedName)) {
        mail.interrupted = true;
        if (!ReadWholeFile(WaitingMailPath(zorpath, mail.archivedName), text, context.maxMailBytes)) {
            text.clear();
        }
    } else if (!FetchIntoArchive(context, settings, zorpath, mail, text)) {
        return 0;
    }
    if (!mail.duplicate && !mail.oversized) {
        // Counted before anything runs on it, so that an attempt which kills the process is counted as well.
        if (CountAttempt(zorpath, mail.archivedName) > kMaxInterruptedAttempts && mail.interrupted) {
            SetAside(zorpath, mail);
        } else {
            ProcessMail(context, settings, zorpath, text, mail);
        }
    }
    if (context.observe) {
        context.observe(mail);
    }
    return 1;
}

} // namespace tarvel
