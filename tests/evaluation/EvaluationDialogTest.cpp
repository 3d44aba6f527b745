// The evaluation dialog on the offscreen platform, against a real database: its controls and limits, the
// check box and both lists, and each button reaching its operation.

#include "evaluation/EvaluationDialog.h"

#include "evaluation/EvaluationClass.h"

#include "platform/Cp1250.h"
#include "shell/GuiText.h"
#include "support/GuiTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tarvel::testing {
namespace {

class EvaluationDialogTest : public EvaluationClass {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(EvaluationClass::SetUp());
        dialog = std::make_unique<EvaluationDialog>(db, prompts, dir / "zor.ini", novak, dir / "zor", nullptr,
                                                    launcher);
    }
    void Press(const char* button) {
        QTest::mouseClick(Find<QPushButton>(dialog.get(), button), Qt::LeftButton);
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(dialog.get(), name); }
    QListWidget* List(const char* name) { return Find<QListWidget>(dialog.get(), name); }
    void TypePoints(const char* points) {
        QLineEdit* field = Edit("pointsEdit");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(points));
    }

    std::unique_ptr<EvaluationDialog> dialog;
};

TEST_F(EvaluationDialogTest, ShowsTheFirstOwnStudentWithHisResults) {
    EXPECT_EQ(dialog->windowTitle(), GuiText("Hodnotenie práce študenta"));
    EXPECT_FALSE(Find<QCheckBox>(dialog.get(), "allStudentsCheck")->isChecked());
    QListWidget* students = List("studentList");
    ASSERT_EQ(students->count(), 2);
    EXPECT_EQ(students->item(1)->text(), GuiText(" 2 -   231 - Kováč Peter"));
    EXPECT_EQ(students->currentRow(), 0);
    const struct {
        const char* edit;
        const char* text;
        int limit;
    } shown[] = {{"nameEdit", "Martin", 32767},
                 {"surnameEdit", "Baláž", 32767},
                 {"groupEdit", "1", 2},
                 {"unidEdit", "10256", 5},
                 {"teacherEdit", "Novák Ján", 32767},
                 {"totalEdit", "0", 32767},
                 {"variantEdit", "a", 32767},
                 {"submissionsEdit", "1", 32767},
                 {"lateEdit", "0", 32767},
                 {"maximumEdit", "10", 32767},
                 {"pointsEdit", "", 3}};
    for (const auto& field : shown) {
        EXPECT_EQ(Edit(field.edit)->text(), GuiText(field.text)) << field.edit;
        EXPECT_EQ(Edit(field.edit)->maxLength(), field.limit) << field.edit;
        EXPECT_EQ(Edit(field.edit)->isReadOnly(), std::string(field.edit) != "pointsEdit") << field.edit;
    }
    auto* taskTypes = Find<QComboBox>(dialog.get(), "taskTypeCombo");
    ASSERT_EQ(taskTypes->count(), 2);
    EXPECT_EQ(taskTypes->currentText(), QStringLiteral("1"));
    EXPECT_EQ(List("resultList")->item(0)->text(), GuiText("Zadanie je funkčné"));
    EXPECT_EQ(List("resultList")->selectionMode(), QAbstractItemView::NoSelection);
    ASSERT_EQ(List("similarList")->count(), 1);
    EXPECT_EQ(List("similarList")->item(0)->text(), GuiText(" 2 - Kováč Peter"));

    TypePoints("7x");
    EXPECT_EQ(Edit("pointsEdit")->text(), QStringLiteral("7"));
    Press("writeButton");
    EXPECT_EQ(StoredPoints(balaz, "1"), 7);
    EXPECT_EQ(Edit("totalEdit")->text(), QStringLiteral("7"));
    EXPECT_TRUE(prompts.told.empty());
}

// Stored points are shown, and moving on without touching them asks nothing.
TEST_F(EvaluationDialogTest, ShowsStoredPointsAndMovesOnWithoutAQuestion) {
    ASSERT_TRUE(SavePoints(db, balaz.id, "1", "3"));
    EvaluationDialog marked(db, prompts, dir / "zor.ini", novak, dir / "zor", nullptr, launcher);
    EXPECT_EQ(Find<QLineEdit>(&marked, "pointsEdit")->text(), QStringLiteral("3"));
    EXPECT_EQ(Find<QLineEdit>(&marked, "totalEdit")->text(), QStringLiteral("3"));
    QListWidget* students = Find<QListWidget>(&marked, "studentList");
    students->setCurrentRow(1);
    EXPECT_EQ(Find<QLineEdit>(&marked, "pointsEdit")->text(), QStringLiteral("4"));
    students->setCurrentRow(0);
    Find<QComboBox>(&marked, "taskTypeCombo")->setCurrentIndex(1);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(StoredPoints(balaz, "1"), 3);
}

TEST_F(EvaluationDialogTest, TheCheckBoxAndTheListsReachTheModel) {
    QTest::mouseClick(Find<QCheckBox>(dialog.get(), "allStudentsCheck"), Qt::LeftButton);
    EXPECT_TRUE(Find<QCheckBox>(dialog.get(), "allStudentsCheck")->isChecked());
    EXPECT_EQ(List("studentList")->count(), 3);

    // Typed points, then another student: the question, and Yes writes them for the one on screen.
    TypePoints("5");
    prompts.answers.push_back(true);
    List("studentList")->setCurrentRow(1);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(StoredPoints(balaz, "1"), 5);
    EXPECT_EQ(Edit("unidEdit")->text(), QStringLiteral("10278"));
    EXPECT_EQ(Edit("variantEdit")->text(), QString());

    List("studentList")->setCurrentRow(0);
    Find<QComboBox>(dialog.get(), "taskTypeCombo")->setCurrentIndex(1);
    EXPECT_EQ(Edit("maximumEdit")->text(), QStringLiteral("20"));
    EXPECT_EQ(Edit("variantEdit")->text(), QStringLiteral("b"));
    EXPECT_EQ(List("resultList")->count(), 0);
}

TEST_F(EvaluationDialogTest, TheButtonsReachTheirOperations) {
    Press("submissionButton");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].back(), "file://" + (dir / "db/students/") + balaz.id + "/1/index.html");

    prompts.files.push_back(std::nullopt);
    Press("reportButton");
    prompts.files.push_back(std::nullopt);
    Press("csvButton");
    ASSERT_EQ(prompts.fileRequests.size(), 2u);
    EXPECT_EQ(prompts.fileRequests[0].defaultExtension, "html");
    EXPECT_EQ(prompts.fileRequests[1].defaultExtension, "csv");

    // The fixture's submissions hold no sources: the comparison says so instead of opening anything.
    Press("compareButton");
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(prompts.told.size(), 1u);

    bool shown = false;
    WhenModal([&](QWidget* modal) {
        shown = modal->objectName() == QStringLiteral("droppedMailsDialog");
        qobject_cast<QDialog*>(modal)->reject();
    });
    Press("droppedMailsButton");
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace tarvel::testing
