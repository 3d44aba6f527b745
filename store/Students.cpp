#include "store/Students.h"

#include "platform/FileOps.h"
#include "store/IdAllocation.h"

namespace tarvel {
namespace {

RecordSection IndexSection(Database& db) {
    return RecordSection{&db, kStudentsFile, kStudentIndexSection};
}

// A student id names a directory: it must stay one path component inside students/.
bool IsUsableStudentId(const std::string& studentId) {
    return !studentId.empty() && studentId != "." && studentId != ".." &&
           studentId.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

bool ReadPersonalKeys(const SectionReader& reader, StudentRecord& out) {
    return reader.ReadString("unid", out.unid) && reader.ReadString("name", out.name) &&
           reader.ReadString("surname", out.surname) && reader.ReadString("email", out.email) &&
           reader.ReadString("teacher", out.teacher) && reader.ReadString("group", out.group);
}

// Loads the personal section without touching lastOk.
bool ReadStudent(Database& db, const std::string& studentId, StudentRecord& out) {
    out.id = studentId;
    SectionReader reader;
    if (!IsUsableStudentId(studentId) || !StudentSection(db, studentId).Load(reader) ||
        !ReadPersonalKeys(reader, out)) {
        return false;
    }
    out.listedAs = out.unid;
    return true;
}

} // namespace

std::string StudentFile(const std::string& studentId) {
    return "students/" + studentId + "/student.dat";
}

RecordSection StudentSection(Database& db, const std::string& studentId) {
    return RecordSection{&db, StudentFile(studentId), studentId};
}

bool AddStudent(Database& db, const std::string& unid, const std::string& name, const std::string& surname,
                const std::string& email, const std::string& teacherId, const std::string& group,
                StudentRecord& out) {
    StudentRecord student;
    const bool allocated = AllocateId(db, kStudentsFile, student.id);
    const bool created = allocated && db.MakeDirectory("students/" + student.id);
    student.listedAs = unid;
    student.unid = unid;
    student.name = name;
    student.surname = surname;
    student.email = email;
    student.teacher = teacherId;
    student.group = group;
    out = student;
    if (!created) {
        return db.Report(false);
    }
    return SaveStudent(db, student);
}

bool SaveStudent(Database& db, const StudentRecord& student) {
    if (!IsUsableStudentId(student.id)) {
        return db.Report(false);
    }
    RecordChanges index;
    if (!student.listedAs.empty()) {
        index.DeleteKey(student.listedAs);
    }
    index.WriteString(student.unid, student.id);
    const bool indexed = IndexSection(db).Apply(index);

    RecordChanges personal;
    personal.WriteString("unid", student.unid);
    personal.WriteString("name", student.name);
    personal.WriteString("surname", student.surname);
    personal.WriteString("email", student.email);
    personal.WriteString("teacher", student.teacher);
    personal.WriteString("group", student.group);
    const bool saved = StudentSection(db, student.id).Apply(personal);
    db.MarkStudentsStale();
    return db.Report(indexed && saved);
}

bool LoadStudentByUniId(Database& db, const std::string& unid, StudentRecord& out) {
    std::string studentId;
    const bool ok = StudentIdOf(db, unid, studentId) && !studentId.empty() && ReadStudent(db, studentId, out);
    return db.Report(ok);
}

bool LoadStudent(Database& db, const std::string& studentId, StudentRecord& out) {
    return db.Report(ReadStudent(db, studentId, out));
}

bool StudentIdOf(Database& db, const std::string& unid, std::string& studentId) {
    std::string value;
    const bool found = IndexSection(db).ReadString(unid, value);
    studentId = found ? value : std::string();
    return db.Report(found);
}

bool CheckStudentId(Database& db, const std::string& unid, const std::string& studentId) {
    std::string value;
    return db.Report(IndexSection(db).ReadString(unid, value) && value == studentId);
}

bool DeleteStudent(Database& db, const std::string& unid) {
    std::string studentId;
    const bool found = StudentIdOf(db, unid, studentId) && IsUsableStudentId(studentId);
    db.MarkStudentsStale();
    if (!found) {
        return db.Report(false);
    }
    const bool deleted = db.DeleteRelative("students/" + studentId) && IndexSection(db).DeleteKey(unid);
    return db.Report(deleted);
}

bool StudentsOfTeacher(Database& db, const std::string& teacherId, std::vector<std::string>& unids) {
    std::shared_ptr<const StudentIndex> index;
    if (!db.ReadStudentIndex(index)) {
        return db.Report(false);
    }
    std::vector<std::string> found;
    for (const auto& [unid, studentId] : index->entries) {
        StudentRecord student;
        if (studentId.empty() || studentId == kStringSentinel || !ReadStudent(db, studentId, student)) {
            return db.Report(false);
        }
        if (student.teacher == teacherId) {
            found.push_back(unid);
        }
    }
    unids = std::move(found);
    return db.Report(!index->entries.empty());
}

bool HasNoStudents(Database& db) {
    std::shared_ptr<const StudentIndex> index;
    return db.ReadStudentIndex(index) && index->entries.empty();
}

} // namespace tarvel
