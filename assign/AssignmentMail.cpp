#include "assign/AssignmentMail.h"

#include "mail/MailMessage.h"
#include "platform/FileOps.h"
#include "store/Tasks.h"

#include <cstdio>
#include <fstream>

namespace tarvel {

namespace {

constexpr std::size_t kMaxVariantText = 65535;

bool IsPrintableAscii(const std::string& text) {
    for (unsigned char byte : text) {
        if (byte < 0x20 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string TaskSection(Database& db, const std::string& task, const std::string& variant) {
    TaskTypeRecord taskType;
    if (!LoadTaskType(db, task, taskType)) {
        return {};
    }
    char deadline[64];
    std::snprintf(deadline, sizeof deadline, "%i/%i/%i", taskType.ToYear, taskType.ToMonth, taskType.ToDay);
    std::string section = "Max pocet bodov:" + std::to_string(taskType.points) +
                          "\nTermin odovzdania:" + deadline + "\n\nText zadania:\n";
    std::string text;
    if (ReadVariantText(ResolveCaseInsensitive(VariantFilePath(VariantSet{&db, task}, variant, "TXT")),
                        text)) {
        section += text;
    } else {
        section += "Nepodarilo sa nacitat znenie zadania.\n";
    }
    return section;
}

} // namespace

bool ReadVariantText(const std::string& path, std::string& out) {
    std::ifstream file;
    if (IsRegularFile(path)) {
        file.open(path, std::ios::binary);
    }
    if (!file.is_open()) {
        return false;
    }
    std::string text(kMaxVariantText, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        return false;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    out = text.substr(0, text.find('\0'));
    return true;
}

std::string AssignmentBody(Database& db, const StudentRecord& student, const std::string& task,
                           const std::string& variant, const std::string& user,
                           const std::string& pop3Setting) {
    std::string body = "Mily, " + student.name + " " + student.surname + "(UNID:" + student.unid +
                       ", ZORID:" + student.id + ")\n\nBolo ti pridelene zadanie cislo " + task +
                       " variant " + variant + ".\n\n";
    body += TaskSection(db, task, variant);
    body += DaemonSignature(user, pop3Setting);
    return body;
}

std::string AssignmentSubject(const std::string& task) {
    const std::string subject = "Zadanie cislo " + task;
    return IsPrintableAscii(subject) ? subject : "Zadanie";
}

} // namespace tarvel
