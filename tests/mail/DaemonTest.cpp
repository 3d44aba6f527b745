// The receiving daemon's loop, flags and archive against an in-process POP3 mailbox. The mails here carry no
// archive, so each intake fails quickly and its mail lands in mail/dropped/: what is tested is which mail is
// taken when, and that none is lost or taken twice.

#include "mail/Daemon.h"
#include "mail/MailArchive.h"
#include "mail/MailMessage.h"
#include "platform/FileOps.h"
#include "shell/Config.h"
#include "store/Students.h"

#include "mail/FakeMailbox.h"
#include "mail/SubmissionMail.h"
#include "support/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>
#include <map>
#include <mutex>

namespace tarvel {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A loopback port that nothing listens on: a mail server that is down.
std::string ClosedPortSetting() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

std::string MailWithoutArchive(int number) {
    return "Message-Id: <" + std::to_string(number) + ".daemon@tarvel.test>\n" +
           PlainMail("Posielam zadanie " + std::to_string(number) + ", ale bez prilohy.\n");
}

std::size_t FilesIn(const std::string& dir, std::string_view pattern = kArchivedMailPattern) {
    return ListMatching(dir, pattern).size();
}

// Every regular file below root with its content, to tell whether a cycle changed the store.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().string()] = ReadBytes(entry.path().string());
        }
    }
    return files;
}

// Thrown by a seam to stand for the daemon dying in the middle of a cycle.
struct Killed {};

class DaemonTest : public ::testing::Test {
protected:
    DaemonTest() {
        namespace fs = std::filesystem;
        fs::copy(SourceDir() + "/install/empty.db", dir / "db", fs::copy_options::recursive);
        fs::create_directories(dir / "db/students");
        fs::create_directories(dir / "db/tasks");
        fs::create_directories(dir / "zor");
        db.UsePath(dir / "db");
        WriteConfig(config, "dbase", "zorpath", Zorpath());
        WriteConfig(config, "dbase", "dbpath", dir / "db");
        WriteConfig(config, "mails", "pop3", mailbox.HostSetting());
        WriteConfig(config, "mails", "smtp", ClosedPortSetting());
        WriteConfig(config, "mails", "user", "zor");
        WriteConfig(config, "mails", "pass", "tarvel", true);
    }

    std::string Zorpath() const { return dir / "zor"; }

    DaemonContext Context() {
        DaemonContext context{db, config, [this](const DaemonMail& mail) {
                                  std::lock_guard lock(mutex);
                                  taken.push_back({mail, Clock::now()});
                              }};
        context.mailTimeout = 5s;
        return context;
    }

