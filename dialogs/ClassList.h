#pragma once
// A class list from the university's system (a CSV or TSV file) read into students of one teacher, for the
// "Načítať zoznam..." button of "Pridanie študenta". Each row is added whole or refused with its line
// number and a reason; the dialog shows ClassListReport in one box.
//
// How a file is read:
// - Encoding: a UTF-8 byte order mark, or valid UTF-8 with at least one multi-byte sequence, means UTF-8;
//   anything else is Windows-1250 (pure ASCII is both). Only the five used fields are converted.
// - Separator: the one of TAB, ";" and "," that occurs most often outside quotes in the first non-empty
//   record; on a tie TAB before ";" before ","; none of them gives ";" (a one-column file).
// - Records end with LF or CR LF, the last one also at the end of the file. Records whose fields are all
//   empty or blank (empty lines, Excel's ";;;;") are skipped.
// - Fields as RFC 4180: a field whose first non-blank character is '"' is quoted, "" inside stands for '"',
//   and separators and line breaks inside quotes belong to the field; blanks around a quoted field are
//   dropped, other characters after its closing quote refuse the row. A '"' inside an unquoted field is
//   taken as it is. Every used field is stripped of leading and trailing blanks.
// - Header: the first record is a header when one of its fields names a column (letter case, accents,
//   blanks, "-", "_" and "." ignored: "UNI ID", "uid", "Meno", "first name", "Priezvisko", "e-mail",
//   "Krúžok", "group", ...). Its columns may come in any order and extra ones are ignored; a header that
//   lacks one of the five columns fails the whole file. Where two header fields name the same column, the
//   more precise name wins ("UNI ID" before "ID"), then the first. Without a header the columns are UNI ID,
//   first name, surname, e-mail, group, and further columns are ignored.
// - A row is refused when a field is missing, a field holds a control character or line break, or a
//   character with no Windows-1250 form, the UNI ID is not 1-5 digits, the group not 1-2 digits, the
//   e-mail has no "@" or holds a blank, a name, surname or e-mail is longer than 30 characters (the add
//   dialog's limits), or its UNI ID was already on an earlier row of the file; the import also refuses a UNI
//   ID already in the database. UNI IDs are compared as text, as the student index keys them.

#include "store/Database.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

// Larger files are not read: a class list of thousands of students stays far below it.
inline constexpr std::size_t kMaxClassListBytes = 4 * 1024 * 1024;

// One accepted row, every field in Windows-1250; line is the 1-based line of the row's first line.
struct ClassListRow {
    int line = 0;
    std::string unid;
    std::string name;
    std::string surname;
    std::string email;
    std::string group;
};

// A row that was not added; the reason is a short Slovak text in Windows-1250.
struct RefusedRow {
    int line = 0;
    std::string reason;
};

struct ClassListImport {
    int added = 0;
    std::vector<RefusedRow> refused; // ascending by line
    std::string failure; // why nothing was added at all (Windows-1250); empty when rows were looked at
};

// Parses the bytes of a class list. True when the file as a whole could be read: rows then holds the
// acceptable rows and refused the refused ones, both in file order, and failure is empty. False when it
// cannot be (no row at all, a header without all five columns, a quote left open at the end): rows and
// refused are then empty and failure says why. Knows nothing of the database.
bool ReadClassList(std::string_view fileBytes, std::vector<ClassListRow>& rows,
                   std::vector<RefusedRow>& refused, std::string& failure);

// Reads the file at path (at most kMaxClassListBytes) and adds each acceptable row as a student of teacherId
// with AddStudent and SaveStudent, as the add dialog does. A row whose UNI ID is already in the database is
// refused; a row the store fails to write is removed again (DeleteStudent) and refused. When the file, or
// the student index, cannot be read, nothing is added and failure says why. lastOk is left as the last
// store operation set it.
ClassListImport ImportClassList(Database& db, const std::string& path, const std::string& teacherId);

// The text of the box (Windows-1250, lines separated by "\n", no final line end): "Pridaných študentov: N",
// then the failure when there is one, then, when rows were refused, "Neprijaté riadky:" and one line
// "riadok L: <reason>" per refused row.
std::string ClassListReport(const ClassListImport& result);

} // namespace tarvel
