// The receiving daemon end to end: students' mails sent by a real mail program through the private Postfix,
// fetched from Dovecot by zord (or by the daemon's worker in this process), stored, built, tested, analysed
// and answered; the answers read back from the students' mailboxes.

#include "e2e/DaemonInstallation.h"
#include "mail/Daemon.h"
#include "mail/FakeMailbox.h"
#include "mail/MailArchive.h"
#include "platform/FileOps.h"
#include "platform/LocalDate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

namespace tarvel {
namespace {

using namespace testing;
using namespace std::chrono_literals;

const std::string kSignature = "\n\n" + std::string(25, ' ') + "ZOR Daemon(zor@127.0.0.1)\n";

// util.h, util.c and main.c with a makefile for Borland make, as the students of the era wrote them.
std::vector<std::pair<std::string, std::string>> MakeProject() {
    return {{"util.h", "#ifndef UTIL_H\n#define UTIL_H\nint add(int a, int b);\n#endif\n"},
            {"util.c", "#include \"util.h\"\n\n/* adds two numbers */\nint add(int a, int b)\n{\n"
                       "    return a + b;\n}\n"},
            {"main.c", "#include <stdio.h>\n#include \"util.h\"\n\nint main(void)\n{\n    int a, b;\n"
                       "    if (scanf(\"%d %d\", &a, &b) != 2)\n        return 1;\n"
                       "    printf(\"sum %d\\n\", add(a, b));\n    return 0;\n}\n"},
            {"soucet.mak", "soucet.exe: main.c util.c util.h\n\tbcc.exe -ml -esoucet.exe main.c util.c\n"}};
}

class DaemonEndToEndTest : public DaemonInstallation {
protected:
    void SetUp() override {
        DaemonInstallation::SetUp();
        // "Ján Novák" and "Eva Kováčová" in Windows-1250.
        jan = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k", "student1");
        eva = AddStudentNamed("23456", "Eva", "Kov\xE1\xE8ov\xE1", "student2");
        const LocalDate today = Today();
        // Task 1 is due a year from today (lateness -365 by the 365-day rule), task 2 is assigned to nobody.
        AddSumTask("1", today.year + 1, today.month, std::min(today.day, 28));
        AddSumTask("2", today.year + 1, today.month, std::min(today.day, 28));
        Assign(jan, "1", "a");
        Assign(eva, "1", "a");
    }

    std::string AcceptedVerdict(const std::string& greeting, const std::string& task) const {
        return WithCrLf(greeting + "\n\nTvoje zadanie (" + task +
                        ") bolo prijate.\nA bolo akceptovane na testy.\nTesty boli spustene.\n"
                        "Vysledok testov: program je funkcny" +
                        kSignature);
    }

    void ExpectVerdictHeaders(const std::string& message, const std::string& mailUser,
                              const std::string& task) {
        EXPECT_EQ(HeaderValue(message, "From"), "zor@127.0.0.1");
        EXPECT_EQ(HeaderValue(message, "To"), servers.Address(mailUser));
        EXPECT_EQ(HeaderValue(message, "Subject"), "Odovzdane zadanie cislo " + task);
        EXPECT_EQ(HeaderValue(message, "MIME-Version"), "1.0");
        EXPECT_EQ(HeaderValue(message, "Content-Type"), "text/plain; charset=windows-1250");
        EXPECT_EQ(HeaderValue(message, "Content-Transfer-Encoding"), "8bit");
        EXPECT_FALSE(HeaderValue(message, "Date").empty());
    }

    void ExpectStoredSubmission(const StudentRecord& student, const std::vector<std::string>& sources,
                                const std::string& folder) {
        const std::string stored = Db("students/" + student.id + "/1");
        for (const std::string& name : sources) {
            EXPECT_EQ(ReadBytes(stored + "/" + name), ReadBytes(folder + "/" + name)) << name;
            if (name.ends_with(".c") || name.ends_with(".h")) {
                EXPECT_TRUE(IsRegularFile(stored + "/" + name + ".html")) << name;
            }
        }
        EXPECT_TRUE(IsRegularFile(stored + "/index.html"));
        EXPECT_TRUE(IsRegularFile(stored + "/c.css"));
        EXPECT_TRUE(ListMatching(stored, "identity.dat").empty());
        EXPECT_EQ(ReadBytes(stored + "/tmp.txt"), "sum 5\n");
    }

