#pragma once
// The lines the administration dialogs list teachers and students by, and what a line stands for. Each list
// entry carries its key (teacher id or UNI ID) beside its text, so that the record of a line is found by the
// key and never by cutting the text; the lists keep their entries sorted as text, in byte order.

#include "store/Students.h"
#include "store/Teachers.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

struct ListEntry {
    std::string text;
    std::string key;
};

// "%2s %s %s" of the teacher id, surname and first name: " 7 Novák Ján".
std::string TeacherLine(const TeacherRecord& teacher);
// The teacher a line names: leading blanks skipped, the digits up to the first other character read as a
// number (none gives 0) and written back as plain decimal text, " 7 Novák" giving "7".
std::string TeacherOfLine(std::string_view line);
// "%5s - %s %s" of the UNI ID, surname and first name: "10231 - Kováč Peter".
std::string StudentLine(const StudentRecord& student);
// The evaluation's lines: "%2s - %5s - %s %s" of the group, UNI ID, surname and first name, and a similar
// classmate's "%2s - %s %s" of the group, surname and first name.
std::string GradingLine(const StudentRecord& student);
std::string ClassmateLine(const StudentRecord& student);

// Sorts ascending by text in byte order; entries with equal texts keep their order.
void SortEntries(std::vector<ListEntry>& entries);
// The position of the first entry with the key, or -1.
int FindKey(const std::vector<ListEntry>& entries, std::string_view key);

// The line of every teacher, keyed by the teacher it names, sorted. False when the teacher list cannot be
// read (the entries are then empty).
bool TeacherEntries(Database& db, std::vector<ListEntry>& entries);
// The line of every student, keyed by UNI ID, sorted. False when the student list cannot be read.
bool StudentEntries(Database& db, std::vector<ListEntry>& entries);

} // namespace tarvel
