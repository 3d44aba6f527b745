#pragma once
// The text of the assignment mail that tells a student the variant drawn for one task type.

#include "store/Database.h"
#include "store/Students.h"

#include <string>

namespace tarvel {

// The variant's task text as the mail carries it: at most the file's first 65535 bytes, up to the first zero
// byte. False when the file cannot be opened or read.
bool ReadVariantText(const std::string& path, std::string& out);

// The body: the greeting with name, surname, UNI ID and ZOR ID; the task and variant; when the task record
// reads, the points, the deadline as year/month/day and the variant's text (or a line saying it could not be
// read); then the daemon's signature with user@<POP3 host>.
std::string AssignmentBody(Database& db, const StudentRecord& student, const std::string& task,
                           const std::string& variant, const std::string& user,
                           const std::string& pop3Setting);

// A short ASCII subject naming the task.
std::string AssignmentSubject(const std::string& task);

} // namespace tarvel
