// The results export: the report's rows as UTF-8 CSV, and what a real CSV reader makes of the file.

#include "evaluation/ResultsCsv.h"

#include "evaluation/ReportFixture.h"
#include "platform/Cp1250.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <utility>

namespace tarvel::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST_F(ReportTest, TheExportHasTheReportsRowsWithItsEmptyCellsEmpty) {
    EXPECT_EQ(ResultsCsvText(ReadResultsTable(db, Listing())),
              "\xEF\xBB\xBF"
              "Krúžok,UNI ID,Priezvisko,Meno,Z1 variant,Z1 dní po termíne,Z1 pokusy,Z1 body (10),"
              "Z2 variant,Z2 dní po termíne,Z2 pokusy,Z2 body (20),Suma (30)\r\n"
              "1,10256,Baláž,Martin,a,3,2,7,b,,0,,7\r\n"
              "1,10300,Smith & Co,<Ann>,,,,,,,,,\r\n"
              "2,10231,Kováč,Peter,a,0,1,0,x<y&z,1,1,0,\r\n"
              ",99999,,,,,,,,,,,\r\n");
}

TEST_F(ReportTest, WithoutTaskTypesOnlyThePersonAndTheSumRemain) {
    EXPECT_EQ(ResultsCsvText(ReadResultsTable(db, {{"10256"}, {}, teacher, false})),
              "\xEF\xBB\xBF"
              "Krúžok,UNI ID,Priezvisko,Meno,Suma (0)\r\n1,10256,Baláž,Martin,\r\n");
}

// The file as Python's csv module reads it, one cell per line, rows apart by an empty line.
std::optional<Rows> ReadWithPython(const TempDir& dir, const std::string& csv) {
    WriteBytes(dir / "read.py",
               "import csv, sys\n"
               "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
               "    rows = list(csv.reader(f))\n"
               "with open(sys.argv[2], 'w', encoding='utf-8', newline='') as out:\n"
               "    out.write(''.join(''.join(c + '\\x1f' for c in r) + '\\x1e' for r in rows))\n");
    if (std::system(("python3 " + dir / "read.py" + " " + csv + " " + dir / "cells").c_str()) != 0) {
        return std::nullopt;
    }
    Rows rows(1);
    std::string cell;
    for (const char c : ReadBytes(dir / "cells")) {
        if (c == '\x1f') {
            rows.back().push_back(std::exchange(cell, {}));
        } else if (c == '\x1e') {
            rows.emplace_back();
        } else {
            cell += c;
        }
    }
    rows.pop_back();
    return rows;
}

TEST_F(ReportTest, ASpreadsheetReadsBackEveryNameWhole) {
    if (!HasTool("python3")) {
        GTEST_SKIP() << "python3 is missing";
    }
    StudentRecord quoted;
    ASSERT_TRUE(
        AddStudent(db, "10400", "Jozef \"Jo\x9Eo\"", "\xC8ierny, ml.; st.", "j@x", teacher.id, "3", quoted));
    Store(quoted, "1", {"v,1;\"2\"", 1, 0, 9});
    prompts.files.push_back(dir / "export");
    ExportResultsCsv(db, prompts, {{"10400", "10256"}, {"1"}, teacher, false});
    EXPECT_TRUE(prompts.told.empty());
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.fileRequests[0].filter), "Tabuľka výsledkov (*.csv)|*.csv|");
    EXPECT_EQ(prompts.fileRequests[0].defaultExtension, "csv");

    const std::optional<Rows> rows = ReadWithPython(dir, dir / "export.csv");
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(*rows,
              (Rows{{"Krúžok", "UNI ID", "Priezvisko", "Meno", "Z1 variant", "Z1 dní po termíne", "Z1 pokusy",
                     "Z1 body (10)", "Suma (10)"},
                    {"3", "10400", "Čierny, ml.; st.", "Jozef \"Jožo\"", "v,1;\"2\"", "0", "1", "9", "9"},
                    {"1", "10256", "Baláž", "Martin", "a", "3", "2", "7", "7"}}));
}

TEST_F(ReportTest, AnExportThatCannotBeWrittenIsTold) {
    prompts.files.push_back(dir / "missing/export.csv");
    ExportResultsCsv(db, prompts, Listing());
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "Nemožno zapísať do súboru !!!");
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), "Chyba");
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
}

TEST_F(ReportTest, AnEmptyListIsNotExported) {
    ExportResultsCsv(db, prompts, {{}, {"1"}, teacher, false});
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "V zozname nie sú žiadny študenti !!!");
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), "Pozor");
    EXPECT_TRUE(prompts.fileRequests.empty());
}

} // namespace
} // namespace tarvel::testing
