#include "evaluation/EvaluationDesk.h"

#include "evaluation/EvaluationClass.h"

#include "platform/Cp1250.h"

#include <gtest/gtest.h>

namespace tarvel::testing {
namespace {

class EvaluationDeskTest : public EvaluationClass {
protected:
    int Line(const std::string& unid) const { return FindKey(desk->Students(), unid); }
    std::vector<std::string> Told() const {
        std::vector<std::string> texts;
        for (const Prompt& prompt : prompts.told) {
            texts.push_back(Cp1250ToUtf8(prompt.text));
        }
        return texts;
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(EvaluationClass::SetUp());
        desk = std::make_unique<EvaluationDesk>(db, prompts, dir / "zor.ini", novak, launcher);
    }

    std::unique_ptr<EvaluationDesk> desk;
};

TEST_F(EvaluationDeskTest, OpensOnTheOwnStudentsWithTheFirstOnesResults) {
    desk->Open();
    EXPECT_FALSE(desk->AllStudents());
    ASSERT_EQ(desk->Students().size(), 2u);
    EXPECT_EQ(desk->Students()[0].text, " 1 - 10256 - Bal\xE1\x9E Martin");
    EXPECT_EQ(desk->Students()[1].text, " 2 -   231 - Kov\xE1\xE8 Peter");
    EXPECT_EQ(desk->TaskTypes(), (std::vector<std::string>{"1", "2"}));
    const EvaluationView& view = desk->View();
    EXPECT_EQ(view.name, "Martin");
    EXPECT_EQ(view.unid, "10256");
    EXPECT_EQ(view.teacher, "Nov\xE1k J\xE1n");
    EXPECT_EQ(view.maximum, 10);
    EXPECT_EQ(view.variant, "a");
    EXPECT_EQ(view.submissions, 1);
    EXPECT_EQ(view.points, ""); // not marked yet
    EXPECT_EQ(view.total, 0);
    EXPECT_EQ(Cp1250ToUtf8(view.results[0]), "Zadanie je funkčné");
    ASSERT_EQ(view.results.size(), 6u);
    EXPECT_EQ(Cp1250ToUtf8(view.results[1]), "Použitý príkaz GOTO!");
    EXPECT_EQ(Cp1250ToUtf8(view.results[2]), "Pomer komentárov v kóde: 0%");
    EXPECT_EQ(Cp1250ToUtf8(view.results[3]), "Najdlhšia funkcia má 12 riadkov");
    EXPECT_EQ(Cp1250ToUtf8(view.results[4]), "Funkcie majú v priemere 7 riadkov");
    EXPECT_EQ(Cp1250ToUtf8(view.results[5]), "Splnenie požiadaviek štýlu: 100%");
    ASSERT_EQ(view.similar.size(), 1u);
    EXPECT_EQ(view.similar[0].text, " 2 - Kov\xE1\xE8 Peter");
    EXPECT_EQ(view.similar[0].key, kovac.id);

    // A short UNI ID is found by its entry, not by the five characters of its line.
    desk->SelectStudent(Line("231"), "");
    EXPECT_EQ(desk->View().unid, "231");
    EXPECT_EQ(desk->View().points, "4");
    EXPECT_EQ(desk->View().total, 4);
    EXPECT_EQ(Cp1250ToUtf8(desk->View().results[0]), "Výstup programu nezodpovedá vzoru");
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(EvaluationDeskTest, ATeacherWithoutStudentsIsToldAndAllStudentsAreOneClickAway) {
    EvaluationDesk lonely{db, prompts, dir / "zor.ini", horak, launcher};
    lonely.Open();
    EXPECT_EQ(Told(), std::vector<std::string>{"Prihlásený učiteľ nemá priradených študentov !!!"});
    EXPECT_TRUE(lonely.Students().empty());
    EXPECT_EQ(lonely.View().maximum, 10);
    lonely.Write("5");
    EXPECT_EQ(prompts.told.size(), 1u); // nothing to write for nobody

    lonely.ToggleAllStudents("");
    EXPECT_TRUE(lonely.AllStudents());
    EXPECT_EQ(lonely.Students().size(), 3u);
    EXPECT_EQ(lonely.View().unid, "10256");
    EXPECT_EQ(lonely.Listing().allStudents, true);
    lonely.ToggleAllStudents("");
    EXPECT_FALSE(lonely.AllStudents());
    EXPECT_EQ(prompts.told.size(), 2u);
}

TEST_F(EvaluationDeskTest, AnUnsubmittedTaskShowsItsVariantOnlyAndRefusesPoints) {
    desk->Open();
    desk->SelectTaskType(1, "");
    EXPECT_EQ(desk->View().maximum, 20);
    EXPECT_EQ(desk->View().variant, "b");
    EXPECT_EQ(desk->View().submissions, 0);
    EXPECT_TRUE(desk->View().results.empty());
    EXPECT_TRUE(desk->View().similar.empty());
    desk->Write("5");
    EXPECT_EQ(Told(), std::vector<std::string>{"Študent ešte neodovzdal daný typ zadania !!!"});
    EXPECT_EQ(desk->View().points, "");
    EXPECT_EQ(StoredPoints(balaz, "2"), -1);

    // Varga holds no task at all.
    desk->ToggleAllStudents("");
    desk->SelectStudent(Line("10278"), "");
    desk->Write("3");
    EXPECT_EQ(Cp1250ToUtf8(prompts.told.back().text), "Študent nemá pridelený daný typ zadania !!!");
}

struct PendingCase {
    const char* name;
    bool answer;
    int balazPoints; // after the move
    const char* shownPoints;
};

class PendingPointsTest : public EvaluationDeskTest, public ::testing::WithParamInterface<PendingCase> {};

// Points typed for Baláž, then Kováč selected: the question, and Yes writes them for Baláž, on screen when
// they were typed, never for the new selection.
TEST_P(PendingPointsTest, MovingToAnotherStudentAsksAboutTypedPoints) {
    desk->Open();
    desk->PointsFocusIn("");
    desk->PointsFocusOut("7");
    prompts.answers.push_back(GetParam().answer);
    desk->SelectStudent(Line("231"), "7");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.asked[0].text), "Zmena bodov predchádzajúceho študenta.\nZapísať?");
    EXPECT_EQ(Cp1250ToUtf8(prompts.asked[0].title), "Body");
    EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(StoredPoints(balaz, "1"), GetParam().balazPoints);
    EXPECT_EQ(StoredPoints(kovac, "1"), 4);
    EXPECT_EQ(desk->View().points, GetParam().shownPoints);
    EXPECT_EQ(desk->View().unid, "231");
}

INSTANTIATE_TEST_SUITE_P(Answers, PendingPointsTest,
                         ::testing::Values(PendingCase{"Yes", true, 7, "4"},
                                           PendingCase{"No", false, -1, "4"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EvaluationDeskTest, MovingToAnotherTaskTypeWritesForTheRememberedOne) {
    desk->Open();
    desk->SelectStudent(Line("231"), "");
    desk->PointsFocusIn("4");
    prompts.answers.push_back(true);
    desk->SelectTaskType(1, "9");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.asked[0].text), "Zmena bodov predchádzajúceho zadania.\nZapísať?");
    EXPECT_EQ(StoredPoints(kovac, "1"), 9);
    EXPECT_EQ(desk->View().maximum, 20);
    // Kováč holds no task 2: nothing to ask about when going back.
    desk->SelectTaskType(0, "");
    EXPECT_EQ(desk->View().points, "9");
    EXPECT_EQ(desk->View().total, 9);
}

TEST_F(EvaluationDeskTest, WritingChecksTheMaximumAndKeepsTheTotal) {
    desk->Open();
    desk->PointsFocusIn("");
    desk->Write("12");
    EXPECT_EQ(Told(), std::vector<std::string>{"Neplatné body !!!"});
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
    EXPECT_EQ(desk->View().points, "");
    EXPECT_EQ(StoredPoints(balaz, "1"), -1);

    desk->Write("010");
    EXPECT_EQ(StoredPoints(balaz, "1"), 10);
    EXPECT_EQ(desk->View().total, 10);
    desk->Write("010"); // unchanged since written: nothing to do
    EXPECT_EQ(prompts.told.size(), 1u);

    // Emptied points make the task type unmarked again, out of the total.
    desk->PointsFocusIn("10");
    desk->Write("");
    EXPECT_EQ(StoredPoints(balaz, "1"), -1);
    EXPECT_EQ(desk->View().total, 0);
    desk->SelectStudent(Line("231"), "");
    desk->SelectStudent(Line("10256"), desk->View().points);
    EXPECT_EQ(desk->View().points, "");
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(EvaluationDeskTest, TheSubmissionOpensInTheBrowserOnlyWhenThereIsOne) {
    desk->Open();
    desk->ShowSubmission();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string>{"xdg-open", "file://" + (dir / "db/students") + "/" +
                                                                    balaz.id + "/1/index.html"}));
    desk->SelectTaskType(1, "");
    desk->ShowSubmission();
    EXPECT_EQ(Told(), std::vector<std::string>{"Študent ešte neodovzdal daný typ zadania !!!"});

