// zordemo CONFIG DATADIR: makes the demo database db/demo of the installation that CONFIG names (zorpath) and
// makes it the current one.
// Two teachers, a class of twelve, two task types of three variants each (texts, inputs and expected outputs
// from DATADIR/tasks), every student assigned, and ten submissions (sources from DATADIR/sources) mailed as a
// student's mail program mails them and taken through the intake and the verdict stage as the receiving
// daemon takes them: correct ones, a near-copy pair, a wrong output, a compile error, one after the deadline
// and a refused second try. Nothing is sent: the mails the students would get are written into
// <zorpath>/demo-outbox.

#include "assign/Assignment.h"
#include "mail/Intake.h"
#include "mail/MailMessage.h"
#include "mail/Verdict.h"
#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "platform/TextMode.h"
#include "shell/Databases.h"
#include "shell/Prompts.h"
#include "shell/Settings.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <ctime>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tarvel {
namespace {

struct DemoTeacher {
    const char* name;
    const char* surname;
    const char* email;
    const char* room;
    const char* password;
};

// The logins the README names.
const DemoTeacher kTeachers[] = {
    {"Ján", "Novák", "jan.novak@fakulta.example", "B-215", "tabla"},
    {"Mária", "Kráľová", "maria.kralova@fakulta.example", "B-217", "krida"},
};

struct DemoStudent {
    const char* unid;
    const char* name;
    const char* surname;
    int teacher; // index into kTeachers
    const char* group;
};

const DemoStudent kStudents[] = {
    {"10231", "Peter", "Kováč", 0, "1"},   {"10245", "Jana", "Horváthová", 0, "1"},
    {"10256", "Martin", "Baláž", 0, "1"},  {"10267", "Zuzana", "Šimková", 0, "1"},
    {"10278", "Tomáš", "Varga", 0, "1"},   {"10289", "Lucia", "Némethová", 0, "1"},
    {"10293", "Michal", "Oravec", 1, "2"}, {"10304", "Katarína", "Tóthová", 1, "2"},
    {"10315", "Juraj", "Lukáč", 1, "2"},   {"10326", "Veronika", "Poláková", 1, "2"},
    {"10337", "Ondrej", "Kučera", 1, "2"}, {"10348", "Simona", "Ďurišová", 1, "2"},
};

const char* const kVariants[] = {"a", "b", "c"};

// Task 1 is open for two more weeks; task 2 closed three days ago, so one of its submissions is late.
constexpr int kTask1DaysLeft = 14;
constexpr int kTask2DaysOver = 3;

LocalDate DaysFromToday(int days) {
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    localtime_r(&now, &day);
    day.tm_mday += days;
    day.tm_hour = 12; // away from a daylight-saving change
    std::mktime(&day);
    return {day.tm_mday, day.tm_mon + 1, day.tm_year + 1900};
}

// The demo's own texts are UTF-8 in the repository; the database holds Windows-1250 with CR LF line ends.
bool ReadDemoText(const std::string& path, std::string& out) {
    std::string utf8;
    return ReadWholeFile(path, utf8) && Utf8ToCp1250(utf8, out);
}

// Assigning one variant asks nothing; a box it showed would be a fault of the demo's data.
class NoPrompts final : public Prompts {
public:
    bool Ask(const Prompt& prompt) override {
        Tell(prompt);
        return false;
    }
    void Tell(const Prompt& prompt) override {
        std::fprintf(stderr, "zordemo: [%s] %s\n", Cp1250ToUtf8(prompt.title).c_str(),
                     Cp1250ToUtf8(prompt.text).c_str());
    }
    std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(const FolderRequest&) override { return std::nullopt; }
};

// Keeps each mail as a file numbered in sending order instead of sending it.
MailDelivery OutboxDelivery(const std::string& outbox) {
    auto count = std::make_shared<int>(0);
    return [outbox, count](const std::string&, const std::string&, const std::string& to,
                           const std::string& message, std::string& failure) {
        char number[16];
        std::snprintf(number, sizeof number, "%02d", ++*count);
        const std::string path = JoinPath(outbox, std::string(number) + "-" + to + ".eml");
        if (MakeDirectories(outbox) && WriteFileAtomically(path, message, false)) {
            return 1;
        }
        failure = "cannot write " + path;
        return 0;
    };
}

using Files = std::vector<std::pair<std::string, std::string>>;

la_ssize_t AppendTo(archive*, void* target, const void* bytes, size_t size) {
    static_cast<std::string*>(target)->append(static_cast<const char*>(bytes), size);
    return static_cast<la_ssize_t>(size);
}

// The files zipped and uuencoded, as a classic mail program attaches them.
bool UuencodedZip(const Files& files, std::string& out) {
    const std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(),
                                                                         archive_write_free);
    bool ok =
        archive_write_set_format_zip(writer.get()) == ARCHIVE_OK &&
        archive_write_add_filter_uuencode(writer.get()) == ARCHIVE_OK &&
        archive_write_set_filter_option(writer.get(), "uuencode", "name", "zadanie.zip") == ARCHIVE_OK &&
        archive_write_set_bytes_in_last_block(writer.get(), 1) == ARCHIVE_OK &&
        archive_write_open(writer.get(), &out, nullptr, AppendTo, nullptr) == ARCHIVE_OK;
    for (const auto& [name, content] : files) {
        if (!ok) {
            break;
        }
        const std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                                  archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(content.size()));
        archive_entry_set_mtime(entry.get(), std::time(nullptr), 0);
        ok = archive_write_header(writer.get(), entry.get()) == ARCHIVE_OK &&
             archive_write_data(writer.get(), content.data(), content.size()) ==
                 static_cast<la_ssize_t>(content.size());
    }
    return archive_write_close(writer.get()) == ARCHIVE_OK && ok;
}

