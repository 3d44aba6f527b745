#include "dialogs/OpeningChecks.h"

#include "assign/Random.h"
#include "platform/Cp1250.h"
#include "store/Students.h"

#include <ctime>
#include <string>
#include <vector>

namespace tarvel {
namespace {

enum class Listing { Teachers, Students, TaskTypes };

// One list a dialog needs, with the two messages for a list that cannot be read and one that is empty.
struct ListCheck {
    Listing listing;
    const char* unreadable; // error, "Chyba databázy"
    const char* empty;      // warning, "Prázdna databáza"
};

constexpr const char* kTeachersUnreadable = "Nie je možné načítať databázu učiteľov !!!";
constexpr const char* kTeachersEmpty = "Databáza učiteľov je prázdna, bezvýznamná operácia !!!";
constexpr const char* kStudentsUnreadable = "Nie je možné načítať databázu študentov !!!";
constexpr const char* kStudentsEmpty = "Databáza študentov je prázdna, bezvýznamná operácia !!!";
constexpr const char* kTaskTypesEmpty = "Databáza zadaní je prázdna, bezvýznamná operácia !!!";

std::vector<ListCheck> ChecksOf(CommandId command) {
    switch (command) {
    case CommandId::AddStudent:
        return {{Listing::Teachers, kTeachersUnreadable,
                 "Databáza učiteľov je ešte prázdna.\n Pridajte učiteľa."}};
    case CommandId::EditStudent:
        return {{Listing::Students, kStudentsUnreadable, kStudentsEmpty},
                {Listing::Teachers, kTeachersUnreadable, kTeachersEmpty}};
    case CommandId::Evaluation:
        return {{Listing::Students, kStudentsUnreadable, kStudentsEmpty}};
    case CommandId::EditTeacher:
        return {{Listing::Teachers, kTeachersUnreadable, kTeachersEmpty}};
    case CommandId::EditTaskType:
        return {{Listing::TaskTypes, "Nie je možné načítať databázu zadaní !!!", kTaskTypesEmpty}};
    case CommandId::AddVariant:
    case CommandId::EditVariant:
        return {{Listing::TaskTypes, "Nie je možné načítať databázu zadaní!!!", kTaskTypesEmpty}};
    default:
        return {};
    }
}

bool Read(Database& db, Listing listing, std::vector<std::string>& items) {
    switch (listing) {
    case Listing::Teachers:
        return db.TeacherIds(items);
    case Listing::Students:
        // A class without students is empty, not a store that cannot be read.
        return db.StudentKeys(items) || HasNoStudents(db);
    case Listing::TaskTypes:
        return db.TaskTypes(items);
    }
    return false;
}

} // namespace

bool ReadyToOpen(CommandId command, Database& db, Prompts& prompts) {
    for (const ListCheck& check : ChecksOf(command)) {
        std::vector<std::string> items;
        if (!Read(db, check.listing, items)) {
            prompts.Tell({Cp1250Text(check.unreadable), Cp1250Text("Chyba databázy"), PromptButtons::Ok,
                          PromptIcon::Error});
            return false;
        }
        if (items.empty()) {
            prompts.Tell({Cp1250Text(check.empty), Cp1250Text("Prázdna databáza"), PromptButtons::Ok,
                          PromptIcon::Warning});
            return false;
        }
    }
    if (command == CommandId::EditStudent) {
        SeedRandom(static_cast<unsigned>(std::time(nullptr)));
    }
    return true;
}

} // namespace tarvel
