// The comparison page: the lexemes it colours, the passages it marks, the page as HTML a parser accepts with
// both sources inside it byte for byte, and the command against a real database.

#include "evaluation/SideBySide.h"

#include "analysis/Similarity.h"
#include "platform/Cp1250.h"
#include "shell/Config.h"
#include "store/RecordSection.h"
#include "store/Results.h"
#include "store/StoreFixture.h"
#include "store/Students.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace tarvel {

void PrintTo(const LineRange& range, std::ostream* out) {
    *out << "lines " << range.first << "+" << range.count;
}

namespace testing {
namespace {

std::string Describe(std::string_view text) {
    std::string out;
    for (const SourceLexeme& lexeme : ClassifySource(text)) {
        static constexpr const char* kNames[] = {"plain", "res", "sym", "num", "chr", "str", "kom", "op"};
        out += out.empty() ? "" : " ";
        out += lexeme.directive ? "dir" : kNames[static_cast<int>(lexeme.kind)];
        out += "[" + std::string(text.substr(lexeme.begin, lexeme.end - lexeme.begin)) + "]";
    }
    return out;
}

struct LexemeCase {
    const char* name;
    std::string_view source;
    const char* lexemes;
};

class ClassifySourceTest : public ::testing::TestWithParam<LexemeCase> {};

TEST_P(ClassifySourceTest, FollowsTheRenderersRules) {
    EXPECT_EQ(Describe(GetParam().source), GetParam().lexemes);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ClassifySourceTest,
    ::testing::Values(LexemeCase{"Words", "int integer _x;", "res[int] sym[integer] sym[_x] op[;]"},
                      LexemeCase{"Numbers", "0x1F 12L 1.5e3 .5",
                                 "num[0x1F] num[12] sym[L] num[1.5] sym[e3] num[.5]"},
                      LexemeCase{"Operators", "a->b<=c&&d();",
                                 "sym[a] op[-] op[>] sym[b] op[<] op[=] sym[c] op[&] op[&] sym[d] op[();]"},
                      LexemeCase{"Comments", "x; // a<b\r\n/* c\nd */y",
                                 "sym[x] op[;] kom[// a<b\r\n] kom[/* c\nd */] sym[y]"},
                      LexemeCase{"SlashAlone", "a / b", "sym[a] plain[/] sym[b]"},
                      LexemeCase{"DirectiveToItsLineEnd", "#include <stdio.h>\nint",
                                 "dir[#] dir[include] dir[<] dir[stdio] dir[.] dir[h] dir[>] res[int]"},
                      LexemeCase{"Constants", "\"a\\\"b\n\" 'x' '\\'' 'ab",
                                 "str[\"a\\\"b\n\"] chr['x'] chr['\\''] plain['] sym[ab]"},
                      LexemeCase{"HighBytesAndNul", std::string_view("\xE1\xE8=\x9A x\0y", 8),
                                 "op[\xE1\xE8=\x9A] sym[x] sym[y]"},
                      LexemeCase{"UnterminatedComment", "/* a", "kom[/* a]"},
                      LexemeCase{"UnclosedQuotesStayPlain", "'a\\'b\n'c'",
                                 "plain['] sym[a] op[\\] plain['] sym[b] chr['c']"}),
    [](const auto& info) { return std::string(info.param.name); });

// A student's program, and the same program with every identifier renamed one to one, other comments and
// another layout.
constexpr std::string_view kOriginal = R"(#include <stdio.h>
#include <stdlib.h>

/* Reads the class's marks and prints them sorted, with their average. */
struct mark {
    char name[32];
    int points;
};

static int by_points(const void *left, const void *right)
{
    const struct mark *a = left;
    const struct mark *b = right;
    return b->points - a->points;
}

int main(void)
{
    struct mark marks[100];
    int count = 0, i;
    long total = 0;

    while (count < 100 && scanf("%31s %d", marks[count].name, &marks[count].points) == 2) {
        total += marks[count].points;
        count++;
    }
    if (count == 0) {
        printf("no marks\n");
        return 1;
    }
    qsort(marks, count, sizeof marks[0], by_points);
    for (i = 0; i < count; i++)
        printf("%-31s %3d\n", marks[i].name, marks[i].points);
    printf("average %.2f\n", (double)total / count);
    return 0;
}
)";

constexpr std::string_view kRenamedCopy =
    "// Znamky triedy: nacita, zoradi a vypise priemer\r\n"
    "#include<stdio.h>\r\n"
    "#include<stdlib.h>\r\n"
    "struct zaznam\r\n"
    "{\r\n"
    "  char meno[32];\r\n"
    "  int body;\r\n"
    "};\r\n"
    "static int podla_bodov(const void *p, const void *q) {\r\n"
    "  const struct zaznam *x = p;   /* prvy */\r\n"
    "  const struct zaznam *y = q;   /* druhy */\r\n"
    "  return y->body - x->body;\r\n"
    "}\r\n"
    "int main(void) {\r\n"
    "  struct zaznam pole[100];\r\n"
    "  int pocet = 0, k;\r\n"
    "  long sucet = 0;\r\n"
    "  while (pocet<100 && scanf(\"%31s %d\", pole[pocet].meno, "
    "&pole[pocet].body)==2)\r\n"
    "  {\r\n"
    "    sucet += pole[pocet].body;\r\n"
    "    pocet++;\r\n"
    "  }\r\n"
    "  if (pocet == 0) { printf(\"no marks\\n\"); return 1; }\r\n"
    "  qsort(pole, pocet, sizeof pole[0], podla_bodov);\r\n"
    "  for (k = 0; k < pocet; k++) printf(\"%-31s %3d\\n\", pole[k].meno, "
    "pole[k].body);\r\n"
    "  printf(\"average %.2f\\n\", (double)sucet / pocet);\r\n"
    "  return 0;\r\n"
    "}\r\n"
    "/* koniec */\r\n";

// The original with a function of its own between the comparison and main.
const std::string kWithInsertedFunction = [] {
    std::string text(kOriginal);
    text.insert(text.find("int main"), "void print_mark(const struct mark *m)\n"
                                       "{\n"
                                       "    if (m->points > 50)\n"
                                       "        puts(\"passed\");\n"
                                       "    printf(\"%-31s %3d\\n\", m->name, m->points);\n"
                                       "}\n"
                                       "\n");
    return text;
}();

// The same task solved independently: reading and printing loops alike, nothing else.
constexpr std::string_view kIndependent = R"(#include <stdio.h>
#define MAX 100

char names[MAX][32];
int marks[MAX];

void bubble(int n)
{
    int k, m, swap;
    char word[32];
    for (k = 0; k < n - 1; ++k)
        for (m = 0; m + 1 < n - k; ++m)
            if (marks[m] < marks[m + 1]) {
                swap = marks[m]; marks[m] = marks[m + 1]; marks[m + 1] = swap;
                sprintf(word, "%s", names[m]);
                sprintf(names[m], "%s", names[m + 1]);
                sprintf(names[m + 1], "%s", word);
            }
}

int main()
{
    int n = 0, j;
    double sum = 0;
    while (n < MAX && scanf("%31s %d", names[n], &marks[n]) == 2)
        sum = sum + marks[n++];
    if (!n) { printf("no marks\n"); return 1; }
    bubble(n);
    for (j = 0; j < n; j++) printf("%-31s %3d\n", names[j], marks[j]);
    printf("average %.2f\n", sum / n);
    return 0;
}
)";

