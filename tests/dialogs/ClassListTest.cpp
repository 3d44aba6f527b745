#include "dialogs/ClassList.h"

#include "platform/Cp1250.h"
#include "store/Students.h"

#include "store/StoreFixture.h"

#include <chrono>
#include <cstdio>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

// Rows as "line unid|name|surname|email|group", then refusals as "line ! reason", one a line.
std::string Summary(const std::vector<ClassListRow>& rows, const std::vector<RefusedRow>& refused) {
    std::string out;
    for (const ClassListRow& row : rows) {
        out += std::to_string(row.line) + " " + row.unid + "|" + row.name + "|" + row.surname + "|" +
               row.email + "|" + row.group + "\n";
    }
    for (const RefusedRow& row : refused) {
        out += std::to_string(row.line) + " ! " + row.reason + "\n";
    }
    return out;
}

struct ReadCase {
    const char* name;
    std::string input; // UTF-8 bytes, given to the reader as they are or as Windows-1250
    bool asCp1250;
    const char* expected; // UTF-8 text of the summary, compared in Windows-1250
};

const std::string kLong(31, 'x');

const ReadCase kReadCases[] = {
    {"Utf8Semicolons", "10231;Ján;Kováč;jan@uni.sk;5\n10232;Ľubo;Ďurček;lu@uni.sk;12\n", false,
     "1 10231|Ján|Kováč|jan@uni.sk|5\n2 10232|Ľubo|Ďurček|lu@uni.sk|12\n"},
    {"Cp1250Semicolons", "10231;Ján;Kováč;jan@uni.sk;5\n10232;Ľubo;Ďurček;lu@uni.sk;12\n", true,
     "1 10231|Ján|Kováč|jan@uni.sk|5\n2 10232|Ľubo|Ďurček|lu@uni.sk|12\n"},
    {"ByteOrderMarkCommasCrLfNoFinalEnd",
     "\xEF\xBB\xBF"
     "1,Ana,Bel,a@b,1\r\n2, Bo , Cid ,b@c,2",
     false, "1 1|Ana|Bel|a@b|1\n2 2|Bo|Cid|b@c|2\n"},
    {"TabsHeaderInOtherOrderWithExtraColumn",
     "Priezvisko\tMENO\tE-mail\tKruzok\tPoznámka\tUNI ID\r\nKováč\tJán\tjan@uni.sk\t5\tx\t10231\r\n", true,
     "2 10231|Ján|Kováč|jan@uni.sk|5\n"},
    {"EnglishHeaderMorePreciseIdWins", "ID,mail,Group,uid,Last Name,First_Name\n7,a@b,3,10231,Doe,Jane\n",
     false, "2 10231|Jane|Doe|a@b|3\n"},
    {"QuotedFieldsWithQuotesAndSeparators", "1;\"Ján \"\"Jožo\"\"; ml.\"; \"Kováč, st.\" ;\"a@b\";\"5\"\n",
     false, "1 1|Ján \"Jožo\"; ml.|Kováč, st.|a@b|5\n"},
    {"SeparatorsInsideQuotesDoNotCount", "1;\"A,B,C,D,E,F\";Kováč;a@b;5\n", false,
     "1 1|A,B,C,D,E,F|Kováč|a@b|5\n"},
    {"EmptyAndSeparatorOnlyLinesSkipped", "\n1;A;B;a@b;1\n\n;;;;\r\n  \n2;C;D;c@d;2\n", false,
     "2 1|A|B|a@b|1\n6 2|C|D|c@d|2\n"},
    {"LineBreakInQuotesKeepsFirstLineAndCounts", "1;\"A\r\nB\";C;a@b;1\r\n2;D;E;d@e;2\r\n", false,
     "3 2|D|E|d@e|2\n1 ! v stĺpci meno je riadiaci znak alebo zalomenie riadku\n"},
    {"UnassignedWindows1250Byte", "1;A\x81;B;a@b;1\n", false,
     "1 ! v stĺpci meno je znak, ktorý nemá tvar vo Windows-1250\n"},
    {"EveryRefusal",
     "1;Ján;Kováč;jan@uni.sk;5\n2;;Kováč;x@y;5\n3;A;B;;\n12a;A;B;a@b;1\n123456;A;B;a@b;1\n6;A;B;a@b;123\n"
     "7;A;B;ab;1\n8;A;B;a b@c;1\n9;" +
         kLong + ";B;a@b;1\n10;A;" + kLong + ";a@b;1\n11;A;B;" + kLong +
         "@b;1\n1;A;B;a@b;1\n13;Ωmega;B;a@b;1\n"
         "14;\"A\"x;B;a@b;1\n15;A\x01;B;a@b;1\n16;ĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽ;B;a@b;1\n",
     false,
     "1 1|Ján|Kováč|jan@uni.sk|5\n16 16|ĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽĽ|B|a@b|1\n"
     "2 ! chýba meno\n3 ! chýba e-mail, krúžok\n4 ! UNI ID nemá 1 až 5 číslic: 12a\n"
     "5 ! UNI ID nemá 1 až 5 číslic: 123456\n6 ! krúžok nemá 1 až 2 číslice: 123\n"
     "7 ! e-mail neobsahuje znak @: ab\n8 ! e-mail obsahuje medzeru: a b@c\n9 ! meno má viac ako 30 znakov\n"
     "10 ! priezvisko má viac ako 30 znakov\n11 ! e-mail má viac ako 30 znakov\n"
     "12 ! UNI ID 1 sa už vyskytlo na riadku 1\n13 ! v stĺpci meno je znak, ktorý nemá tvar vo Windows-1250\n"
     "14 ! za úvodzovkami uzatvárajúcimi pole nasledujú ďalšie znaky\n"
     "15 ! v stĺpci meno je riadiaci znak alebo zalomenie riadku\n"},
};

