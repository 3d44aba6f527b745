#include "store/Teachers.h"

#include "shell/Rc4.h"
#include "store/IdAllocation.h"

#include <algorithm>
#include <vector>

namespace tarvel {
namespace {

// The text the verifier enciphers; only its RC4 image under password + id is stored.
constexpr std::array<std::uint8_t, 5> kVerifierPlaintext = {'T', 'A', 'R', 'V', 'L'};

std::array<std::uint8_t, 5> Verifier(const std::string& password, const std::string& teacherId) {
    const std::string keyText = password + teacherId;
    std::vector<std::uint8_t> key(keyText.begin(), keyText.end());
    std::array<std::uint8_t, 5> verifier = kVerifierPlaintext;
    Rc4 cipher(key);
    cipher.Apply(verifier);
    return verifier;
}

} // namespace

RecordSection TeacherSection(Database& db, const std::string& teacherId) {
    return RecordSection{&db, kTeachersFile, teacherId};
}

bool AddTeacher(Database& db, const std::string& name, const std::string& surname, const std::string& email,
                const std::string& room, const std::string& password, TeacherRecord& out) {
    TeacherRecord teacher;
    const bool allocated = AllocateId(db, kTeachersFile, teacher.id);
    teacher.name = name;
    teacher.surname = surname;
    teacher.email = email;
    teacher.room = room;
    SetPassword(teacher, password);
    out = teacher;
    if (!allocated) {
        return db.Report(false);
    }
    return SaveTeacher(db, teacher);
}

bool LoadTeacher(Database& db, const std::string& teacherId, TeacherRecord& out) {
    SectionReader reader;
    out.id = teacherId;
    const bool ok = TeacherSection(db, teacherId).Load(reader) && reader.ReadString("name", out.name) &&
                    reader.ReadString("surname", out.surname) && reader.ReadString("email", out.email) &&
                    reader.ReadString("room", out.room) && reader.ReadBytes("pwd", out.pwd);
    return db.Report(ok);
}

bool SaveTeacher(Database& db, const TeacherRecord& teacher) {
    RecordChanges changes;
    changes.WriteString("name", teacher.name);
    changes.WriteString("surname", teacher.surname);
    changes.WriteString("email", teacher.email);
    changes.WriteString("room", teacher.room);
    changes.WriteBytes("pwd", teacher.pwd);
    const bool ok = TeacherSection(db, teacher.id).Apply(changes);
    db.MarkTeachersStale();
    return db.Report(ok);
}

bool DeleteTeacher(Database& db, const std::string& teacherId) {
    db.MarkTeachersStale();
    return db.Report(TeacherSection(db, teacherId).Remove());
}

void SetPassword(TeacherRecord& teacher, const std::string& password) {
    teacher.pwd = Verifier(password, teacher.id);
}

bool CheckPassword(const TeacherRecord& teacher, const std::string& password) {
    return Verifier(password, teacher.id) == teacher.pwd;
}

} // namespace tarvel
