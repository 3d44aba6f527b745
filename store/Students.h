#pragma once
// Students: students.dat holds the id counter and the index section "s" (UNI ID = student id); each student
// has students/<sid>/student.dat with the personal section "<sid>" and one result section per task type.

#include "store/Database.h"
#include "store/RecordSection.h"

#include <string>
#include <vector>

namespace tarvel {

struct StudentRecord {
    std::string id;
    std::string listedAs; // the UNI ID under which the student is entered in the index
    std::string unid;
    std::string name;
    std::string surname;
    std::string email;
    std::string teacher;
    std::string group;
};

inline constexpr const char* kStudentsFile = "students.dat";
inline constexpr const char* kStudentIndexSection = "s";

std::string StudentFile(const std::string& studentId); // "students/<sid>/student.dat"
RecordSection StudentSection(Database& db, const std::string& studentId);

// Every function sets lastOk to its result.
bool AddStudent(Database& db, const std::string& unid, const std::string& name, const std::string& surname,
                const std::string& email, const std::string& teacherId, const std::string& group,
                StudentRecord& out);
bool SaveStudent(Database& db, const StudentRecord& student);
bool LoadStudentByUniId(Database& db, const std::string& unid, StudentRecord& out);
bool LoadStudent(Database& db, const std::string& studentId, StudentRecord& out);
bool StudentIdOf(Database& db, const std::string& unid, std::string& studentId);
bool CheckStudentId(Database& db, const std::string& unid, const std::string& studentId);
bool DeleteStudent(Database& db, const std::string& unid);
bool StudentsOfTeacher(Database& db, const std::string& teacherId, std::vector<std::string>& unids);
// True when the index reads and holds no student. (StudentKeys and StudentsOfTeacher fail for such a class
// as they do for an index that cannot be read.) Does not set lastOk.
bool HasNoStudents(Database& db);

} // namespace tarvel
