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
    std::string failure;
    const bool composed = ComposeMail(header, body, message);
    if (composed &&
        ChosenDelivery(context.send, mail)(mail.smtp, header.from, student.email, message, failure) == 1) {
        return;
    }
    if (!composed) {
        failure = "the mail could not be composed";
    } else if (failure.empty()) {
        failure = "the mail server did not take the mail";
    }
    if (context.unsentMails++ == 0) {
        context.mailFailure = failure;
    }
}

// A teacher whose mail server refuses must not believe the students were told their variants.
std::string UnsentMailsText(const AssignmentContext& context) {
    return Cp1250Text("Počet neodoslaných mailov so zadaním: ") + std::to_string(context.unsentMails) + " (" +
           context.mailFailure + Cp1250Text(").\nSkontrolujte konfiguráciu poštového servra.");
}

void StartCounting(AssignmentContext& context) {
    context.unsentMails = 0;
    context.mailFailure.clear();
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
    StartCounting(context);
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
    const std::string done = Cp1250Text("Každý študent má pridelené zadania.");
    if (context.unsentMails == 0) {
        context.prompts.Tell({done, "Zadania", PromptButtons::Ok, PromptIcon::Information});
    } else {
        context.prompts.Tell(
            {done + "\n\n" + UnsentMailsText(context), "Zadania", PromptButtons::Ok, PromptIcon::Warning});
    }
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
    StartCounting(context);
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
    if (context.unsentMails != 0) {
        context.prompts.Tell(
            {UnsentMailsText(context), kAssignTitle, PromptButtons::Ok, PromptIcon::Warning});
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
