// Fifty realistic submissions (a 200-line program; every second one a three-file make project) mailed to the
// private Postfix, then taken from Dovecot one cycle at a time by the receiving daemon: fetch, archive,
// unpack, render, store, build and test, analysis, verdict mail. Beside it, in the same run, the floor: the
// system's cc compiling the same sources and the program running on the same input, nothing else. Prints the
// time per submission by stage, the floor, the ratio, and the daemon's own work (everything but the compiler,
// the student's program and the servers' answers).

#include "mail/Daemon.h"
#include "mail/MailClient.h"
#include "platform/FileOps.h"
#include "platform/LocalDate.h"
#include "shell/Config.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"

#include "mail/SubmissionMail.h"

#include "BenchServers.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace tarvel;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kSubmissions = 50;
// The flags bcc.exe gives cc, so that the floor compiles exactly as the daemon's build does.
constexpr const char* kCcFlags = "-fcommon -Wno-error=implicit-function-declaration -Wno-error=implicit-int "
                                 "-Wno-error=int-conversion -Wno-error=incompatible-pointer-types";
constexpr const char* kInput = "12\n5 3 9 1 7 2 8 6 4 10 11 0\n";

constexpr const char* kHeader = R"(#ifndef STATS_H
#define STATS_H

#define MAX_VALUES 100

/* Statistics of a sequence of whole numbers. */
typedef struct {
    int count;
    int minimum;
    int maximum;
    long sum;
    double mean;
    double median;
} Summary;

int read_values(int *values, int limit);
void sort_values(int *values, int count);
void summarize(const int *values, int count, Summary *summary);
int count_primes(const int *values, int count);
int greatest_divisor(const int *values, int count);
void print_histogram(const int *values, int count);
void print_summary(const Summary *summary);

#endif
)";

constexpr const char* kStats = R"(
/* Reads the count and then the values; returns how many were read. */
int read_values(int *values, int limit)
{
    int count, i;
    if (scanf("%d", &count) != 1 || count < 0)
        return 0;
    if (count > limit)
        count = limit;
    for (i = 0; i < count; i++) {
        if (scanf("%d", &values[i]) != 1)
            return i;
    }
    return count;
}

/* Insertion sort: the sequences are short. */
void sort_values(int *values, int count)
{
    int i, j, key;
    for (i = 1; i < count; i++) {
        key = values[i];
        j = i - 1;
        while (j >= 0 && values[j] > key) {
            values[j + 1] = values[j];
            j--;
        }
        values[j + 1] = key;
    }
}

void summarize(const int *values, int count, Summary *summary)
{
    int i;
    summary->count = count;
    summary->sum = 0;
    summary->minimum = count > 0 ? values[0] : 0;
    summary->maximum = count > 0 ? values[0] : 0;
    for (i = 0; i < count; i++) {
        summary->sum += values[i];
        if (values[i] < summary->minimum)
            summary->minimum = values[i];
        if (values[i] > summary->maximum)
            summary->maximum = values[i];
    }
    summary->mean = count > 0 ? (double)summary->sum / count : 0.0;
    if (count == 0)
        summary->median = 0.0;
    else if (count % 2 == 1)
        summary->median = values[count / 2];
    else
        summary->median = (values[count / 2 - 1] + values[count / 2]) / 2.0;
}

static int is_prime(int value)
{
    int divisor;
    if (value < 2)
        return 0;
    for (divisor = 2; divisor * divisor <= value; divisor++) {
        if (value % divisor == 0)
            return 0;
    }
    return 1;
}

int count_primes(const int *values, int count)
{
    int i, primes = 0;
    for (i = 0; i < count; i++) {
        if (is_prime(values[i]))
            primes++;
    }
    return primes;
}

static int gcd(int a, int b)
{
    while (b != 0) {
        int rest = a % b;
        a = b;
        b = rest;
    }
    return a < 0 ? -a : a;
}

int greatest_divisor(const int *values, int count)
{
    int i, result = 0;
    for (i = 0; i < count; i++)
        result = gcd(result, values[i]);
    return result;
}

void print_histogram(const int *values, int count)
{
    int bucket, i, j;
    for (bucket = 0; bucket < 3; bucket++) {
        int inside = 0;
        for (i = 0; i < count; i++) {
            if (values[i] / 4 == bucket)
                inside++;
        }
        printf("%2d-%2d: ", bucket * 4, bucket * 4 + 3);
        for (j = 0; j < inside; j++)
            putchar('*');
        putchar('\n');
    }
}