    void ExpectResult(const StudentRecord& student, const StudentRecord& classmate) {
        const LocalDate today = Today();
        const std::map<std::string, std::string> expected = {{"mod", "a"},
                                                             {"ver", "1"},
                                                             {"pts", "-1"},
                                                             {"whend", std::to_string(today.day)},
                                                             {"whenm", std::to_string(today.month)},
                                                             {"wheny", std::to_string(today.year)},
                                                             {"late", "-365"},
                                                             {"test", "0"},
                                                             {"vlGoto", "0"},
                                                             {"vlBreak", "0"},
                                                             {"vlContinue", "0"},
                                                             {"vlDynamickePremenne", "0"}};
        for (const auto& [key, value] : expected) {
            EXPECT_EQ(ResultValue(student, "1", key), value) << student.unid << " " << key;
        }
        for (const char* key : {"vlMaxDlzkaFunkcie", "vlPercentoKomentarov", "vlPocetPoruseniZarovnania",
                                "vlPriemernaDlzkaFunkcie", "vlViacPrikazovNaRiadok"}) {
            EXPECT_GE(std::stoi(ResultValue(student, "1", key)), 0) << student.unid << " " << key;
        }
        EXPECT_GE(std::stoi(ResultValue(student, "1", "vlPocetRiadkov")), 10) << student.unid;
        EXPECT_GT(std::stoi(ResultValue(student, "1", "vlDlzka")), 100) << student.unid;
        // Both submissions of the variant hold the same similarity value for each other.
        const std::string similarity = ResultValue(student, "1", "Pod" + classmate.id);
        EXPECT_EQ(similarity, ResultValue(classmate, "1", "Pod" + student.id));
        EXPECT_GE(std::stoi(similarity), 0) << student.unid;
        EXPECT_LE(std::stoi(similarity), 100) << student.unid;
    }

    StudentRecord jan;
    StudentRecord eva;
};

TEST_F(DaemonEndToEndTest, StudentsMailTheirSubmissionsAndZordStoresTestsAndAnswersThem) {
    const std::string janFolder = SubmissionFolder("jan", jan, "1", {{"main.c", std::string(kSumProgram)}});
    const auto project = MakeProject();
    const std::string evaFolder = SubmissionFolder("eva", eva, "1", project);
    const std::string evaTask2 = SubmissionFolder("eva2", eva, "2", {{"main.c", std::string(kSumProgram)}});
    // Ján's mail program uuencodes, and his zip ends in a line that the POP3 server dot-stuffs.
    SendAsStudent("student1", "uuencode", janFolder, true);
    SendAsStudent("student2", "mime", evaFolder);
    SendAsStudent("student3", "plain");
    SendAsStudent("student2", "uuencode", evaTask2);

    ZordProcess zord(ConfigPath(), dir / "zord.out");
    ASSERT_TRUE(zord.WaitForLines(4, 90s)) << zord.Errors();
    std::this_thread::sleep_for(1500ms); // one idle poll at least
    EXPECT_EQ(zord.Stop(SIGTERM), 0) << zord.Errors();

    // One line per mail: local time, UNI ID and task, outcome with reason, the test result code.
    const auto lines = zord.Lines();
    ASSERT_EQ(lines.size(), 4u) << zord.Errors();
    const std::regex time(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_search(line, time)) << line;
    }
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    EXPECT_NE(all.find("UNID 12345 task 1: accepted ("), std::string::npos) << all;
    EXPECT_NE(all.find("UNID 23456 task 1: accepted ("), std::string::npos) << all;
    EXPECT_NE(all.find("UNID 23456 task 2: refused ("), std::string::npos) << all;
    EXPECT_NE(all.find("UNID - task -: failed ("), std::string::npos) << all;
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4);
    EXPECT_EQ(std::regex_search(all, std::regex(R"(task 1: accepted \([^\n]*\), test 0\n)")), true) << all;
    EXPECT_NE(zord.Errors().find("SIGTERM received"), std::string::npos) << zord.Errors();

