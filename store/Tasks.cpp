#include "store/Tasks.h"

#include "platform/FileOps.h"
#include "store/RecordSection.h"
#include "store/Students.h"

#include "platform/Cp1250.h"

#include <algorithm>

namespace tarvel {
namespace {

constexpr const char* kVariantExtensions[] = {"txt", "in", "out", "acc"};

RecordSection TaskTypeSection(Database& db, const std::string& name) {
    return RecordSection{&db, kTasksFile, name};
}
RecordSection VariantListSection(const VariantSet& set) {
    return RecordSection{set.db, kTasksFile, "_" + set.taskType};
}

std::string VariantFileName(const VariantSet& set, const std::string& variant, const std::string& extension) {
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return "tasks/t" + set.taskType + "m" + variant + "." + lower;
}

RecordSection AcceptedSection(const VariantSet& set, const std::string& variant) {
    return RecordSection{set.db, VariantFileName(set, variant, "acc"), kAcceptedSection};
}

void AddTaskTypeValues(RecordChanges& changes, const TaskTypeRecord& taskType) {
    changes.WriteInt("points", taskType.points);
    changes.WriteInt("ToDay", taskType.ToDay);
    changes.WriteInt("ToMonth", taskType.ToMonth);
    changes.WriteInt("ToYear", taskType.ToYear);
}

// A task type name names files and directories and heads two sections: one path component, never "_...".
bool IsUsableTaskTypeName(const std::string& name) {
    return IsValidSectionName(name) && name.front() != '_' && name.find('/') == std::string::npos &&
           name != "." && name != "..";
}

} // namespace

bool LoadTaskType(Database& db, const std::string& name, TaskTypeRecord& out) {
    out.name = name;
    SectionReader reader;
    const bool ok = TaskTypeSection(db, name).Load(reader) && reader.ReadInt("points", out.points) &&
                    reader.ReadInt("ToDay", out.ToDay) && reader.ReadInt("ToMonth", out.ToMonth) &&
                    reader.ReadInt("ToYear", out.ToYear);
    return db.Report(ok);
}

bool AddTaskType(Database& db, const std::string& name, int points, int year, int month, int day,
                 TaskTypeRecord& out) {
    out = TaskTypeRecord{name, points, year, month, day};
    if (!IsUsableTaskTypeName(name)) {
        return db.Report(false);
    }
    const bool ok = EditProfile(db.AbsolutePath(kTasksFile), db.LockPath(), [&](ProfileDocument& document) {
        RecordChanges values;
        AddTaskTypeValues(values, out);
        return document.ClearSection(name) && document.ClearSection("_" + name) &&
               values.ApplyTo(document, name);
    });
    db.MarkTaskTypesStale();
    return db.Report(ok);
}

bool SaveTaskType(Database& db, const TaskTypeRecord& taskType) {
    RecordChanges changes;
    AddTaskTypeValues(changes, taskType);
    const bool ok = IsUsableTaskTypeName(taskType.name) && TaskTypeSection(db, taskType.name).Apply(changes);
    db.MarkTaskTypesStale();
    return db.Report(ok);
}

bool DeleteTaskType(Database& db, const std::string& name) {
    db.MarkTaskTypesStale();
    if (!IsUsableTaskTypeName(name)) {
        return db.Report(false);
    }
    const bool filesDeleted = DeleteMatching(db.AbsolutePath("tasks/t" + name + "m*.*"));
    const bool sectionsRemoved =
        EditProfile(db.AbsolutePath(kTasksFile), db.LockPath(), [&](ProfileDocument& document) {
            document.DeleteSection(name);
            document.DeleteSection("_" + name);
            return true;
        });
    return db.Report(filesDeleted && sectionsRemoved);
}

bool Variants(const VariantSet& set, std::vector<std::string>& out) {
    return set.db->Report(VariantListSection(set).Keys(out));
}

std::string VariantFilePath(const VariantSet& set, const std::string& variant, const std::string& extension) {
    return set.db->AbsolutePath(VariantFileName(set, variant, extension));
}

bool IsValidVariantName(const std::string& variant) {
    return !variant.empty() && variant.find_first_of(std::string_view("/\0", 2)) == std::string::npos &&
           IsValidKey(variant);
}

void AddVariant(const VariantSet& set, const std::string& variant) {
    Database& db = *set.db;
    if (!IsValidVariantName(variant)) {
        db.Report(false);
        return;
    }
    bool ok = VariantListSection(set).WriteString(variant, "");
    for (const char* extension : {"in", "out", "txt"}) {
        ok = db.CopyInto(db.AbsolutePath("empty.fl"), VariantFileName(set, variant, extension)) && ok;
    }
    ok = db.CopyInto(db.AbsolutePath("empty.acc"), VariantFileName(set, variant, "acc")) && ok;
    db.Report(ok);
}

void CopyVariantFile(const VariantSet& set, const std::string& variant, const std::string& extension,
                     const std::string& source) {
    if (!IsValidVariantName(variant)) {
        set.db->Report(false);
        return;
    }
    set.db->CopyInto(source, VariantFileName(set, variant, extension));
}

void DeleteVariant(const VariantSet& set, const std::string& variant) {
    Database& db = *set.db;
    if (!IsValidVariantName(variant)) {
        db.Report(false);
        return;
    }
    bool ok = VariantListSection(set).DeleteKey(variant);
    // Exactly the variant's own files: a pattern such as "t1m1.*" would also take variant "1.5"'s files.
    for (const char* extension : kVariantExtensions) {
        const std::string path = ResolveCaseInsensitive(VariantFilePath(set, variant, extension));
        if (IsRegularFile(path)) {
            ok = DeleteMatching(path) && ok;
        }
    }
    db.Report(ok);
}

bool AcceptedStudents(const VariantSet& set, const std::string& variant,
                      std::vector<std::string>& studentIds) {
    Database& db = *set.db;
    std::shared_ptr<const std::vector<std::string>> unids;
    std::shared_ptr<const StudentIndex> index;
    if (!db.ReadSectionKeys(VariantFileName(set, variant, "acc"), kAcceptedSection, unids) ||
        !db.ReadStudentIndex(index)) {
        return db.Report(false);
    }
    // A UNI ID no longer in the index (a deleted student) is left out instead of failing the whole list.
    std::vector<std::string> found;
    for (const auto& unid : *unids) {
        const auto entry = index->studentIdOf.find(UpperCaseCp1250(unid));
        if (entry != index->studentIdOf.end() && !entry->second.empty() && entry->second != kStringSentinel) {
            found.push_back(entry->second);
        }
    }
    studentIds = std::move(found);
    return db.Report(true);
}

bool AddAccepted(const VariantSet& set, const std::string& variant, const std::string& unid) {
    return set.db->Report(IsValidVariantName(variant) && AcceptedSection(set, variant).WriteString(unid, ""));
}

} // namespace tarvel
