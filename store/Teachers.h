#pragma once
// Teachers: teachers.dat holds the id counter (section "id") and one section per teacher id.

#include "store/Database.h"
#include "store/RecordSection.h"

#include <array>
#include <cstdint>
#include <string>

namespace tarvel {

struct TeacherRecord {
    std::string id;
    std::array<std::uint8_t, 5> pwd{}; // the password verifier
    std::string name;
    std::string surname;
    std::string email;
    std::string room;
};

inline constexpr const char* kTeachersFile = "teachers.dat";

RecordSection TeacherSection(Database& db, const std::string& teacherId);

// Allocates an id and saves the record. Sets lastOk.
bool AddTeacher(Database& db, const std::string& name, const std::string& surname, const std::string& email,
                const std::string& room, const std::string& password, TeacherRecord& out);
// Sets lastOk: all five keys read (pwd with a valid checksum).
bool LoadTeacher(Database& db, const std::string& teacherId, TeacherRecord& out);
// Writes name, surname, email, room and pwd in one rewrite; marks the teacher list stale. Sets lastOk.
bool SaveTeacher(Database& db, const TeacherRecord& teacher);
// Removes the whole section; marks the teacher list stale. Sets lastOk.
bool DeleteTeacher(Database& db, const std::string& teacherId);
// Do not set lastOk.
void SetPassword(TeacherRecord& teacher, const std::string& password);
bool CheckPassword(const TeacherRecord& teacher, const std::string& password);

} // namespace tarvel