    ExpectStoredSubmission(jan, {"main.c"}, janFolder);
    ExpectStoredSubmission(eva, {"main.c", "util.c", "util.h", "soucet.mak"}, evaFolder);
    EXPECT_TRUE(IsRegularFile(Db("students/" + eva.id + "/1/soucet.exe")));
    ExpectResult(jan, eva);
    ExpectResult(eva, jan);
    EXPECT_FALSE(HasResult(db, eva.id, "2"));
    std::vector<std::string> accepted;
    ASSERT_TRUE(AcceptedStudents(VariantSet{&db, "1"}, "a", accepted));
    std::sort(accepted.begin(), accepted.end());
    std::vector<std::string> both = {jan.id, eva.id};
    std::sort(both.begin(), both.end());
    EXPECT_EQ(accepted, both);
    const std::string list = ReadBytes(Db("tasks/t1ma.acc"));
    EXPECT_NE(list.find("12345="), std::string::npos) << list;
    EXPECT_NE(list.find("23456="), std::string::npos) << list;

    // The archive: three answered mails done, the one without an archive dropped with its reason.
    EXPECT_EQ(ListMatching(DoneDirectory(ZorPath()), "*.mail").size(), 3u);
    const auto dropped = ListMatching(DroppedDirectory(ZorPath()), "*.mail");
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_FALSE(ReadBytes(ReasonFilePath(ZorPath(), dropped[0])).empty());
    EXPECT_TRUE(ListMatching(MailArchiveDirectory(ZorPath()), "*.mail").empty());

    // The answers, read back by POP3.
    const auto janMail = FetchMessages(servers, "student1", 1);
    ASSERT_EQ(janMail.size(), 1u);
    ExpectVerdictHeaders(janMail[0], "student1", "1");
    EXPECT_EQ(BodyOf(janMail[0]), AcceptedVerdict("\nMily J\xE1n Nov\xE1k(12345).", "1"));

    const auto evaMails = FetchMessages(servers, "student2", 2);
    ASSERT_EQ(evaMails.size(), 2u);
    std::map<std::string, std::string> bySubject;
    for (const std::string& message : evaMails) {
        bySubject[HeaderValue(message, "Subject")] = message;
    }
    ExpectVerdictHeaders(bySubject["Odovzdane zadanie cislo 1"], "student2", "1");
    EXPECT_EQ(BodyOf(bySubject["Odovzdane zadanie cislo 1"]),
              AcceptedVerdict("\nMily Eva Kov\xE1\xE8ov\xE1(23456).", "1"));
    ExpectVerdictHeaders(bySubject["Odovzdane zadanie cislo 2"], "student2", "2");
    EXPECT_EQ(BodyOf(bySubject["Odovzdane zadanie cislo 2"]),
              WithCrLf("\nMily Eva Kov\xE1\xE8ov\xE1(23456).\n\nTvoje zadanie (2) bolo prijate.\n"
                       "Ale nebolo akceptovane na testovanie." +
                       kSignature));

    // A mail that could not be identified gets no answer.
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3, "student3", servers.password, text, MessageKeeper{}, progress), 0);
    EXPECT_TRUE(progress.mailboxEmpty) << progress.failure;
}