    struct Taken {
        DaemonMail mail;
        Clock::time_point when;
    };
    std::vector<Taken> Mails() {
        std::lock_guard lock(mutex);
        return taken;
    }
    bool WaitForMails(std::size_t count, Clock::duration limit = 10s) {
        const auto deadline = Clock::now() + limit;
        while (Mails().size() < count && Clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        return Mails().size() >= count;
    }
    // A mail that a daemon cut off had written into mail/ before it was deleted on the server.
    std::string LeaveWaitingMail(const std::string& zorpath, const std::string& name, int number) {
        EXPECT_TRUE(PrepareMailArchive(zorpath));
        WriteBytes(WaitingMailPath(zorpath, name), RetrievalText(MailWithoutArchive(number)));
        return name;
    }
    // The intake's decision for a newly added student whose submission was refused: a cycle resumes it at
    // the verdict stage, which mails the refusal and files the mail in done/.
    Submission RefusedSubmission() {
        StudentRecord student;
        EXPECT_TRUE(
            AddStudent(db, "12345", "J\xE1n", "Nov\xE1k", "student1@tarvel.test", "1", "A1", student));
        Submission decided;
        decided.outcome = IntakeOutcome::Refused;
        decided.unid = student.unid;
        decided.id = student.id;
        decided.task = "1";
        decided.reason = "task 1 not assigned";
        decided.reply = "\nMily J\xE1n Nov\xE1k(12345).\n\nTvoje zadanie (1) bolo prijate.\nAle nebolo "
                        "akceptovane na testovanie.";
        return decided;
    }

    TempDir dir;
    std::string config = dir / "zor.ini";
    Database db{config};
    FakeMailbox mailbox;
    Daemon daemon;
    std::mutex mutex;
    std::vector<Taken> taken;
};

TEST_F(DaemonTest, FiveWaitingMailsGiveFiveCyclesInARowThenOnePollASecond) {
    for (int i = 1; i <= 5; ++i) {
        mailbox.Add(MailWithoutArchive(i));
    }
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    ASSERT_TRUE(WaitForMails(5));
    std::this_thread::sleep_for(2300ms);
    StopDaemon(daemon, {});

    const auto mails = Mails();
    ASSERT_EQ(mails.size(), 5u);
    for (std::size_t i = 0; i < mails.size(); ++i) {
        EXPECT_FALSE(mails[i].mail.duplicate);
        EXPECT_TRUE(mails[i].mail.filed);
        EXPECT_EQ(mails[i].mail.submission.outcome, IntakeOutcome::Failed);
        if (i > 0) {
            EXPECT_LT(mails[i].when - mails[i - 1].when, 500ms) << "a pause before mail " << i + 1;
        }
    }
    EXPECT_EQ(mailbox.Count(), 0u);
    EXPECT_EQ(FilesIn(DroppedDirectory(Zorpath())), 5u);
    EXPECT_EQ(FilesIn(DroppedDirectory(Zorpath()), "*.reason"), 5u);
    EXPECT_EQ(FilesIn(MailArchiveDirectory(Zorpath())), 0u);

    // Sessions 1-5 took the mails, session 6 found the mailbox empty; then one poll a second.
    const auto sessions = mailbox.Sessions();
    ASSERT_GE(sessions.size(), 8u);
    for (std::size_t i = 6; i < sessions.size(); ++i) {
        EXPECT_GE(sessions[i] - sessions[i - 1], 950ms);
        EXPECT_LT(sessions[i] - sessions[i - 1], 1300ms);
    }
}

TEST_F(DaemonTest, StoppingWhileItSleepsReturnsWithin1100MsAndSwitchesTheMenuBack) {
    std::vector<DaemonMenu> menus;
    const MenuSwitch record = [&](DaemonMenu menu) { menus.push_back(menu); };
    ASSERT_TRUE(StartDaemon(daemon, Context(), record));
    EXPECT_EQ(daemon.daemonRun, 1);
    EXPECT_EQ(daemon.daemonStopped, 0);
    std::this_thread::sleep_for(300ms);

    const auto start = Clock::now();
    StopDaemon(daemon, record);
    EXPECT_LT(Clock::now() - start, 1100ms);
    EXPECT_EQ(daemon.daemonRun, 0);
    EXPECT_EQ(daemon.daemonStopped, 1);
    EXPECT_EQ(menus, (std::vector{DaemonMenu::Daemon, DaemonMenu::Normal}));
}

TEST_F(DaemonTest, StopWhenAlreadyStoppedReturnsAtOnce) {
    auto start = Clock::now();
    StopDaemon(daemon, {});
    EXPECT_LT(Clock::now() - start, 50ms) << "never started";

    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    StopDaemon(daemon, {});
    start = Clock::now();
    StopDaemon(daemon, {});
    EXPECT_LT(Clock::now() - start, 50ms) << "stopped before";
    EXPECT_EQ(daemon.daemonStopped, 1);
}

TEST_F(DaemonTest, AStartWhileTheWorkerRunsIsRefused) {
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    EXPECT_FALSE(StartDaemon(daemon, Context(), {}));
    StopDaemon(daemon, {});
    EXPECT_TRUE(StartDaemon(daemon, Context(), {}));
    StopDaemon(daemon, {});
}

TEST_F(DaemonTest, StartStopStartRunsAFreshWorkerThatReadsZorpathAnew) {
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    std::this_thread::sleep_for(100ms);
    StopDaemon(daemon, {});

    const std::string second = dir / "zor2";
    const std::string name = LeaveWaitingMail(second, "20000101-000000-000000-0000000000000001.mail", 1);
    ASSERT_TRUE(WriteConfig(config, "dbase", "zorpath", second));
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    ASSERT_TRUE(WaitForMails(1));
    StopDaemon(daemon, {});

    const auto mails = Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_TRUE(mails[0].mail.interrupted);
    EXPECT_EQ(mails[0].mail.archivedName, name);
    EXPECT_TRUE(IsRegularFile(JoinPath(DroppedDirectory(second), name)));
    EXPECT_EQ(FilesIn(DroppedDirectory(Zorpath())), 0u);
}

TEST_F(DaemonTest, AServerThatIsDownLeavesTheDaemonPolling) {
    ASSERT_TRUE(WriteConfig(config, "mails", "pop3", ClosedPortSetting()));
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(daemon.daemonRun, 1);
    EXPECT_EQ(daemon.daemonStopped, 0);
    const auto start = Clock::now();
    StopDaemon(daemon, {});
    EXPECT_LT(Clock::now() - start, 1100ms);
    EXPECT_TRUE(Mails().empty());
}

TEST_F(DaemonTest, AServerThatTurnsEverySessionAwayIsPolledOnceASecond) {
    mailbox.TurnAway();
    mailbox.Add(MailWithoutArchive(1));
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    std::this_thread::sleep_for(3500ms);
    StopDaemon(daemon, {});

    const auto sessions = mailbox.Sessions();
    ASSERT_GE(sessions.size(), 3u);
    ASSERT_LE(sessions.size(), 5u);
    for (std::size_t i = 1; i < sessions.size(); ++i) {
        EXPECT_GE(sessions[i] - sessions[i - 1], 950ms);
        EXPECT_LT(sessions[i] - sessions[i - 1], 1300ms);
    }
    EXPECT_TRUE(Mails().empty());
    EXPECT_EQ(mailbox.Count(), 1u);
}

TEST_F(DaemonTest, AMailLeftInTheArchiveIsProcessedBeforeTheMailbox) {
    mailbox.Add(MailWithoutArchive(2));
    const std::string later = LeaveWaitingMail(Zorpath(), "20000101-000000-000009-0000000000000009.mail", 9);
    const std::string earlier =
        LeaveWaitingMail(Zorpath(), "20000101-000000-000001-0000000000000001.mail", 1);
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    ASSERT_TRUE(WaitForMails(3));
    StopDaemon(daemon, {});

    const auto mails = Mails();
    ASSERT_EQ(mails.size(), 3u);
    EXPECT_TRUE(mails[0].mail.interrupted);
    EXPECT_EQ(mails[0].mail.archivedName, earlier);
    EXPECT_TRUE(mails[1].mail.interrupted);
    EXPECT_EQ(mails[1].mail.archivedName, later);
    EXPECT_FALSE(mails[2].mail.interrupted);
    EXPECT_EQ(FilesIn(DroppedDirectory(Zorpath())), 3u);
    EXPECT_EQ(mailbox.Count(), 0u);
}

TEST_F(DaemonTest, AMailSavedBeforeDeleIsProcessedOnceWhenTheServerHandsItOutAgain) {
    mailbox.Add(MailWithoutArchive(1));
    mailbox.LoseNextQuit();
    const DaemonContext context = Context();

    // The QUIT after DELE goes unanswered: the server keeps the mail, the daemon processes its saved copy.
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
    EXPECT_EQ(mailbox.Count(), 1u);
    ASSERT_EQ(Mails().size(), 1u);
    EXPECT_FALSE(Mails()[0].mail.duplicate);
    const std::string name = Mails()[0].mail.archivedName;
    EXPECT_TRUE(IsRegularFile(JoinPath(DroppedDirectory(Zorpath()), name)));

    // Fetched again, it is recognised, deleted on the server and not processed a second time.
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
    ASSERT_EQ(Mails().size(), 2u);
    EXPECT_TRUE(Mails()[1].mail.duplicate);
    EXPECT_EQ(Mails()[1].mail.archivedName, std::string(kDroppedFolder) + "/" + name);
    EXPECT_EQ(mailbox.Count(), 0u);
    EXPECT_EQ(FilesIn(DroppedDirectory(Zorpath())), 1u);

    EXPECT_EQ(DaemonCycle(context, Zorpath()), 0);
    EXPECT_EQ(Mails().size(), 2u);
}

TEST_F(DaemonTest, TwoDifferentMailsWithOneMessageIdAreBothProcessed) {
    // A student resends an edited saved mail: the mail program keeps its Message-Id.
    mailbox.Add("Message-Id: <resent@tarvel.test>\n" + PlainMail("Prva verzia.\n"));
    mailbox.Add("Message-Id: <resent@tarvel.test>\n" + PlainMail("Opravena verzia.\n"));
    const DaemonContext context = Context();
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
    ASSERT_EQ(Mails().size(), 2u);
    EXPECT_FALSE(Mails()[0].mail.duplicate);
    EXPECT_FALSE(Mails()[1].mail.duplicate);
    EXPECT_EQ(FilesIn(DroppedDirectory(Zorpath())), 2u);
    EXPECT_EQ(mailbox.Count(), 0u);
}

TEST_F(DaemonTest, AMailCutOffAfterItsIntakeResumesAtTheVerdictStage) {
    const std::string name = LeaveWaitingMail(Zorpath(), "20000101-000000-000001-0000000000000001.mail", 1);
    const Submission decided = RefusedSubmission();
    ASSERT_TRUE(WriteIntakeRecord(Zorpath(), name, decided));

    std::vector<std::string> sent;
    DaemonContext context = Context();
    context.send = [&](const std::string&, const std::string&, const std::string& to,
                       const std::string& message, std::string&) {
        sent.push_back(to + "\n" + message);
        return 1;
    };
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);