void print_summary(const Summary *summary)
{
    printf("count %d\n", summary->count);
    printf("min %d max %d\n", summary->minimum, summary->maximum);
    printf("sum %ld\n", summary->sum);
    printf("mean %.3f median %.1f\n", summary->mean, summary->median);
}
)";

constexpr const char* kMain = R"(
static int values[MAX_VALUES];

/* Prints the values on one line, separated by blanks. */
static void print_values(const int *list, int count)
{
    int i;
    for (i = 0; i < count; i++) {
        if (i > 0)
            putchar(' ');
        printf("%d", list[i]);
    }
    putchar('\n');
}

/* Reverses the order of the values in place. */
static void reverse_values(int *list, int count)
{
    int left = 0, right = count - 1;
    while (left < right) {
        int swap = list[left];
        list[left] = list[right];
        list[right] = swap;
        left++;
        right--;
    }
}

int main(void)
{
    Summary summary;
    int count = read_values(values, MAX_VALUES);
    if (count == 0) {
        printf("no values\n");
        return 1;
    }
    sort_values(values, count);
    printf("sorted: ");
    print_values(values, count);
    summarize(values, count, &summary);
    print_summary(&summary);
    printf("primes %d\n", count_primes(values, count));
    printf("gcd %d\n", greatest_divisor(values, count));
    print_histogram(values, count);
    reverse_values(values, count);
    printf("reversed: ");
    print_values(values, count);
    return 0;
}
)";

constexpr const char* kMakefile =
    "prog.exe: main.c stats.c stats.h\n\tbcc.exe -ml -eprog.exe main.c stats.c\n";

struct Source {
    std::string name;
    std::string content;
};

bool IsIdentifierByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The text with every whole-word occurrence of `word` replaced.
std::string Renamed(std::string text, const std::string& word, const std::string& replacement) {
    for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos;) {
        const bool whole = (at == 0 || !IsIdentifierByte(text[at - 1])) &&
                           (at + word.size() == text.size() || !IsIdentifierByte(text[at + word.size()]));
        if (whole) {
            text.replace(at, word.size(), replacement);
            at += replacement.size();
        } else {
            at += word.size();
        }
    }
    return text;
}

// Student n's files: the same program with his own comment and, for every third, his own names; one file or
// a make project.
std::vector<Source> StudentFiles(int n) {
    const std::string mark = "/* Zadanie 1, student " + std::to_string(n) + " */\n";
    std::string stats = kStats;
    std::string main = kMain;
    if (n % 3 == 0) {
        main = Renamed(Renamed(main, "values", "numbers"), "count", "length");
        stats = Renamed(stats, "divisor", "candidate");
    }
    if (n % 2 == 0) {
        return {{"main.c", mark + "#include <stdio.h>\n\n" + std::string(kHeader) + stats + main}};
    }
    return {{"stats.h", kHeader},
            {"stats.c", mark + "#include <stdio.h>\n#include \"stats.h\"\n" + stats},
            {"main.c", mark + "#include <stdio.h>\n#include \"stats.h\"\n" + main},
            {"prog.mak", kMakefile}};
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Stage totals over all submissions.
struct Stages {
    Clock::duration cycle{}, fetch{}, keep{}, unpack{}, render{}, store{}, build{}, analysis{}, mail{},
        filing{};
};

} // namespace