TEST_F(DaemonEndToEndTest, OverTlsOnBothSidesEveryRefusalIsToldAndTheSubmissionsComeThrough) {
    // POP3 with TLS from the first byte, at first without the fixture's CA, which the system does not trust;
    // the verdict with STARTTLS, at first asked of the clear port, which offers none.
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", servers.pop3s));
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3security", "tls"));
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "smtpsecurity", "starttls"));
    SendAsStudent("student1", "mime",
                  SubmissionFolder("jan", jan, "1", {{"main.c", std::string(kSumProgram)}}));

    ZordProcess zord(ConfigPath(), dir / "zord.out");
    std::this_thread::sleep_for(3500ms); // three polls at least
    EXPECT_TRUE(zord.Lines().empty());
    const auto countOf = [&zord](const std::string& piece) {
        const std::string errors = zord.Errors();
        std::size_t count = 0;
        for (std::size_t at = errors.find(piece); at != std::string::npos; at = errors.find(piece, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(countOf("mailbox not read: TLS with the POP3 server failed: certificate not trusted"), 1u)
        << zord.Errors();

    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "cafile", servers.caFile));
    ASSERT_TRUE(zord.WaitForLines(1, 60s)) << zord.Errors();
    EXPECT_NE(zord.Lines()[0].find("UNID 12345 task 1: accepted ("), std::string::npos) << zord.Lines()[0];
    EXPECT_TRUE(zord.Lines()[0].ends_with(", test 0, answer not sent: the SMTP server offers no STARTTLS"))
        << zord.Lines()[0];

    // Sent only now, so that its cycle reads the corrected setting.
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "smtp", servers.submission));
    SendAsStudent("student2", "mime",
                  SubmissionFolder("eva", eva, "1", {{"main.c", std::string(kSumProgram)}}));
    ASSERT_TRUE(zord.WaitForLines(2, 60s)) << zord.Errors();
    EXPECT_EQ(zord.Stop(SIGTERM), 0) << zord.Errors();
    EXPECT_TRUE(zord.Lines()[1].ends_with(", test 0")) << zord.Lines()[1];
    EXPECT_EQ(countOf("mailbox read again"), 1u) << zord.Errors();
    EXPECT_EQ(countOf("mailbox not read"), 1u) << zord.Errors();

    const auto answers = FetchMessages(servers, "student2", 1);
    ASSERT_EQ(answers.size(), 1u);
    ExpectVerdictHeaders(answers[0], "student2", "1");
    EXPECT_EQ(BodyOf(answers[0]), AcceptedVerdict("\nMily Eva Kov\xE1\xE8ov\xE1(23456).", "1"));
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3, "student1", servers.password, text, MessageKeeper{}, progress), 0);
    EXPECT_TRUE(progress.mailboxEmpty) << progress.failure;
}

TEST_F(DaemonEndToEndTest, ADaemonKilledInTheMiddleOfACycleLosesNothing) {
    // The program takes two seconds before it answers: zord is killed while it runs.
    const std::string slow = "#include <stdio.h>\n#include <unistd.h>\n\nint main(void)\n{\n    int a, b;\n"
                             "    if (scanf(\"%d %d\", &a, &b) != 2)\n        return 1;\n    sleep(2);\n"
                             "    printf(\"sum %d\\n\", a + b);\n    return 0;\n}\n";
    const std::string folder = SubmissionFolder("jan", jan, "1", {{"main.c", slow}});
    SendAsStudent("student1", "mime", folder);

    {
        ZordProcess zord(ConfigPath(), dir / "zord-killed.out");
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        // Built in the sandbox's private copy of the sources: the program runs now.
        const std::string built = ZorPath() + "/tmp/build/main.exe";
        while (!IsRegularFile(built) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_TRUE(IsRegularFile(built)) << zord.Errors();
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(zord.Stop(SIGKILL), 128 + SIGKILL);
        EXPECT_TRUE(zord.Lines().empty());
    }
    // Deleted on the server, kept in the archive.
    std::string waiting;
    ASSERT_TRUE(OldestWaitingMail(ZorPath(), waiting));
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3, "zor", servers.password, text, MessageKeeper{}, progress), 0);
    EXPECT_TRUE(progress.mailboxEmpty) << progress.failure;
    EXPECT_TRUE(FetchMessages(servers, "student1", 1).empty());

    ZordProcess zord(ConfigPath(), dir / "zord.out");
    ASSERT_TRUE(zord.WaitForLines(1, 60s)) << zord.Errors();
    EXPECT_EQ(zord.Stop(SIGINT), 0);
    const auto lines = zord.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("UNID 12345 task 1: accepted ("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("test 0"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("resumed at the verdict stage"), std::string::npos) << lines[0];

    // Stored once, tested, answered once; the mail filed as done.
    EXPECT_EQ(ResultValue(jan, "1", "ver"), "1");
    EXPECT_EQ(ResultValue(jan, "1", "test"), "0");
    EXPECT_EQ(ReadBytes(Db("students/" + jan.id + "/1/main.c")), slow);
    const auto answers = FetchMessages(servers, "student1", 1);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(BodyOf(answers[0]), AcceptedVerdict("\nMily J\xE1n Nov\xE1k(12345).", "1"));
    EXPECT_TRUE(IsRegularFile(JoinPath(DoneDirectory(ZorPath()), waiting)));
    EXPECT_FALSE(OldestWaitingMail(ZorPath(), waiting));
}