    const auto mails = Mails();
    ASSERT_EQ(mails.size(), 1u);
    const DaemonMail& mail = mails[0].mail;
    EXPECT_TRUE(mail.interrupted);
    EXPECT_TRUE(mail.resumed);
    EXPECT_EQ(mail.submission.outcome, IntakeOutcome::Refused);
    EXPECT_EQ(mail.submission.reason, "task 1 not assigned");
    EXPECT_TRUE(mail.submission.replySent);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].starts_with("student1@tarvel.test\n")) << sent[0];
    EXPECT_NE(sent[0].find(decided.reply + DaemonSignature("zor", mailbox.HostSetting())), std::string::npos);
    EXPECT_TRUE(IsRegularFile(JoinPath(DoneDirectory(Zorpath()), name)));
    EXPECT_FALSE(IsRegularFile(IntakeRecordPath(Zorpath(), name)));
}

TEST_F(DaemonTest, AnIntakeRecordOfAnUnknownStudentSendsTheMailThroughTheIntakeAgain) {
    const std::string name = LeaveWaitingMail(Zorpath(), "20000101-000000-000001-0000000000000001.mail", 1);
    Submission decided;
    decided.outcome = IntakeOutcome::Accepted;
    decided.unid = "99999";
    decided.id = "99";
    decided.task = "1";
    ASSERT_TRUE(WriteIntakeRecord(Zorpath(), name, decided));
    EXPECT_EQ(DaemonCycle(Context(), Zorpath()), 1);
    ASSERT_EQ(Mails().size(), 1u);
    EXPECT_FALSE(Mails()[0].mail.resumed);
    EXPECT_EQ(Mails()[0].mail.submission.outcome, IntakeOutcome::Failed);
    EXPECT_TRUE(IsRegularFile(JoinPath(DroppedDirectory(Zorpath()), name)));
    EXPECT_FALSE(IsRegularFile(IntakeRecordPath(Zorpath(), name)));
}

