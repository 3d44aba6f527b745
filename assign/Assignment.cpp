#include "assign/Assignment.h"

#include "assign/AssignmentMail.h"
#include "assign/Random.h"
#include "mail/MailClient.h"
#include "mail/MailMessage.h"
#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "shell/Settings.h"
#include "store/Results.h"
#include "store/Tasks.h"

#include <vector>

namespace tarvel {

namespace {

constexpr const char* kAssignTitle = "Pridelenie zadania";

bool IsEmptyDirectory(const std::string& path) {
    return IsDirectory(path) && ListMatching(path, "*").empty();
}

void MailAssignment(AssignmentContext& context, const StudentRecord& student, const std::string& task,
                    const std::string& variant) {
    const MailSettings mail = ReadMailSettings(context.configPath);
    const std::string body = AssignmentBody(context.db, student, task, variant, mail.user, mail.pop3);
    const MailHeader header{DaemonAddress(mail.user, mail.pop3), student.email, AssignmentSubject(task),
                            context.clock()};
    std::string message;
    if (ComposeMail(header, body, message)) {
        ChosenDelivery(context.send, mail)(mail.smtp, header.from, student.email, message);
    }
}

// Draws a variant of the task type for the student; a task type without variants is skipped.
void DrawAndAssign(AssignmentContext& context, const StudentRecord& student, const std::string& task) {
    std::vector<std::string> variants;
    if (!Variants(VariantSet{&context.db, task}, variants) || variants.empty()) {
        return;
    }
    const int index = VariantIndex(NextRandom(), static_cast<int>(variants.size()));
    AssignVariant(context, student, task, variants[static_cast<std::size_t>(index)]);
}

std::vector<std::string> FreshTaskTypes(Database& db) {
    std::vector<std::string> tasks;
    db.MarkTaskTypesStale();
    db.TaskTypes(tasks);
    return tasks;
}

} // namespace

void AssignAll(AssignmentContext& context) {
    if (!context.prompts.Ask({Cp1250Text("Všetkým študentom bez pridelených zadaní sa pridelia zadania."),
                              kAssignTitle, PromptButtons::OkCancel, PromptIcon::Information})) {
        return;
    }
    SeedRandom(static_cast<unsigned>(context.clock()));
    Database& db = context.db;
    const std::vector<std::string> tasks = FreshTaskTypes(db);
    std::vector<std::string> students;
    db.MarkStudentsStale();
    db.StudentKeys(students);
    const int total = static_cast<int>(students.size());
    for (int done = 0; done < total; ++done) {
        StudentRecord student;
        if (!LoadStudentByUniId(db, students[static_cast<std::size_t>(done)], student)) {
            continue;
        }
        if (context.progress) {
            context.progress(done, total, &student);
        }
        for (const std::string& task : tasks) {
            if (!HasResult(db, student.id, task)) {
                DrawAndAssign(context, student, task);
            }
        }
    }
    if (context.progress) {
        context.progress(total, total, nullptr);
    }
    context.prompts.Tell({Cp1250Text("Každý študent má pridelené zadania."), "Zadania", PromptButtons::Ok,
                          PromptIcon::Information});
}

void ReassignStudent(AssignmentContext& context, const std::string& unid) {
    if (!context.prompts.Ask({Cp1250Text("Študent už môže mať pridelené zadania!\nPrideliť nové?"),
                              kAssignTitle, PromptButtons::YesNo, PromptIcon::Warning})) {
        return;
    }
    Database& db = context.db;
    StudentRecord student;
    if (!LoadStudentByUniId(db, unid, student)) {
        return;
    }
    for (const std::string& task : FreshTaskTypes(db)) {
        int submissions = 0;
        ResultSection(db, student.id, task).ReadInt("ver", submissions);
        if (submissions != 0) {
            context.prompts.Tell({Cp1250Text("Študent už odovzdal zadanie č.") + task +
                                      Cp1250Text("\nNemožno ho znovuprideliť !!!"),
                                  kAssignTitle, PromptButtons::Ok, PromptIcon::Warning});
            continue;
        }
        if (HasResult(db, student.id, task)) {
            RemoveResult(db, student.id, task);
        }
        DrawAndAssign(context, student, task);
    }
}

int AssignVariant(AssignmentContext& context, const StudentRecord& student, const std::string& task,
                  const std::string& variant) {
    Database& db = context.db;
    std::string assigned;
    if (ResultSection(db, student.id, task).ReadString("mod", assigned) && !assigned.empty()) {
        return 1;
    }
    ResultRecord result;
    if (!CreateResult(db, task, student.id, variant, result) &&
        !IsEmptyDirectory(db.AbsolutePath(SubmissionDirectory(result)))) {
        return 0;
    }
    if (!SaveResult(db, result)) {
        return 0;
    }
    MailAssignment(context, student, task, variant);
    return 1;
}

} // namespace tarvel