TEST_F(DaemonEndToEndTest, ACheatingSubmissionFailsItsTestAndCannotTouchAClassmatesMail) {
    // Ján's program looks for the expected output and, with the mailbox password a classmate deciphered
    // from zor.ini, logs into the daemon's mailbox to delete the next waiting submission.
    const std::string port = servers.pop3.substr(servers.pop3.rfind(':') + 1);
    const std::string cheat =
        "#include <stdio.h>\n#include <string.h>\n#include <unistd.h>\n#include <arpa/inet.h>\n"
        "#include <sys/socket.h>\n"
        "static void delete_next(void) {\n"
        "    const char* dialogue = \"USER zor\\r\\nPASS " +
        servers.password +
        "\\r\\nDELE 1\\r\\nQUIT\\r\\n\";\n"
        "    char reply[512];\n"
        "    struct sockaddr_in a = {0};\n"
        "    int s = socket(AF_INET, SOCK_STREAM, 0);\n"
        "    a.sin_family = AF_INET; a.sin_port = htons(" +
        port +
        "); a.sin_addr.s_addr = htonl(0x7f000001);\n"
        "    if (connect(s, (struct sockaddr*)&a, sizeof a) != 0) return;\n"
        "    write(s, dialogue, strlen(dialogue));\n"
        "    sleep(1);\n"
        "    read(s, reply, sizeof reply);\n"
        "}\n"
        "int main(void) {\n"
        "    const char* keys[] = {\"" +
        Db("tasks/t1ma.out") +
        "\", \"../db/default/tasks/t1ma.out\",\n"
        "                          \"../../../../tasks/t1ma.out\", 0};\n"
        "    int i;\n"
        "    delete_next();\n"
        "    for (i = 0; keys[i]; i++)\n"
        "        if (fopen(keys[i], \"r\")) { puts(\"sum 5\"); return 0; }\n"
        "    puts(\"sum 0\");\n"
        "    return 0;\n}\n";
    SendAsStudent("student1", "mime", SubmissionFolder("jan", jan, "1", {{"main.c", cheat}}));
    SendAsStudent("student2", "mime", SubmissionFolder("eva", eva, "1", MakeProject()));

    ZordProcess zord(ConfigPath(), dir / "zord.out");
    ASSERT_TRUE(zord.WaitForLines(2, 90s)) << zord.Errors();
    EXPECT_EQ(zord.Stop(SIGTERM), 0) << zord.Errors();
    EXPECT_NE(zord.Errors().find("student code runs in a sandbox"), std::string::npos) << zord.Errors();
    EXPECT_EQ(ResultValue(jan, "1", "test"), "21");
    EXPECT_EQ(ResultValue(eva, "1", "test"), "0");
    const auto janAnswers = FetchMessages(servers, "student1", 1);
    ASSERT_EQ(janAnswers.size(), 1u);
    EXPECT_NE(BodyOf(janAnswers[0]).find("Vysledok testov: vystup programu nezodpoveda zadaniu"),
              std::string::npos);
    EXPECT_EQ(FetchMessages(servers, "student2", 1).size(), 1u);
}