TEST_F(DaemonTest, AMailCutOffThreeTimesIsDroppedWithoutBeingProcessedAgain) {
    const std::string reason = "interrupted " + std::to_string(kMaxInterruptedAttempts) + " times";
    ASSERT_EQ(reason, "interrupted 3 times");
    const struct {
        const char* name;
        int attempts; // the count the earlier, cut-off cycles left beside the mail
        bool intakeRecord;
        bool dropped;
    } cases[] = {
        {"cut off three times after its intake", 3, true, true},
        {"cut off three times during its intake", 3, false, true},
        {"cut off twice", 2, true, false},
    };
    const Submission decided = RefusedSubmission();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string zorpath = dir / ("zor" + std::to_string(i));
        const std::string name = LeaveWaitingMail(zorpath, "20000101-000000-000001-0000000000000001.mail", 1);
        if (c.intakeRecord) {
            ASSERT_TRUE(WriteIntakeRecord(zorpath, name, decided)) << c.name;
        }
        WriteBytes(AttemptsFilePath(zorpath, name), std::to_string(c.attempts) + "\n");
        std::vector<std::string> sent;
        DaemonContext context = Context();
        context.send = [&](const std::string&, const std::string&, const std::string& to, const std::string&,
                           std::string&) {
            sent.push_back(to);
            return 1;
        };
        const auto store = Snapshot(dir / "db");
        taken.clear();

        EXPECT_EQ(DaemonCycle(context, zorpath), 1) << c.name;
        const auto mails = Mails();
        ASSERT_EQ(mails.size(), 1u) << c.name;
        const DaemonMail& mail = mails[0].mail;
        EXPECT_EQ(mail.archivedName, name) << c.name;
        EXPECT_TRUE(mail.interrupted) << c.name;
        EXPECT_TRUE(mail.filed) << c.name;
        EXPECT_FALSE(IsRegularFile(WaitingMailPath(zorpath, name))) << c.name;
        EXPECT_FALSE(IsRegularFile(AttemptsFilePath(zorpath, name))) << c.name;
        EXPECT_FALSE(IsRegularFile(IntakeRecordPath(zorpath, name))) << c.name;
        if (c.dropped) {
            EXPECT_FALSE(mail.resumed) << c.name;
            EXPECT_EQ(mail.submission.outcome, IntakeOutcome::Failed) << c.name;
            EXPECT_EQ(mail.submission.reason, reason) << c.name;
            EXPECT_TRUE(IsRegularFile(JoinPath(DroppedDirectory(zorpath), name))) << c.name;
            EXPECT_EQ(ReadBytes(ReasonFilePath(zorpath, name)), reason + "\n") << c.name;
            // Neither the intake (its scratch copy of the mail) nor the verdict stage ran.
            EXPECT_FALSE(std::filesystem::exists(zorpath + "/tmp/mail.uu")) << c.name;
            EXPECT_TRUE(sent.empty()) << c.name;
            EXPECT_EQ(Snapshot(dir / "db"), store) << c.name;
        } else {
            EXPECT_TRUE(mail.resumed) << c.name;
            EXPECT_TRUE(mail.submission.replySent) << c.name;
            EXPECT_EQ(sent, (std::vector<std::string>{"student1@tarvel.test"})) << c.name;
            EXPECT_TRUE(IsRegularFile(JoinPath(DoneDirectory(zorpath), name))) << c.name;
        }
        EXPECT_EQ(FilesIn(MailArchiveDirectory(zorpath), "*.attempts"), 0u) << c.name;
    }
}

