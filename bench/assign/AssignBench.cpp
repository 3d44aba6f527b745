// A term's set-up at scale: a class list of 500 students read into a fresh database as students of one
// teacher, then "&Pridelenie zadaní" for two task types of three variants, every mail going through the
// private Postfix. Beside it, in the same run, the floor: the same number of mails of the same size sent
// directly, and the class list parsed without storing anything. Prints the totals, the time per student and
// the ratios.

#include "assign/Assignment.h"
#include "dialogs/ClassList.h"
#include "mail/MailClient.h"
#include "mail/MailMessage.h"
#include "platform/FileOps.h"
#include "shell/Config.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include "BenchServers.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace tarvel;
using Clock = std::chrono::steady_clock;

constexpr int kStudents = 500;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

class Consenting final : public Prompts {
public:
    bool Ask(const Prompt&) override { return true; }
    void Tell(const Prompt&) override {}
    std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(const FolderRequest&) override { return std::nullopt; }
};

std::string ClassListText() {
    std::string text = "UNI ID;Meno;Priezvisko;e-mail;Kr\xC3\xBA\xC5\xBEok\n";
    for (int i = 0; i < kStudents; ++i) {
        text += std::to_string(20000 + i) + ";Meno;Priezvisko" + std::to_string(i) + ";s" +
                std::to_string(i) + "@tarvel.test;" + std::to_string(1 + i % 12) + "\n";
    }
    return text;
}

} // namespace

int main() {
    if (::geteuid() != 0) {
        std::printf("bench_assign: needs root (for the private Postfix and Dovecot)\n");
        return 0;
    }
    bench::BenchServers servers;
    if (!servers.Start("assign")) {
        std::printf("bench_assign: the mail servers did not start\n");
        return 1;
    }
    namespace fs = std::filesystem;
    const std::string work = servers.dir + "/work";
    const std::string config = work + "/zor.ini";
    fs::create_directories(work);
    fs::copy(std::string(TARVEL_SOURCE_DIR) + "/install/empty.db", work + "/db", fs::copy_options::recursive);
    fs::create_directories(work + "/db/students");
    fs::create_directories(work + "/db/tasks");
    WriteConfig(config, "mails", "smtp", servers.smtp);
    WriteConfig(config, "mails", "pop3", servers.pop3);
    Database db(config);
    db.UsePath(work + "/db");
    TeacherRecord teacher;
    AddTeacher(db, "Jan", "Novak", "", "", "tabla", teacher);
    const std::string text = ClassListText();
    WriteFileAtomically(work + "/trieda.csv", text, false);
    for (const char* task : {"1", "2"}) {
        TaskTypeRecord record;
        AddTaskType(db, task, 10, 2030, 1, 1, record);
        for (const char* variant : {"a", "b", "c"}) {
            AddVariant({&db, task}, variant);
            WriteFileAtomically(VariantFilePath({&db, task}, variant, "txt"), std::string(600, 'x') + "\r\n",
                                false);
        }
    }

    auto start = Clock::now();
    std::vector<ClassListRow> rows;
    std::vector<RefusedRow> refused;
    std::string failure;
    ReadClassList(text, rows, refused, failure);
    const auto parse = Clock::now() - start;
    start = Clock::now();
    const ClassListImport imported = ImportClassList(db, work + "/trieda.csv", teacher.id);
    const auto import = Clock::now() - start;

    Consenting prompts;
    int mails = 0;
    std::size_t mailBytes = 0;
    AssignmentContext context{db, config, prompts};
    context.send = [&](const std::string& host, const std::string& from, const std::string& to,
                       const std::string& message, std::string& failure) {
        ++mails;
        mailBytes = message.size();
        return SendMail(host, from, to, message, kMailTimeout, &failure);
    };
    start = Clock::now();
    AssignAll(context);
    const auto assign = Clock::now() - start;

    // The floor: as many mails of the same size, sent one after another through the same server.
    const std::string message = "From: zor@127.0.0.1\nTo: s@tarvel.test\nSubject: Zadanie cislo 1\n\n" +
                                std::string(mailBytes > 60 ? mailBytes - 60 : 1, 'x') + "\n";
    start = Clock::now();
    for (int i = 0; i < mails; ++i) {
        SendMail(servers.smtp, "zor@127.0.0.1", "s" + std::to_string(i % kStudents) + "@tarvel.test",
                 message);
    }
    const auto floor = Clock::now() - start;

    std::printf(
        "class list: %d of %d students added in %.0f ms (%.2f ms per student); parsing alone %.1f ms\n",
        imported.added, kStudents, Ms(import), Ms(import) / kStudents, Ms(parse));
    std::printf("assignment: %d mails in %.0f ms (%.2f ms per student); floor, the same mails sent directly: "
                "%.0f ms; ratio %.2f\n",
                mails, Ms(assign), Ms(assign) / kStudents, Ms(floor), Ms(assign) / Ms(floor));
    std::printf("set-up of the class in all: %.0f ms, %.2f ms per student\n", Ms(import + assign),
                Ms(import + assign) / kStudents);
    return imported.added == kStudents && mails == 2 * kStudents ? 0 : 1;
}
