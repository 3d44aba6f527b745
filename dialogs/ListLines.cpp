#include "dialogs/ListLines.h"

#include <algorithm>

namespace tarvel {
namespace {

std::string RightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

} // namespace

std::string TeacherLine(const TeacherRecord& teacher) {
    return RightAligned(teacher.id, 2) + " " + teacher.surname + " " + teacher.name;
}

std::string TeacherOfLine(std::string_view line) {
    std::size_t at = line.find_first_not_of(' ');
    unsigned long long value = 0;
    // Eighteen digits cannot overflow; a teacher id never has as many.
    for (int digits = 0; at < line.size() && line[at] >= '0' && line[at] <= '9' && digits < 18;
         ++at, ++digits) {
        value = value * 10 + static_cast<unsigned>(line[at] - '0');
    }
    return std::to_string(value);
}

std::string StudentLine(const StudentRecord& student) {
    return RightAligned(student.unid, 5) + " - " + student.surname + " " + student.name;
}

std::string GradingLine(const StudentRecord& student) {
    return RightAligned(student.group, 2) + " - " + StudentLine(student);
}

std::string ClassmateLine(const StudentRecord& student) {
    return RightAligned(student.group, 2) + " - " + student.surname + " " + student.name;
}

void SortEntries(std::vector<ListEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ListEntry& a, const ListEntry& b) { return a.text < b.text; });
}

int FindKey(const std::vector<ListEntry>& entries, std::string_view key) {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [key](const ListEntry& entry) { return entry.key == key; });
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

bool TeacherEntries(Database& db, std::vector<ListEntry>& entries) {
    entries.clear();
    std::vector<std::string> ids;
    if (!db.TeacherIds(ids)) {
        return false;
    }
    for (const std::string& id : ids) {
        // A record that does not load whole is still listed, with what was read of it.
        TeacherRecord teacher;
        LoadTeacher(db, id, teacher);
        const std::string line = TeacherLine(teacher);
        entries.push_back({line, TeacherOfLine(line)});
    }
    SortEntries(entries);
    return true;
}

bool StudentEntries(Database& db, std::vector<ListEntry>& entries) {
    entries.clear();
    std::vector<std::string> unids;
    if (!db.StudentKeys(unids)) {
        return false;
    }
    for (const std::string& unid : unids) {
        StudentRecord student;
        LoadStudentByUniId(db, unid, student);
        if (student.unid.empty()) {
            student.unid = unid;
        }
        entries.push_back({StudentLine(student), unid});
    }
    SortEntries(entries);
    return true;
}

} // namespace tarvel