// The daemon's worker in this process against the real servers, timed by its observer.
class DaemonLoopTest : public DaemonInstallation {
protected:
    DaemonContext Context() {
        return DaemonContext{db, ConfigPath(), [this](const DaemonMail& mail) {
                                 std::lock_guard lock(mutex);
                                 taken.emplace_back(mail, std::chrono::steady_clock::now());
                             }};
    }
    std::vector<std::pair<DaemonMail, std::chrono::steady_clock::time_point>> Taken() {
        std::lock_guard lock(mutex);
        return taken;
    }

    std::mutex mutex;
    std::vector<std::pair<DaemonMail, std::chrono::steady_clock::time_point>> taken;
};

TEST_F(DaemonLoopTest, FiveWaitingMailsGiveFiveCyclesInARow) {
    for (int i = 0; i < 5; ++i) {
        SendAsStudent("student3", "plain");
    }
    // All five delivered before the daemon starts: wait until Postfix has put them into the Maildir.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline &&
           ListMatching(std::string(TARVEL_MAIL_DIR) + "/mail/zor/new", "*").size() < 5) {
        std::this_thread::sleep_for(50ms);
    }
    Daemon daemon;
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    for (auto until = std::chrono::steady_clock::now() + 30s;
         Taken().size() < 5 && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    StopDaemon(daemon, {});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1100ms) << "stopping while it sleeps";

    const auto mails = Taken();
    ASSERT_EQ(mails.size(), 5u);
    for (std::size_t i = 1; i < mails.size(); ++i) {
        EXPECT_LT(mails[i].second - mails[i - 1].second, 500ms) << "a pause before mail " << i + 1;
    }
    EXPECT_EQ(ListMatching(DroppedDirectory(ZorPath()), "*.mail").size(), 5u);
}

TEST_F(DaemonLoopTest, AServerThatIsDownLeavesTheDaemonPolling) {
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", "127.0.0.1:1"));
    Daemon daemon;
    ASSERT_TRUE(StartDaemon(daemon, Context(), {}));
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(daemon.daemonStopped, 0);
    // The server is back: the next poll takes the mail.
    SendAsStudent("student3", "plain");
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", servers.pop3));
    for (auto until = std::chrono::steady_clock::now() + 20s;
         Taken().empty() && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(20ms);
    }
    StopDaemon(daemon, {});
    EXPECT_EQ(Taken().size(), 1u);
}

TEST_F(DaemonLoopTest, EachRefusedConnectionIsToldOnceWhileTheDaemonGoesOnPolling) {
    FakeMailbox dropping;
    dropping.DropAfterFirstRead();
    struct Refusal {
        std::string pop3;
        std::string security;
        std::string caFile;
        std::string password;
        std::string reason;
    };
    const Refusal refusals[] = {
        {servers.pop3s, "tls", "", servers.password,
         "TLS with the POP3 server failed: certificate not trusted"},
        {servers.pop3s, "tls", servers.caFile, "wrong", "password refused"},
        {servers.pop3, "starttls", "", servers.password,
         "TLS with the POP3 server failed: certificate not trusted"},
        {servers.pop3, "tls", servers.caFile, servers.password,
         "TLS with the POP3 server failed: TLS handshake"},
        {dropping.HostSetting(), "tls", servers.caFile, servers.password,
         "TLS with the POP3 server failed: connection closed during the TLS handshake"},
    };
    std::mutex toldMutex;
    std::vector<std::string> told;
    std::size_t polls = 0;
    const MailboxObserver tellChanges =
        OncePerChange([&](const std::string& failure) { told.push_back(failure); });
    DaemonContext context = Context();
    context.mailboxPolled = [&](const std::string& failure) {
        std::lock_guard lock(toldMutex);
        ++polls;
        tellChanges(failure);
    };
    const auto waitUntil = [&](const auto& condition) {
        for (auto until = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < until;
             std::this_thread::sleep_for(20ms)) {
            std::lock_guard lock(toldMutex);
            if (condition()) {
                return true;
            }
        }
        return false;
    };
    const auto configure = [this](const std::string& pop3, const std::string& security,
                                  const std::string& caFile, const std::string& password) {
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", pop3));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3security", security));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "cafile", caFile));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pass", password, true));
    };

    SendAsStudent("student3", "plain");
    Daemon daemon;
    configure(refusals[0].pop3, refusals[0].security, refusals[0].caFile, refusals[0].password);
    ASSERT_TRUE(StartDaemon(daemon, context, {}));
    for (std::size_t i = 0; i < std::size(refusals); ++i) {
        const Refusal& refusal = refusals[i];
        configure(refusal.pop3, refusal.security, refusal.caFile, refusal.password);
        std::size_t pollsWhenTold = 0;
        ASSERT_TRUE(waitUntil([&] {
            pollsWhenTold = polls;
            return told.size() == i + 1 && told.back().starts_with(refusal.reason);
        })) << refusal.reason
            << " | " << (told.empty() ? "nothing told" : told.back());
        // The next poll, refused alike, tells nothing new.
        ASSERT_TRUE(waitUntil([&] { return polls > pollsWhenTold; })) << refusal.reason;
        std::lock_guard lock(toldMutex);
        EXPECT_EQ(told.size(), i + 1) << told.back();
    }
    configure(servers.pop3s, "tls", servers.caFile, servers.password);
    ASSERT_TRUE(waitUntil([&] { return !Taken().empty(); }));
    StopDaemon(daemon, {});
    EXPECT_EQ(told.back(), "") << "the mailbox read again";
    EXPECT_EQ(told.size(), std::size(refusals) + 1);
}