TEST(ClassListReadTest, RowsAndRefusals) {
    for (const ReadCase& test : kReadCases) {
        SCOPED_TRACE(test.name);
        std::vector<ClassListRow> rows;
        std::vector<RefusedRow> refused;
        std::string failure = "stale";
        ASSERT_TRUE(
            ReadClassList(test.asCp1250 ? Cp1250Text(test.input) : test.input, rows, refused, failure));
        EXPECT_EQ(failure, "");
        EXPECT_EQ(Summary(rows, refused), Cp1250Text(test.expected));
    }
}

TEST(ClassListReadTest, FilesThatCannotBeRead) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "Zoznam neobsahuje žiadneho študenta."},
        {"\r\n;;;;\n", "Zoznam neobsahuje žiadneho študenta."},
        {"UNI ID;Meno;Priezvisko;e-mail;Krúžok\n", "Zoznam neobsahuje žiadneho študenta."},
        {"UNI ID;Meno;mail\n1;A;a@b\n", "V hlavičke zoznamu chýba stĺpec: priezvisko, krúžok"},
        {"1;A;B;a@b;1\n2;\"A;B;a@b;1\n3;C;D;c@d;1\n",
         "Úvodzovky otvorené na riadku 2 sa v súbore neuzatvárajú."},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        std::vector<ClassListRow> rows;
        std::vector<RefusedRow> refused;
        std::string failure;
        EXPECT_FALSE(ReadClassList(input, rows, refused, failure));
        EXPECT_EQ(failure, Cp1250Text(expected));
        EXPECT_TRUE(rows.empty());
        EXPECT_TRUE(refused.empty());
    }
}

class ClassListImportTest : public testing::StoreTest {
protected:
    std::size_t IndexedStudents() {
        std::shared_ptr<const StudentIndex> index;
        EXPECT_TRUE(db.ReadStudentIndex(index));
        return index ? index->entries.size() : 0;
    }
    void ExpectStudent(const std::string& unid, const std::string& utf8Fields) {
        StudentRecord student;
        ASSERT_TRUE(LoadStudentByUniId(db, unid, student));
        EXPECT_EQ(student.unid + "|" + student.name + "|" + student.surname + "|" + student.email + "|" +
                      student.teacher + "|" + student.group,
                  Cp1250Text(utf8Fields));
    }
};

TEST_F(ClassListImportTest, AddsRowsAndReportsRefusedOnes) {
    StudentRecord existing;
    ASSERT_TRUE(AddStudent(db, "10231", "Ján", "Kováč", "jan@uni.sk", "1", "5", existing));
    WriteBytes(dir / "trieda.csv", "e-mail;Priezvisko;Meno;UNI ID;Krúžok\r\n"
                                   "jan@uni.sk;Kováč;Ján;10231;5\r\n"
                                   "lu@uni.sk;Ďurček;Ľubomír;10232;12\r\n"
                                   "zla;Nová;Eva;10233;3\r\n");
    const ClassListImport result = ImportClassList(db, dir / "trieda.csv", "3");
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.failure, "");
    EXPECT_EQ(ClassListReport(result), Cp1250Text("Pridaných študentov: 1\nNeprijaté riadky:\n"
                                                  "riadok 2: študent s UNI ID 10231 už je v databáze\n"
                                                  "riadok 4: e-mail neobsahuje znak @: zla"));
    ExpectStudent("10232", "10232|Ľubomír|Ďurček|lu@uni.sk|3|12");
    EXPECT_EQ(IndexedStudents(), 2u);
}

