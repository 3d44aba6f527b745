// The task-type and variant dialogs on the offscreen platform, against a real database: their controls and
// limits, and each button reaching the store through its model.

#include "dialogs/AddTaskTypeDialog.h"
#include "dialogs/AddVariantDialog.h"
#include "dialogs/EditTaskTypeDialog.h"
#include "dialogs/EditVariantDialog.h"

#include "platform/Cp1250.h"
#include "runner/RunResult.h"
#include "shell/Config.h"
#include "shell/GuiText.h"
#include "shell/QtWait.h"
#include "store/Results.h"
#include "store/StoreFixture.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

#include <chrono>
#include <thread>

namespace tarvel::testing {
namespace {

class TaskDialogsTest : public StoreTest {
protected:
    static void Type(QWidget* dialog, const char* edit, const QString& text) {
        QLineEdit* field = Find<QLineEdit>(dialog, edit);
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, text);
    }
    static void Press(QWidget* dialog, const char* button) {
        QTest::mouseClick(Find<QPushButton>(dialog, button), Qt::LeftButton);
    }
    TaskTypeRecord Stored(const std::string& name) {
        TaskTypeRecord task;
        EXPECT_TRUE(LoadTaskType(db, name, task));
        return task;
    }

    ScriptedPrompts prompts;
};

TEST_F(TaskDialogsTest, AddTaskTypeStartsTodayAndRefusesPointsAboveAHundred) {
    AddTaskTypeDialog dialog(db, prompts);
    EXPECT_EQ(dialog.windowTitle(), GuiText("Pridanie typu zadania"));
    EXPECT_EQ(Find<QDateEdit>(&dialog, "deadlineEdit")->date(), QDate::currentDate());
    Type(&dialog, "nameEdit", QStringLiteral("x35"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "nameEdit")->text(), QStringLiteral("3"));
    const std::string before = File("tasks.dat");
    Type(&dialog, "pointsEdit", QStringLiteral("101"));
    Press(&dialog, "addButton");
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, "Please enter an integer between 0 and 100.");
    EXPECT_EQ(File("tasks.dat"), before);
    Type(&dialog, "pointsEdit", QStringLiteral("15"));
    Find<QDateEdit>(&dialog, "deadlineEdit")->setDate(QDate(2027, 1, 31));
    Press(&dialog, "addButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const TaskTypeRecord task = Stored("3");
    EXPECT_EQ(task.points, 15);
    EXPECT_EQ(task.ToYear * 10000 + task.ToMonth * 100 + task.ToDay, 20270131);
}

TEST_F(TaskDialogsTest, EditTaskTypeAsksBeforeAnotherTypeAndWritesTheShownOne) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "2", 20, 2027, 2, 2, task));
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2027, 1, 1, task));
    EditTaskTypeDialog dialog(db, prompts);
    dialog.show();
    auto* names = Find<QComboBox>(&dialog, "nameCombo");
    ASSERT_EQ(names->count(), 2);
    EXPECT_EQ(names->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "pointsEdit")->text(), QStringLiteral("10"));
    EXPECT_EQ(Find<QDateEdit>(&dialog, "deadlineEdit")->date(), QDate(2027, 1, 1));
    Type(&dialog, "pointsEdit", QStringLiteral("12"));
    names->setFocus();
    prompts.answers = {false};
    names->setCurrentIndex(1);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, "Zmena");
    EXPECT_EQ(Stored("1").points, 10);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "pointsEdit")->text(), QStringLiteral("20"));
    Type(&dialog, "pointsEdit", QStringLiteral("25"));
    Press(&dialog, "changeButton");
    EXPECT_EQ(Stored("2").points, 25);
}

TEST_F(TaskDialogsTest, AddVariantTakesItsFilesThroughThePickers) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2027, 1, 1, task));
    const std::string text = dir / "zadanie.txt";
    WriteBytes(text, "Spo\xE8\xEDtaj.\r\n");
    AddVariantDialog dialog(db, prompts);
    EXPECT_EQ(Find<QComboBox>(&dialog, "typeCombo")->currentText(), QStringLiteral("1"));
    Type(&dialog, "variantEdit", QStringLiteral("a"));
    prompts.files = {text};
    Press(&dialog, "textBrowse");
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].filter,
              Cp1250Text("Znenie zadaní (*.txt)|*.txt|Všetky súbory (*.*)|*.*||"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "textEdit")->text(), FromPath(text));
    Press(&dialog, "addButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ReadBytes(VariantFilePath({&db, "1"}, "a", "txt")), "Spo\xE8\xEDtaj.\r\n");
}