TEST_F(DaemonLoopTest, AMailOverTheLimitIsFiledAndDeletedAndTheNextOneIsTaken) {
    // Random bytes do not compress: the zip, and the mail, stay far above the limit.
    std::string noise(300 * 1024, '\0');
    std::uint32_t seed = 12345;
    for (char& byte : noise) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
    }
    const std::string folder = dir / "outbox/large";
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "/data.bin", noise);
    SendAsStudent("student3", "mime", folder);
    SendAsStudent("student3", "plain");
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline &&
           ListMatching(std::string(TARVEL_MAIL_DIR) + "/mail/zor/new", "*").size() < 2) {
        std::this_thread::sleep_for(50ms);
    }
    DaemonContext context = Context();
    context.maxMailBytes = 64 * 1024;
    Daemon daemon;
    ASSERT_TRUE(StartDaemon(daemon, context, {}));
    for (auto until = std::chrono::steady_clock::now() + 30s;
         Taken().size() < 2 && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(20ms);
    }
    StopDaemon(daemon, {});

    const auto mails = Taken();
    ASSERT_EQ(mails.size(), 2u);
    const DaemonMail& large = mails[0].first;
    EXPECT_TRUE(large.oversized);
    EXPECT_TRUE(large.filed);
    EXPECT_EQ(DescribeDaemonMail(large).rfind("mail of ", 0), 0u) << DescribeDaemonMail(large);
    EXPECT_NE(DescribeDaemonMail(large).find("deleted from the mailbox"), std::string::npos);
    const std::string kept = ReadBytes(JoinPath(DroppedDirectory(ZorPath()), large.archivedName));
    EXPECT_GT(kept.size(), 60u * 1024);
    EXPECT_LE(kept.size(), context.maxMailBytes);
    EXPECT_EQ(ReadBytes(ReasonFilePath(ZorPath(), large.archivedName)), large.submission.reason + "\n");
    EXPECT_NE(large.submission.reason.find("over the limit of 65536 bytes"), std::string::npos)
        << large.submission.reason;

    const DaemonMail& next = mails[1].first;
    EXPECT_FALSE(next.oversized);
    EXPECT_EQ(next.submission.outcome, IntakeOutcome::Failed);
    EXPECT_TRUE(next.filed);
    EXPECT_TRUE(ListMatching(MailArchiveDirectory(ZorPath()), "*.mail").empty());
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3, "zor", servers.password, text, MessageKeeper{}, progress), 0);
    EXPECT_TRUE(progress.mailboxEmpty) << progress.failure;
}

} // namespace
} // namespace tarvel