TEST_F(ClassListImportTest, NothingAddedWhenTheFileCannotBeRead) {
    std::filesystem::create_directories(dir / "folder.csv");
    WriteBytes(dir / "big.csv", std::string(kMaxClassListBytes + 1, 'x'));
    WriteBytes(dir / "open.csv", "1;A;B;a@b;1\n2;\"A;B;a@b;1\n");
    WriteBytes(dir / "ok.csv", "1;A;B;a@b;1\n");
    const std::tuple<std::string, std::string, const char*> cases[] = {
        {"missing.csv", "1", "Súbor so zoznamom neexistuje."},
        {"folder.csv", "1", "Zvolená cesta nie je súbor."},
        {"big.csv", "1", "Súbor so zoznamom je väčší ako 4 MiB."},
        {"open.csv", "1", "Úvodzovky otvorené na riadku 2 sa v súbore neuzatvárajú."},
        {"ok.csv", "", "Nie je zvolený učiteľ."},
    };
    for (const auto& [file, teacher, expected] : cases) {
        SCOPED_TRACE(file);
        const ClassListImport result = ImportClassList(db, dir / file, teacher);
        EXPECT_EQ(ClassListReport(result), Cp1250Text(std::string("Pridaných študentov: 0\n") + expected));
        EXPECT_EQ(result.added, 0);
        EXPECT_TRUE(result.refused.empty());
    }
    EXPECT_EQ(IndexedStudents(), 0u);
}

TEST_F(ClassListImportTest, RowTheStoreCannotWriteIsTakenBack) {
    WriteBytes(dir / "trieda.csv", "1;A;B;a@b;1\n");
    // A teacher id with a line break cannot be written, so the index entry AddStudent made must go again.
    const ClassListImport result = ImportClassList(db, dir / "trieda.csv", "1\n2");
    EXPECT_EQ(
        ClassListReport(result),
        Cp1250Text(
            "Pridaných študentov: 0\nNeprijaté riadky:\nriadok 1: študenta nemožno zapísať do databázy"));
    EXPECT_EQ(IndexedStudents(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "db/students/1"));
}

TEST_F(ClassListImportTest, TakenStudentDirectoryRefusesOnlyItsRow) {
    std::filesystem::create_directories(dir / "db/students/1/keep");
    WriteBytes(dir / "trieda.csv", "1;A;B;a@b;1\n2;C;D;c@d;2\n");
    const ClassListImport result = ImportClassList(db, dir / "trieda.csv", "4");
    EXPECT_EQ(
        ClassListReport(result),
        Cp1250Text(
            "Pridaných študentov: 1\nNeprijaté riadky:\nriadok 1: študenta nemožno zapísať do databázy"));
    EXPECT_TRUE(std::filesystem::exists(dir / "db/students/1/keep"));
    ExpectStudent("2", "2|C|D|c@d|4|2");
    EXPECT_EQ(IndexedStudents(), 1u);
}

TEST_F(ClassListImportTest, FiveHundredRows) {
    std::string file = "UNI ID,Meno,Priezvisko,E-mail,Krúžok\r\n";
    for (int i = 0; i < 500; ++i) {
        const std::string n = std::to_string(10000 + i);
        file += n + ",Ľudmila" + n + ",\"Šťastná, " + n + "\",s" + n + "@uni.sk," + std::to_string(i % 40) +
                "\r\n";
    }
    WriteBytes(dir / "trieda.csv", file);
    const auto start = std::chrono::steady_clock::now();
    const ClassListImport result = ImportClassList(db, dir / "trieda.csv", "2");
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("500-row import: %lld ms\n", static_cast<long long>(elapsed.count()));
    EXPECT_EQ(result.added, 500);
    EXPECT_EQ(ClassListReport(result), Cp1250Text("Pridaných študentov: 500"));
    EXPECT_EQ(IndexedStudents(), 500u);
    ExpectStudent("10250", "10250|Ľudmila10250|Šťastná, 10250|s10250@uni.sk|2|10");
    EXPECT_NE(ReadBytes(dir / "db/students.dat").find("\r\n10499=500\r\n"), std::string::npos);
}

} // namespace
} // namespace tarvel