TEST_F(DaemonTest, AMailThatKillsEveryCycleIsSetAsideAfterThreeAttempts) {
    const std::string name = LeaveWaitingMail(Zorpath(), "20000101-000000-000001-0000000000000001.mail", 1);
    ASSERT_TRUE(WriteIntakeRecord(Zorpath(), name, RefusedSubmission()));
    mailbox.Add(MailWithoutArchive(2));
    int deliveries = 0;
    DaemonContext context = Context();
    context.send = [&](const std::string&, const std::string&, const std::string&, const std::string&,
                       std::string&) -> int {
        ++deliveries;
        throw Killed{};
    };

    // Every attempt is counted before it starts, so a cycle that dies still leaves its count behind.
    for (int attempt = 1; attempt <= kMaxInterruptedAttempts; ++attempt) {
        EXPECT_THROW(DaemonCycle(context, Zorpath()), Killed) << attempt;
        EXPECT_EQ(ReadBytes(AttemptsFilePath(Zorpath(), name)), std::to_string(attempt) + "\n");
        EXPECT_TRUE(IsRegularFile(WaitingMailPath(Zorpath(), name)));
    }
    EXPECT_EQ(deliveries, kMaxInterruptedAttempts);
    EXPECT_TRUE(Mails().empty());

    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
    EXPECT_EQ(deliveries, kMaxInterruptedAttempts);
    ASSERT_EQ(Mails().size(), 1u);
    EXPECT_EQ(Mails()[0].mail.archivedName, name);
    EXPECT_TRUE(Mails()[0].mail.filed);
    EXPECT_TRUE(IsRegularFile(JoinPath(DroppedDirectory(Zorpath()), name)));
    EXPECT_FALSE(IsRegularFile(AttemptsFilePath(Zorpath(), name)));
    EXPECT_FALSE(IsRegularFile(IntakeRecordPath(Zorpath(), name)));

    // The mails after it are taken again.
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
    ASSERT_EQ(Mails().size(), 2u);
    EXPECT_FALSE(Mails()[1].mail.interrupted);
    EXPECT_TRUE(Mails()[1].mail.filed);
    EXPECT_EQ(mailbox.Count(), 0u);
    EXPECT_EQ(FilesIn(MailArchiveDirectory(Zorpath()), "*.attempts"), 0u);
}