struct Demo {
    Demo(std::string config, std::string data) : configPath(std::move(config)), dataDir(std::move(data)) {}

    std::string configPath;
    std::string dataDir;
    std::string zorpath = CreationInstallationPath(configPath);
    MailDelivery outbox = OutboxDelivery(JoinPath(zorpath, "demo-outbox"));
    Database db{configPath};
    std::vector<StudentRecord> students;
};

bool AddPeople(Demo& demo) {
    std::vector<std::string> teacherIds;
    for (const DemoTeacher& t : kTeachers) {
        TeacherRecord teacher;
        if (!AddTeacher(demo.db, Cp1250Text(t.name), Cp1250Text(t.surname), t.email, t.room, t.password,
                        teacher)) {
            return false;
        }
        teacherIds.push_back(teacher.id);
    }
    for (const DemoStudent& s : kStudents) {
        StudentRecord student;
        const std::string email = std::string("s") + s.unid + "@student.example";
        if (!AddStudent(demo.db, s.unid, Cp1250Text(s.name), Cp1250Text(s.surname), email,
                        teacherIds[static_cast<std::size_t>(s.teacher)], s.group, student)) {
            return false;
        }
        demo.students.push_back(student);
    }
    return true;
}

bool AddTask(Demo& demo, const std::string& task, int points, const LocalDate& deadline) {
    TaskTypeRecord record;
    if (!AddTaskType(demo.db, task, points, deadline.year, deadline.month, deadline.day, record)) {
        return false;
    }
    const VariantSet set{&demo.db, task};
    for (const char* variant : kVariants) {
        AddVariant(set, variant);
        for (const char* extension : {"txt", "in", "out"}) {
            const std::string name = "t" + task + "m" + variant + "." + extension;
            std::string text;
            if (!ReadDemoText(JoinPath(demo.dataDir, "tasks/" + name), text) ||
                !WriteTextModeFile(VariantFilePath(set, variant, extension), text)) {
                std::fprintf(stderr, "zordemo: variant file %s not made\n", name.c_str());
                return false;
            }
        }
    }
    return true;
}

std::string AssignedVariant(Demo& demo, const StudentRecord& student, const std::string& task) {
    ResultRecord result;
    return LoadResult(demo.db, task, student.id, result) ? result.mod : std::string();
}

// One student's mail with the source file (stored under the name main.c) and the identity file, through the
// intake and the verdict stage on the given day. True when the intake ended as expected.
bool Submit(Demo& demo, const StudentRecord& student, const std::string& task, const std::string& source,
            const LocalDate& day, IntakeOutcome expected = IntakeOutcome::Accepted) {
    std::string code;
    if (!ReadDemoText(JoinPath(demo.dataDir, "sources/" + source), code)) {
        std::fprintf(stderr, "zordemo: source %s not read\n", source.c_str());
        return false;
    }
    const std::string identity =
        "[IDZ]\r\nUNID=" + student.unid + "\r\nID=" + student.id + "\r\nTID=" + task + "\r\n";
    std::string attachment;
    if (!UuencodedZip({{"main.c", ToWindowsText(code)}, {kIdentityFileName, identity}}, attachment)) {
        std::fprintf(stderr, "zordemo: the zip of %s not made\n", source.c_str());
        return false;
    }
    const std::string mail = "From: " + student.email + "\nTo: zor@localhost\nSubject: odovzdanie\n\n" +
                             "Posielam zadanie.\n\n" + attachment;
    const IntakeContext intake{demo.db, demo.zorpath, [day] { return day; }};
    VerdictContext verdict{demo.db, demo.configPath, demo.zorpath, "localhost", "zor", "localhost"};
    verdict.send = demo.outbox;
    Submission submission;
    IntakeSubmission(intake, RetrievalText(mail), submission);
    RunVerdictStage(verdict, submission);
    std::printf("%s (%s)\n", DescribeSubmission(submission).c_str(), source.c_str());
    return submission.outcome == expected;
}