TEST_F(TaskDialogsTest, EditVariantOpensTheShownFileInTheEditorAndDeletesTheSelectedVariant) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2027, 1, 1, task));
    AddVariant({&db, "1"}, "b");
    AddVariant({&db, "1"}, "a");
    ASSERT_TRUE(WriteConfig(dir / "zor.ini", "dbase", "editor", "mousepad --disable-server"));
    std::vector<std::vector<std::string>> started;
    const auto launcher = [&](const ChildRequest& request) {
        started.push_back(request.arguments);
        ChildResult result;
        result.outcome = ChildOutcome::Exited;
        result.exitCode = 0;
        return result;
    };
    EditVariantDialog dialog(db, prompts, dir / "zor.ini", nullptr, launcher);
    auto* variants = Find<QComboBox>(&dialog, "variantCombo");
    ASSERT_EQ(variants->count(), 2);
    EXPECT_EQ(variants->currentText(), QStringLiteral("a"));
    EXPECT_TRUE(Find<QLineEdit>(&dialog, "inputEdit")->isReadOnly());
    variants->setCurrentIndex(1);
    const std::string input = VariantFilePath({&db, "1"}, "b", "in");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "inputEdit")->text(), FromPath(input));
    Press(&dialog, "inputOpen");
    EXPECT_EQ(started, (std::vector<std::vector<std::string>>{{"mousepad", "--disable-server", input}}));
    prompts.answers = {true};
    Press(&dialog, "deleteButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    std::vector<std::string> left;
    ASSERT_TRUE(Variants({&db, "1"}, left));
    EXPECT_EQ(left, std::vector<std::string>{"a"});
}

TEST_F(TaskDialogsTest, TheEditorIsWaitedForWithoutATimeLimitWhileTheDialogRepaints) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2027, 1, 1, task));
    AddVariant({&db, "1"}, "a");
    ASSERT_TRUE(WriteConfig(dir / "zor.ini", "dbase", "editor", "mousepad"));
    EditVariantDialog dialog(db, prompts, dir / "zor.ini", nullptr,
                             LaunchWhileRepainting([](const ChildRequest& request) {
                                 EXPECT_EQ(request.timeLimit, kNoTimeLimit);
                                 std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                 ChildResult result;
                                 result.outcome = ChildOutcome::Exited;
                                 result.exitCode = 0;
                                 return result;
                             }));
    dialog.show();
    int repaints = 0;
    QTimer paint;
    QObject::connect(&paint, &QTimer::timeout, [&] { ++repaints; });
    paint.start(20);
    Press(&dialog, "textOpen");
    EXPECT_GE(repaints, 5);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(TaskDialogsTest, RetestRunsUnderAModalProgressDialogAndTellsTheCounts) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2027, 1, 1, task));
    ASSERT_TRUE(AddTaskType(db, "2", 10, 2027, 1, 1, task));
    AddVariant({&db, "1"}, "a");
    ASSERT_TRUE(WriteConfig(dir / "zor.ini", "dbase", "zorpath", dir.Path()));
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "10001", Cp1250Text("Ján"), Cp1250Text("Kováč"), "jan@example.org", "1", "1",
                           student));
    ResultRecord result;
    ASSERT_TRUE(CreateResult(db, "1", student.id, "a", result));
    ASSERT_TRUE(SaveResult(db, result));
    SetFile("students/" + student.id + "/1/main.c", "int main(void) { return 0; }\n");
    ASSERT_TRUE(AddAccepted({&db, "1"}, "a", "10001"));
    ASSERT_TRUE(ResultSection(db, result).WriteInt(kTestResultKey, kRunPassed));

    // Without a sandbox the submission is not tested: the stored pass becomes "not tested".
    QString shown;
    const auto noSandbox = LaunchWhileRepainting([&](const ChildRequest&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ChildResult failed;
        failed.outcome = ChildOutcome::SandboxFailed;
        return failed;
    });
    EditVariantDialog dialog(db, prompts, dir / "zor.ini", nullptr, noSandbox);
    dialog.show();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* progress = dialog.findChild<QProgressDialog*>(QStringLiteral("retestProgress"));
        if (progress != nullptr && progress->isVisible() && progress->windowModality() == Qt::WindowModal) {
            shown = progress->labelText();
        }
    });
    watch.start(10);
    Press(&dialog, "retestButton");
    watch.stop();

    EXPECT_EQ(shown, GuiText("Otestované: 0 z 1 odovzdaní\nJán Kováč"));
    EXPECT_EQ(dialog.findChild<QProgressDialog*>(QStringLiteral("retestProgress")), nullptr);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "Znovu otestované odovzdania: 1 z 1.\n"
                                                  "Testy prešli predtým: 1, teraz: 0.");
    EXPECT_EQ(prompts.told[0].title, "Testy");
    int code = -1;
    EXPECT_TRUE(ResultSection(db, result).ReadInt(kTestResultKey, code));
    EXPECT_EQ(code, kRunNoSandbox);

    prompts.told.clear();
    Find<QComboBox>(&dialog, "typeCombo")->setCurrentIndex(1);
    EXPECT_FALSE(Find<QPushButton>(&dialog, "retestButton")->isEnabled());
}

} // namespace
} // namespace tarvel::testing
