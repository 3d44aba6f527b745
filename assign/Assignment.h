#pragma once
// Random assignment of task variants: every student gets one variant of every task type, a result record, a
// submission directory and a mail that tells the variant. Both commands run on the GUI thread, never beside
// the receiving daemon.

#include "mail/MailClient.h"
#include "shell/Prompts.h"
#include "store/Database.h"
#include "store/Students.h"

#include <ctime>
#include <functional>
#include <string>

namespace tarvel {

struct AssignmentContext {
    Database& db;
    std::string configPath; // zor.ini: section "mails" names the servers and the mail user
    Prompts& prompts;
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };
    MailDelivery send = {}; // none: SendMail as the mail settings say
    // Told before each student of "&Pridelenie zadaní" is assigned (done of total, that student) and once
    // more when all are (total of total, no student); may be empty.
    std::function<void(int done, int total, const StudentRecord* student)> progress = {};
    // The assignment mails of the last command that the server did not take, and why the first was not.
    int unsentMails = 0;
    std::string mailFailure = {};
};

// "&Pridelenie zadaní": asks first, seeds the generator with the clock, then gives every student a variant of
// each task type the student does not have yet (task types without variants are skipped), and ends with the
// closing notice whatever happened; mails that did not go out are counted in it, with the first reason.
void AssignAll(AssignmentContext& context);

// "Pridelenie nových zadaní": asks first; then, for the student with the UNI ID (the selected list entry's),
// assigns every task type anew with the generator as it stands, except those already submitted, each of
// which gets a warning. A UNI ID that names no student assigns nothing. Mails that did not go out are told.
void ReassignStudent(AssignmentContext& context, const std::string& unid);

// Assigns one variant and mails the student. Returns 1 when the result record exists afterwards (also when it
// existed before: nothing is then changed or sent), 0 when it could not be created or written. A submission
// directory left empty by an assignment that did not finish is taken over; one with files in it is not.
// The mail's success is not part of the result; a mail that did not go out is counted in the context.
int AssignVariant(AssignmentContext& context, const StudentRecord& student, const std::string& task,
                  const std::string& variant);

} // namespace tarvel