// Two names of the original become one: no renaming makes the texts equal.
const std::string kMergedNames = [] {
    std::string text(kOriginal);
    for (std::size_t at = text.find("total"); at != std::string::npos; at = text.find("total", at)) {
        text.replace(at, 5, "count");
    }
    return text;
}();

int Lines(std::string_view text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

struct PassageCase {
    const char* name;
    std::string_view student;
    std::string_view classmate;
    std::vector<std::pair<LineRange, LineRange>> passages;
};

class SharedPassagesTest : public ::testing::TestWithParam<PassageCase> {};

TEST_P(SharedPassagesTest, MarksWhatIsEqualAfterARenaming) {
    const PassageCase& c = GetParam();
    std::vector<std::pair<LineRange, LineRange>> found;
    for (const SharedPassage& passage : SharedPassages(c.student, c.classmate)) {
        EXPECT_GE(passage.tokens, kMinimumSharedTokens);
        found.emplace_back(passage.student, passage.classmate);
    }
    EXPECT_EQ(found, c.passages);
}

INSTANTIATE_TEST_SUITE_P(
    Submissions, SharedPassagesTest,
    ::testing::Values(
        PassageCase{"RenamedCopyIsOnePassageEndToEnd",
                    kOriginal,
                    kRenamedCopy,
                    {{{0, Lines(kOriginal)}, {0, Lines(kRenamedCopy)}}}},
        // The comparison's lines 0-14 stay with the first passage; main with the blank line
        // before it is the second, the inserted function (lines 16-21) lies between them.
        PassageCase{"InsertedFunctionLiesBetweenTwoPassages",
                    kOriginal,
                    kWithInsertedFunction,
                    {{{0, 15}, {0, 15}}, {{15, Lines(kOriginal) - 15}, {22, Lines(kOriginal) - 15}}}},
        PassageCase{"IndependentSolutionsShareOnlyShortRuns", kOriginal, kIndependent, {}},
        // Where "total" and "count" meet (the loop's head, the sum, the average) no passage reaches.
        PassageCase{
            "MergedNamesAreNoRenaming", kOriginal, kMergedNames, {{{0, 21}, {0, 21}}, {{23, 11}, {23, 11}}}},
        PassageCase{"EmptyAgainstAProgram", "", kOriginal, {}}),
    [](const auto& info) { return std::string(info.param.name); });

ComparisonHeading Heading() {
    return {"1",
            {Cp1250Text("Ján"), Cp1250Text("Šťastný"), "12345", "a", "ppf.ppf"},
            {"Eva", Cp1250Text("Malá"), "54321", "a", "main.c, util.c"},
            77};
}

// Checks that the page parses as HTML with every opened element closed in order, and that the text of its
// two source columns is each source file byte for byte.
constexpr std::string_view kPageCheck = R"(import sys
from html.parser import HTMLParser

VOID = {"meta", "col", "br", "hr", "img", "link"}

class Check(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.errors, self.doctype = [], [], False
        self.columns, self.column, self.pre = {"a": [], "b": []}, None, None
    def handle_decl(self, decl):
        self.doctype = decl.lower() == "doctype html"
    def handle_starttag(self, tag, attrs):
        if tag in VOID:
            return
        self.stack.append(tag)
        if tag == "td":
            self.column = dict(attrs).get("class")
        if tag == "pre" and self.column in self.columns:
            self.pre = []
    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            self.errors.append("</%s> closes %s" % (tag, self.stack[-1:] or "nothing"))
            return
        self.stack.pop()
        if tag == "pre" and self.pre is not None:
            text = "".join(self.pre)
            self.columns[self.column].append(text[1:] if text.startswith("\n") else text)
            self.pre = None
    def handle_data(self, data):
        if self.pre is not None:
            self.pre.append(data)

check = Check()
check.feed(open(sys.argv[1], encoding="latin-1", newline="").read())
check.close()
problems = check.errors + ([] if check.doctype else ["no doctype"]) + ["unclosed %s" % t for t in check.stack]
for column, path in (("a", sys.argv[2]), ("b", sys.argv[3])):
    if "".join(check.columns[column]) != open(path, encoding="latin-1", newline="").read():
        problems.append("column %s is not %s" % (column, path))
print("; ".join(problems))
sys.exit(1 if problems else 0)
)";

struct PageCase {
    const char* name;
    std::string_view student;
    std::string_view classmate;
};

constexpr char kMarkup[] = "if (a<b && c>d) x = '\0';\r\n/* \x9A\xE1 </pre> */\r\nputs(\"&amp;\xE8\");";
constexpr std::string_view kMarkupNulAndLetters(kMarkup, sizeof kMarkup - 1);

class ComparisonPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(ComparisonPageTest, IsValidHtmlHoldingBothSources) {
    if (!HasTool("python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const PageCase& c = GetParam();
    TempDir dir;
    WriteBytes(dir / "check.py", kPageCheck);
    WriteBytes(dir / "page.html", ComparisonPage(Heading(), c.student, c.classmate));
    WriteBytes(dir / "a.c", c.student);
    WriteBytes(dir / "b.c", c.classmate);
    const std::string command = "python3 " + (dir / "check.py") + " " + (dir / "page.html") + " " +
                                (dir / "a.c") + " " + (dir / "b.c") + " 2>&1";
    std::FILE* check = ::popen(command.c_str(), "r");
    ASSERT_NE(check, nullptr);
    std::string output(4096, '\0');
    output.resize(std::fread(output.data(), 1, output.size(), check));
    EXPECT_EQ(::pclose(check), 0) << output;
}

INSTANTIATE_TEST_SUITE_P(Sources, ComparisonPageTest,
                         ::testing::Values(PageCase{"RenamedCopy", kOriginal, kRenamedCopy},
                                           PageCase{"InsertedFunction", kOriginal, kWithInsertedFunction},
                                           PageCase{"MarkupNulAndLetters", kMarkupNulAndLetters, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComparisonPageHeading, NamesBothStudentsTheTaskAndTheStoredSimilarity) {
    const std::string page = ComparisonPage(Heading(), kOriginal, kWithInsertedFunction);
    for (const char* expected :
         {"<meta charset=\"windows-1250\">", "<h1>Porovnanie zadaní</h1>", "Z1, variant a",
          "Ján Šťastný (12345)", "Eva Malá (54321)", "<td>77 %</td>", "<td>2</td>",
          "<td>36 z 36 a 36 z 43</td>", "Spoločný úsek 2", "main.c, util.c"}) {
        EXPECT_NE(page.find(Cp1250Text(expected)), std::string::npos) << expected;
    }
    ComparisonHeading unmeasured = Heading();
    unmeasured.similarity.reset();
    EXPECT_NE(ComparisonPage(unmeasured, "", "").find(Cp1250Text("<td>nie je uložená</td>")),
              std::string::npos);
}

constexpr const char* kBrowser = "firefox";

// Two students with submissions of task type 1, variant a, in an installation whose zor.ini names the
// browser; the launcher records what it is asked to start.
class CompareSubmissionsTest : public StoreTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteConfig(db.ConfigPath(), "dbase", "zorpath", dir / "zor"));
        ASSERT_TRUE(WriteConfig(db.ConfigPath(), "dbase", "browser", kBrowser));
        student = Submitter("12345", Cp1250Text("Ján"));
        classmate = Submitter("54321", "Eva");
    }

    ResultRecord Submitter(const std::string& unid, const std::string& name) {
        StudentRecord record;
        EXPECT_TRUE(AddStudent(db, unid, name, "Novak", unid + "@example.com", "1", "1", record));
        ResultRecord result;
        EXPECT_TRUE(CreateResult(db, "1", record.id, "a", result));
        result.ver = 1;
        EXPECT_TRUE(SaveResult(db, result));
        return result;
    }

    void Submit(const ResultRecord& result, const std::string& name, std::string_view text) {
        SetFile(SubmissionDirectory(result) + "/" + name, text);
    }

    void Compare(const std::string& classmateId) {
        CompareSubmissions(db, prompts, db.ConfigPath(), "1", student.studentId, classmateId,
                           [this](const std::vector<std::string>& arguments) {
                               started.push_back(arguments);
                               return true;
                           });
    }

    std::string PagePath() const {
        return ComparisonPagePath(dir / "zor", "1", student.studentId, classmate.studentId);
    }

    ResultRecord student;
    ResultRecord classmate;
    ScriptedPrompts prompts;
    std::vector<std::vector<std::string>> started;
};

TEST_F(CompareSubmissionsTest, OpensThePageOfTheMergedFileBesideTheSources) {
    // The merged file is what the similarity measured; the student's own main.c is not shown.
    Submit(student, "main.c", "int stale;\n");
    Submit(student, "ppf.ppf", kOriginal);
    ASSERT_TRUE(ResultSection(db, student).WriteString(kPreprocessedFileKey, "ppf.ppf"));
    ASSERT_TRUE(ResultSection(db, student).WriteInt(SimilarityKey(classmate.studentId), 93));
    Submit(classmate, "util.c", "int sum(int a, int b) { return a + b; }");
    Submit(classmate, "main.c", kRenamedCopy);
    Compare(classmate.studentId);

    EXPECT_TRUE(prompts.told.empty());
    ASSERT_EQ(started, (std::vector<std::vector<std::string>>{{kBrowser, "file://" + PagePath()}}));
    const std::string page = ReadBytes(PagePath());
    EXPECT_EQ(page, ComparisonPage({"1",
                                    {Cp1250Text("Ján"), "Novak", "12345", "a", "ppf.ppf"},
                                    {"Eva", "Novak", "54321", "a", "main.c, util.c"},
                                    93},
                                   kOriginal,
                                   std::string(kRenamedCopy) + "int sum(int a, int b) { return a + b; }"));
}

struct FailureCase {
    const char* name;
    const char* told;
    const char* title;
};

class CompareFailureTest : public CompareSubmissionsTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CompareFailureTest, IsToldAndOpensNothing) {
    const std::string which = GetParam().name;
    Submit(student, "main.c", kOriginal);
    std::string classmateId = classmate.studentId;
    if (which == "UnknownClassmate") {
        classmateId = "999";
    } else if (which == "UnreadableSource") {
        std::filesystem::create_symlink("/etc/passwd",
                                        db.AbsolutePath(SubmissionDirectory(classmate) + "/a.c"));
        Submit(classmate, "main.c", kRenamedCopy);
    } else if (which == "PageNotWritable") {
        Submit(classmate, "main.c", kRenamedCopy);
        WriteBytes(dir / "zor", "not a directory");
    }
    Compare(classmateId);

    EXPECT_TRUE(started.empty());
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), GetParam().told);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), GetParam().title);
    EXPECT_FALSE(std::filesystem::exists(PagePath()));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CompareFailureTest,
    ::testing::Values(
        FailureCase{"MissingSubmission", "Zadanie Z1 študenta Eva Novak (54321) sa nenašlo !!!", "Pozor"},
        FailureCase{"UnreadableSource", "Zadanie Z1 študenta Eva Novak (54321) sa nedá prečítať !!!",
                    "Pozor"},
        FailureCase{"UnknownClassmate", "Nie je možné načítať databázu študentov !!!", "Chyba databázy"},
        FailureCase{"PageNotWritable", "Stránku porovnania sa nepodarilo zapísať !!!", "Pozor"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace testing
} // namespace tarvel