TEST_F(DaemonTest, AMailThatCannotBeArchivedStaysOnTheServer) {
    mailbox.Add(MailWithoutArchive(1));
    WriteBytes(MailArchiveDirectory(Zorpath()), "a file where the archive should be");
    EXPECT_EQ(DaemonCycle(Context(), Zorpath()), 0);
    EXPECT_EQ(mailbox.Count(), 1u);
    EXPECT_TRUE(Mails().empty());
}

TEST_F(DaemonTest, ACycleLetsThePollPassWhileAnotherDaemonOfTheInstallationIsInItsCycle) {
    mailbox.Add(MailWithoutArchive(1));
    ASSERT_TRUE(PrepareMailArchive(Zorpath()));
    const int other =
        ::open((MailArchiveDirectory(Zorpath()) + "/daemon.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_EQ(DaemonCycle(Context(), Zorpath()), 0);
    EXPECT_EQ(mailbox.Count(), 1u);
    ::close(other);
    EXPECT_EQ(DaemonCycle(Context(), Zorpath()), 1);
    EXPECT_EQ(mailbox.Count(), 0u);
}

TEST_F(DaemonTest, TheMailSettingsAreReadAtEveryCycle) {
    ASSERT_TRUE(WriteConfig(config, "mails", "pop3", ClosedPortSetting()));
    mailbox.Add(MailWithoutArchive(1));
    const DaemonContext context = Context();
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 0);
    ASSERT_TRUE(WriteConfig(config, "mails", "pop3", mailbox.HostSetting()));
    EXPECT_EQ(DaemonCycle(context, Zorpath()), 1);
}

TEST_F(DaemonTest, AMailboxThatCannotBeReadIsToldOncePerChangeOfTheReason) {
    std::vector<std::string> told;
    DaemonContext context = Context();
    context.mailboxPolled = OncePerChange([&told](const std::string& failure) { told.push_back(failure); });
    struct Poll {
        std::string pop3; // the host setting of this poll
        bool turnAway;
    };
    const std::string closed = ClosedPortSetting();
    const std::string open = mailbox.HostSetting();
    const Poll polls[] = {{open, false}, {closed, false}, {closed, false}, {closed, false}, {open, true},
                          {open, true},  {open, false},   {open, false},   {closed, false}};
    for (const Poll& poll : polls) {
        ASSERT_TRUE(WriteConfig(config, "mails", "pop3", poll.pop3));
        if (poll.turnAway) {
            mailbox.TurnAway();
        } else {
            mailbox.Welcome();
        }
        EXPECT_EQ(DaemonCycle(context, Zorpath()), 0);
    }
    const std::vector<std::string> expected = {"cannot connect to the POP3 server " + closed,
                                               "unexpected greeting: -ERR [SYS/TEMP] Service unavailable", "",
                                               "cannot connect to the POP3 server " + closed};
    EXPECT_EQ(told, expected);
}

TEST_F(DaemonTest, DestroyingARunningDaemonStopsItFirst) {
    auto running = std::make_unique<Daemon>();
    ASSERT_TRUE(StartDaemon(*running, Context(), {}));
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    running.reset();
    EXPECT_LT(Clock::now() - start, 1100ms);
}

} // namespace
} // namespace tarvel