int main() {
    if (::geteuid() != 0 || std::system("command -v cc >/dev/null && command -v zip >/dev/null") != 0) {
        std::printf("bench_daemon: needs root (for the private Postfix and Dovecot), cc and zip\n");
        return 77;
    }
    bench::BenchServers servers;
    if (!servers.Start("daemon")) {
        std::printf("bench_daemon: the private mail servers did not start (scripts/setup installs them)\n");
        return 77;
    }
    char pattern[] = "/tmp/tarvel-bench-daemon-XXXXXX";
    const std::string root = ::mkdtemp(pattern);
    const std::string zor = root + "/zor";
    const std::string config = root + "/zor.ini";
    fs::create_directories(zor + "/db");
    fs::copy(std::string(TARVEL_SOURCE_DIR) + "/install/empty.db", zor + "/db/default",
             fs::copy_options::recursive);
    fs::create_directories(zor + "/db/default/students");
    fs::create_directories(zor + "/db/default/tasks");
    fs::create_directories(zor + "/bin");
    fs::create_directories(zor + "/tmp");
    fs::copy(std::string(TARVEL_SOURCE_DIR) + "/install/bin/vexil.sh", zor + "/bin/vexil.sh");
    fs::copy(std::string(TARVEL_BINARY_DIR) + "/bin/vexil", zor + "/bin/vexil");
    fs::copy(std::string(TARVEL_BINARY_DIR) + "/bin/zorbox", zor + "/bin/zorbox");
    fs::copy(std::string(TARVEL_SOURCE_DIR) + "/install/bcc", zor + "/bcc", fs::copy_options::recursive);
    WriteConfig(config, "dbase", "zorpath", zor);
    WriteConfig(config, "dbase", "dbpath", zor + "/db/default");
    WriteConfig(config, "dbase", "bccpath", zor + "/bcc/");
    WriteConfig(config, "mails", "pop3", servers.pop3);
    WriteConfig(config, "mails", "smtp", servers.smtp);
    WriteConfig(config, "mails", "user", "zor");
    WriteConfig(config, "mails", "pass", servers.password, true);
    Database db(config);
    db.UsePath(zor + "/db/default");

    // The expected output: the reference program's own, as a pattern of literal text.
    const std::string reference = root + "/reference";
    fs::create_directories(reference);
    WriteFileAtomically(reference + "/main.c", StudentFiles(0)[0].content, false);
    WriteFileAtomically(reference + "/in.txt", kInput, false);
    if (!Run("cd " + reference + " && cc " + kCcFlags + " -o prog main.c && ./prog < in.txt > out.txt")) {
        std::printf("bench_daemon: the reference program does not build\n");
        return 1;
    }
    std::string expected;
    ReadWholeFile(reference + "/out.txt", expected);

    const LocalDate today = Today();
    TaskTypeRecord task;
    AddTaskType(db, "1", 10, today.year + 1, today.month, std::min(today.day, 28), task);
    for (const char* variant : {"a", "b"}) {
        AddVariant(VariantSet{&db, "1"}, variant);
        WriteFileAtomically(VariantFilePath(VariantSet{&db, "1"}, variant, "txt"), "Statistika.\r\n", false);
        WriteFileAtomically(VariantFilePath(VariantSet{&db, "1"}, variant, "in"), kInput, false);
        WriteFileAtomically(VariantFilePath(VariantSet{&db, "1"}, variant, "out"), "%C" + Escaped(expected),
                            false);
    }

    // Fifty students, each mailing a zip: single files uuencoded, projects as MIME attachments.
    for (int n = 0; n < kSubmissions; ++n) {
        StudentRecord student;
        const std::string mailbox = "student" + std::to_string(n % 9 + 1) + "@tarvel.test";
        AddStudent(db, std::to_string(10000 + n), "Student", "Cislo" + std::to_string(n), mailbox, "1", "A1",
                   student);
        ResultRecord result;
        CreateResult(db, "1", student.id, n % 2 == 0 ? "a" : "b", result);
        SaveResult(db, result);

        const std::string folder = root + "/outbox/" + std::to_string(n);
        fs::create_directories(folder);
        for (const Source& file : StudentFiles(n)) {
            WriteFileAtomically(folder + "/" + file.name, file.content, false);
        }
        WriteFileAtomically(folder + "/identity.dat",
                            "[IDZ]\r\nUNID=" + student.unid + "\r\nID=" + student.id + "\r\nTID=1\r\n",
                            false);
        Run("cd " + folder + " && zip -q -X ../" + std::to_string(n) + ".zip *");
        std::string zip;
        ReadWholeFile(folder + "/../" + std::to_string(n) + ".zip", zip);
        const std::string body = n % 2 == 0 ? testing::UuencodedMail(zip) : testing::MimeMail(zip);
        const std::string message = "Message-Id: <bench" + std::to_string(n) + "." +
                                    std::to_string(::getpid()) + "@tarvel.test>\n" + body;
        std::string reason;
        if (SendMail(servers.smtp, mailbox, "zor@tarvel.test", message, kMailTimeout, &reason) != 1) {
            std::printf("bench_daemon: sending submission %d failed: %s\n", n, reason.c_str());
            return 1;
        }
    }
    for (const auto until = Clock::now() + std::chrono::seconds(30);
         ListMatching(servers.dir + "/mail/zor/new", "*").size() < kSubmissions && Clock::now() < until;) {
        ::usleep(50000);
    }

    // The daemon: one cycle per mail, its child processes and mails timed through the seams.
    Stages stages;
    Clock::duration verdictTotal{};
    Clock::time_point renderStart;
    DaemonMail last;
    DaemonContext context{db, config, [&last](const DaemonMail& mail) { last = mail; }};
    context.launcher = [&](const ChildRequest& request) {
        const auto start = Clock::now();
        // The rendering step is the only child started through bash; the rest are the compiler, make and the
        // student's program.
        const bool rendering = !request.arguments.empty() && request.arguments[0] == "bash";
        if (rendering) {
            renderStart = start;
        }
        ChildResult result = RunChild(request);
        (rendering ? stages.render : stages.build) += Clock::now() - start;
        return result;
    };
    const MailDelivery deliver = ConfiguredMailDelivery(MailSettings{});
    context.send = [&](const std::string& host, const std::string& from, const std::string& to,
                       const std::string& message, std::string& failure) {
        const auto start = Clock::now();
        const int sent = deliver(host, from, to, message, failure);
        stages.mail += Clock::now() - start;
        return sent;
    };
    std::map<std::string, int> outcomes;
    for (int n = 0; n < kSubmissions; ++n) {
        const auto renderBefore = stages.render;
        const auto start = Clock::now();
        if (DaemonCycle(context, zor) != 1) {
            std::printf("bench_daemon: cycle %d took no mail\n", n);
            return 1;
        }
        stages.cycle += Clock::now() - start;
        const Clock::duration render = stages.render - renderBefore;
        stages.fetch += last.times.fetch - last.times.keep;
        stages.keep += last.times.keep;
        // The intake begins right after the fetch and unpacks until the rendering step starts.
        const Clock::duration unpack = renderStart - start - last.times.fetch;
        stages.unpack += unpack;
        stages.store += last.times.intake - unpack - render;
        verdictTotal += last.times.verdict;
        stages.filing += last.times.filing;
        ++outcomes[std::string(OutcomeName(last.submission.outcome)) + ", test " +
                   std::to_string(last.submission.testCode)];
    }
    stages.analysis = verdictTotal - stages.build - stages.mail;

    // The floor: the same sources compiled by cc and run on the same input, nothing else.
    Clock::duration floor{};
    for (int n = 0; n < kSubmissions; ++n) {
        const std::string folder = root + "/floor/" + std::to_string(n);
        fs::create_directories(folder);
        std::string sources;
        for (const Source& file : StudentFiles(n)) {
            WriteFileAtomically(folder + "/" + file.name, file.content, false);
            if (file.name.ends_with(".c")) {
                sources += " " + file.name;
            }
        }
        WriteFileAtomically(folder + "/in.txt", kInput, false);
        const auto start = Clock::now();
        Run("cd " + folder + " && cc " + kCcFlags + " -o prog" + sources + " && ./prog < in.txt > out.txt");
        floor += Clock::now() - start;
    }

    const double per = kSubmissions;
    const double cycle = Ms(stages.cycle) / per;
    const double floorMs = Ms(floor) / per;
    const double own = cycle - Ms(stages.build) / per - Ms(stages.fetch) / per - Ms(stages.mail) / per;
    std::printf("Receiving daemon, %d submissions through Postfix and Dovecot (half single files, half make "
                "projects)\n",
                kSubmissions);
    for (const auto& [outcome, count] : outcomes) {
        std::printf("  %-28s %d\n", outcome.c_str(), count);
    }
    std::printf("per submission, ms:\n");
    const std::pair<const char*, Clock::duration> rows[] = {{"fetch (POP3 dialogue)", stages.fetch},
                                                            {"archive (durable copy)", stages.keep},
                                                            {"unpack", stages.unpack},
                                                            {"render (vexil.sh)", stages.render},
                                                            {"identity, deadline, store", stages.store},
                                                            {"build and test", stages.build},
                                                            {"analysis", stages.analysis},
                                                            {"verdict mail (SMTP)", stages.mail},
                                                            {"filing", stages.filing}};
    for (const auto& [name, total] : rows) {
        std::printf("  %-28s %8.2f\n", name, Ms(total) / per);
    }
    std::printf("  %-28s %8.2f\n", "whole cycle", cycle);
    std::printf("floor (cc and the program directly): %.2f ms\n", floorMs);
    std::printf("ratio cycle / floor: %.2f (goal at most 1.4)\n", cycle / floorMs);
    std::printf(
        "daemon's own work (cycle without compiler, program and server answers): %.2f ms (goal at most 25)\n",
        own);
    fs::remove_all(root);
    return 0;
}