// Every student gets a variant of each task and its mail. The variants go round the class instead of being
// drawn, so that every variant has holders and the demo is the same every time.
bool AssignClass(Demo& demo) {
    NoPrompts prompts;
    AssignmentContext assignment{demo.db, demo.configPath, prompts};
    assignment.send = demo.outbox;
    constexpr std::size_t count = std::size(kVariants);
    for (std::size_t i = 0; i < demo.students.size(); ++i) {
        if (AssignVariant(assignment, demo.students[i], "1", kVariants[i % count]) != 1 ||
            AssignVariant(assignment, demo.students[i], "2", kVariants[(i + 1) % count]) != 1) {
            return false;
        }
    }
    return true;
}

// The students who hold the variant, in class order.
std::vector<const StudentRecord*> Holders(Demo& demo, const std::string& task, const std::string& variant) {
    std::vector<const StudentRecord*> holders;
    for (const StudentRecord& student : demo.students) {
        if (AssignedVariant(demo, student, task) == variant) {
            holders.push_back(&student);
        }
    }
    return holders;
}

// Task 1: the first holder of each variant solves it, a second holder of the variant held most hands in a
// near copy of that solution (other comments and layout, the same code), one more student's program prints
// what no variant asks for, and another's does not get through the compiler. The last two are unlike the
// solutions, so that the similarity measure flags the copy alone.
bool SubmitTask1(Demo& demo) {
    const LocalDate today = DaysFromToday(0);
    std::set<const StudentRecord*> done;
    std::vector<const StudentRecord*> mostHeld;
    std::string copied;
    for (const char* variant : kVariants) {
        const auto holders = Holders(demo, "1", variant);
        if (holders.empty()) {
            continue;
        }
        if (!Submit(demo, *holders.front(), "1", std::string("t1m") + variant + ".c", today)) {
            return false;
        }
        done.insert(holders.front());
        if (holders.size() > mostHeld.size()) {
            mostHeld = holders;
            copied = variant;
        }
    }
    if (mostHeld.size() < 2 || !Submit(demo, *mostHeld[1], "1", "t1m" + copied + "-copy.c", today)) {
        return false;
    }
    done.insert(mostHeld[1]);
    std::vector<const StudentRecord*> others;
    for (const StudentRecord& student : demo.students) {
        if (done.count(&student) == 0) {
            others.push_back(&student);
        }
    }
    // The two are alike in form, so they hold different variants where the class allows it.
    const StudentRecord* wrong = others[0];
    const StudentRecord* broken = others[1];
    for (const StudentRecord* student : others) {
        if (AssignedVariant(demo, *student, "1") != AssignedVariant(demo, *wrong, "1")) {
            broken = student;
            break;
        }
    }
    return Submit(demo, *wrong, "1", "wrong-output.c", today) &&
           Submit(demo, *broken, "1", "compile-error.c", today);
}

// Task 2: the first holder of each variant solves it, each a day before the next and all but the last before
// the deadline; the last one's second try, after the deadline, is refused.
bool SubmitTask2(Demo& demo) {
    std::vector<std::pair<std::string, const StudentRecord*>> first;
    for (const char* variant : kVariants) {
        const auto holders = Holders(demo, "2", variant);
        if (!holders.empty()) {
            first.emplace_back(variant, holders.front());
        }
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        const int earlier = static_cast<int>(first.size() - 1 - i);
        const LocalDate day = DaysFromToday(earlier == 0 ? 0 : -kTask2DaysOver - earlier);
        if (!Submit(demo, *first[i].second, "2", "t2m" + first[i].first + ".c", day)) {
            return false;
        }
    }
    return !first.empty() && Submit(demo, *first.back().second, "2", "t2m" + first.back().first + ".c",
                                    DaysFromToday(0), IntakeOutcome::Refused);
}

int MakeDemo(Demo& demo) {
    if (!CreateDatabase(demo.db, demo.configPath, "demo")) {
        std::fprintf(stderr, "zordemo: %s/db/demo not created (it may exist already)\n",
                     demo.zorpath.c_str());
        return 1;
    }
    if (!AddPeople(demo) || !AddTask(demo, "1", 10, DaysFromToday(kTask1DaysLeft)) ||
        !AddTask(demo, "2", 15, DaysFromToday(-kTask2DaysOver))) {
        std::fprintf(stderr, "zordemo: the records of the demo were not all written\n");
        return 1;
    }
    if (!AssignClass(demo) || !SubmitTask1(demo) || !SubmitTask2(demo)) {
        std::fprintf(stderr, "zordemo: a submission did not end as planned\n");
        return 1;
    }
    std::printf("The demo database is %s/db/demo; the mails are in %s/demo-outbox.\n", demo.zorpath.c_str(),
                demo.zorpath.c_str());
    return 0;
}

} // namespace
} // namespace tarvel

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zordemo CONFIG DATADIR\n");
        return 2;
    }
    tarvel::Demo demo{argv[1], argv[2]};
    return tarvel::MakeDemo(demo);
}
