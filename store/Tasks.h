#pragma once
// Task types and their variants: tasks.dat holds section "<T>" (points and deadline) and "_<T>" (one key per
// variant) per task type; tasks/t<T>m<V>.txt, .in, .out are a variant's files and .acc its accepted list.

#include "store/Database.h"

#include <string>
#include <vector>

namespace tarvel {

struct TaskTypeRecord {
    std::string name;
    int points = 0;
    int ToYear = 0;
    int ToMonth = 0;
    int ToDay = 0;
};

struct VariantSet {
    Database* db = nullptr;
    std::string taskType;
};

inline constexpr const char* kTasksFile = "tasks.dat";
inline constexpr const char* kAcceptedSection = "accepted";

// Every function sets lastOk unless said otherwise.
bool LoadTaskType(Database& db, const std::string& name, TaskTypeRecord& out);
bool AddTaskType(Database& db, const std::string& name, int points, int year, int month, int day,
                 TaskTypeRecord& out);
bool SaveTaskType(Database& db, const TaskTypeRecord& taskType);
bool DeleteTaskType(Database& db, const std::string& name);

bool Variants(const VariantSet& set, std::vector<std::string>& out);
// Absolute path of tasks/t<T>m<V>.<ext>, the extension in lower case. Does not set lastOk.
std::string VariantFilePath(const VariantSet& set, const std::string& variant, const std::string& extension);
// A variant name that can name its files: not empty, no "/" and no NUL. Does not set lastOk.
bool IsValidVariantName(const std::string& variant);
void AddVariant(const VariantSet& set, const std::string& variant);
void CopyVariantFile(const VariantSet& set, const std::string& variant, const std::string& extension,
                     const std::string& source);
void DeleteVariant(const VariantSet& set, const std::string& variant);
// Student ids of the accepted list in file order; a UNI ID no longer in the index is skipped.
bool AcceptedStudents(const VariantSet& set, const std::string& variant,
                      std::vector<std::string>& studentIds);
bool AddAccepted(const VariantSet& set, const std::string& variant, const std::string& unid);

} // namespace tarvel