    EvaluationDesk lonely{db, prompts, dir / "zor.ini", horak, launcher};
    lonely.Open();
    lonely.ShowSubmission();
    EXPECT_EQ(Cp1250ToUtf8(prompts.told.back().text), "Nie je zvolený žiadny študent !!!");
    EXPECT_EQ(started.size(), 1u);
}

TEST_F(EvaluationDeskTest, TheMenuCommandChecksTheStudentsAndTheFirstRun) {
    EXPECT_TRUE(ReadyToEvaluate(db, prompts, false));
    EXPECT_FALSE(ReadyToEvaluate(db, prompts, true));
    EXPECT_EQ(Told(), std::vector<std::string>{"Momentálne ste inicializačne prihlásený ako admin.\nPo "
                                               "odhlásení sa prihláste ako skutočný používateľ !!!"});
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), "Prvý vstup v databáze");

    for (const char* unid : {"10256", "231", "10278"}) {
        ASSERT_TRUE(DeleteStudent(db, unid));
    }
    EXPECT_FALSE(ReadyToEvaluate(db, prompts, false));
    EXPECT_EQ(Cp1250ToUtf8(prompts.told.back().text),
              "Databáza študentov je prázdna, bezvýznamná operácia !!!");
    EXPECT_EQ(prompts.told.back().icon, PromptIcon::Warning);
}

} // namespace
} // namespace tarvel::testing
