// Pictures of the window program's real widgets for review: screenshots DIR CONFIG writes one PNG per view,
// the window program working on the installation and the database that CONFIG (a zor.ini) names. The
// evaluation dialog shows the first student with a very similar classmate, logged in as the first teacher;
// the results report and the comparison of that student with the classmate are written into DIR as
// report.html and side-by-side.html, for a browser to picture.

#include "dialogs/AddStudentDialog.h"
#include "dialogs/AddTaskTypeDialog.h"
#include "dialogs/AddTeacherDialog.h"
#include "dialogs/AddVariantDialog.h"
#include "dialogs/EditStudentDialog.h"
#include "dialogs/EditTaskTypeDialog.h"
#include "dialogs/EditTeacherDialog.h"
#include "dialogs/EditVariantDialog.h"
#include "dialogs/MailSettingsDialog.h"
#include "dialogs/PathSettingsDialog.h"
#include "evaluation/DroppedMailsDialog.h"
#include "evaluation/EvaluationDialog.h"
#include "evaluation/ResultsReport.h"
#include "evaluation/SideBySide.h"
#include "platform/Cp1250.h"
#include "shell/AboutDialog.h"
#include "shell/Application.h"
#include "shell/GuiText.h"
#include "shell/LoginDialog.h"
#include "shell/MainWindow.h"
#include "shell/NewDatabaseDialog.h"
#include "shell/QtPrompts.h"
#include "shell/ReceivingStatus.h"
#include "shell/Settings.h"
#include "store/Students.h"
#include "store/Teachers.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QStatusBar>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// Answers every save request with one path and tells on standard error.
class SavingTo final : public tarvel::Prompts {
public:
    explicit SavingTo(std::string path) : path_(std::move(path)) {}
    bool Ask(const tarvel::Prompt&) override { return false; }
    void Tell(const tarvel::Prompt& prompt) override {
        std::fprintf(stderr, "screenshots: %s\n", tarvel::Cp1250ToUtf8(prompt.text).c_str());
    }
    std::optional<std::string> ChooseOpenFile(const tarvel::FileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const tarvel::FileRequest&) override { return path_; }
    std::optional<std::string> ChooseFolder(const tarvel::FolderRequest&) override { return std::nullopt; }

private:
    std::string path_;
};

// The first student of the list who has a very similar classmate.
bool ShowSimilarPair(tarvel::EvaluationDialog& dialog) {
    auto* students = dialog.findChild<QListWidget*>(QStringLiteral("studentList"));
    for (int row = 0; row < students->count(); ++row) {
        students->setCurrentRow(row);
        if (!dialog.Desk().View().similar.empty()) {
            return true;
        }
    }
    return false;
}

tarvel::TeacherRecord FirstTeacher(tarvel::Database& db) {
    std::vector<std::string> ids;
    tarvel::TeacherRecord teacher;
    if (db.TeacherIds(ids) && !ids.empty()) {
        tarvel::LoadTeacher(db, ids.front(), teacher);
    }
    return teacher;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: screenshots DIR CONFIG\n");
        return 2;
    }
    const QDir target(QString::fromLocal8Bit(argv[1]));
    if (!target.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    tarvel::Application application(argv[2]);
    application.db.LoadPath();
    tarvel::QtPrompts prompts;
    tarvel::MainWindow window(application, prompts);
    window.show();
    const struct {
        tarvel::MenuState state;
        const char* name;
    } states[] = {{tarvel::MenuState::LoggedOut, "main-128-logged-out.png"},
                  {tarvel::MenuState::LoggedIn, "main-140-logged-in.png"},
                  {tarvel::MenuState::Receiving, "main-141-receiving.png"}};
    for (const auto& view : states) {
        window.ShowMenuState(view.state);
        if (view.state == tarvel::MenuState::Receiving) {
            // The longest text the pane shows: a mailbox the daemon cannot read, with the client's reason.
            window.statusBar()->showMessage(tarvel::FromCp1250(tarvel::ReceivingMailboxFailed(
                "TLS with the POP3 server failed: certificate not trusted: unable to get local issuer "
                "certificate")));
        }
        QApplication::processEvents();
        if (!window.grab().save(target.filePath(QString::fromLatin1(view.name)))) {
            std::fprintf(stderr, "screenshots: cannot write %s\n", view.name);
            return 1;
        }
    }
    tarvel::LoginDialog login(application.session, application.db, prompts);
    tarvel::AboutDialog about;
    tarvel::NewDatabaseDialog newDatabase(application.db, application.configPath, prompts);
    tarvel::MailSettingsDialog mail(application.configPath, prompts);
    tarvel::PathSettingsDialog paths(application.configPath);
    tarvel::Database& db = application.db;
    tarvel::AddStudentDialog addStudent(db, prompts);
    tarvel::EditStudentDialog editStudent(db, prompts, [](const std::string&) {});
    tarvel::AddTeacherDialog addTeacher(db, prompts);
    tarvel::EditTeacherDialog editTeacher(db, prompts);
    tarvel::AddTaskTypeDialog addTaskType(db, prompts);
    tarvel::EditTaskTypeDialog editTaskType(db, prompts);
    tarvel::AddVariantDialog addVariant(db, prompts);
    tarvel::EditVariantDialog editVariant(db, prompts, application.configPath);
    std::string comparison;
    const tarvel::DetachedLauncher keepTarget = [&comparison](const std::vector<std::string>& arguments) {
        comparison = arguments.back().substr(std::string("file://").size());
        return true;
    };
    const std::string zorpath = tarvel::DaemonInstallationPath(application.configPath);
    tarvel::EvaluationDialog evaluation(db, prompts, application.configPath, FirstTeacher(db), zorpath,
                                        nullptr, keepTarget);
    tarvel::DroppedMailsDialog dropped(zorpath, prompts);
    if (!ShowSimilarPair(evaluation)) {
        std::fprintf(stderr, "screenshots: no student with a very similar classmate\n");
        return 1;
    }
    const struct {
        QWidget* dialog;
        const char* name;
    } dialogs[] = {{&login, "login.png"},
                   {&about, "about.png"},
                   {&newDatabase, "new-database.png"},
                   {&mail, "mail-settings.png"},
                   {&paths, "path-settings.png"},
                   {&addStudent, "add-student.png"},
                   {&editStudent, "edit-student.png"},
                   {&addTeacher, "add-teacher.png"},
                   {&editTeacher, "edit-teacher.png"},
                   {&addTaskType, "add-task-type.png"},
                   {&editTaskType, "edit-task-type.png"},
                   {&addVariant, "add-variant.png"},
                   {&editVariant, "edit-variant.png"},
                   {&evaluation, "evaluation.png"},
                   {&dropped, "dropped-mails.png"}};
    for (const auto& view : dialogs) {
        view.dialog->show();
        QApplication::processEvents();
        if (!view.dialog->grab().save(target.filePath(QString::fromLatin1(view.name)))) {
            std::fprintf(stderr, "screenshots: cannot write %s\n", view.name);
            return 1;
        }
    }
    const tarvel::EvaluationDesk& desk = evaluation.Desk();
    SavingTo saving(target.filePath(QStringLiteral("report.html")).toStdString());
    tarvel::PublishResultsReport(db, saving, application.configPath, desk.Listing(), keepTarget);
    std::string studentId;
    tarvel::StudentIdOf(db, desk.Students()[static_cast<std::size_t>(desk.SelectedStudent())].key, studentId);
    comparison.clear();
    tarvel::CompareSubmissions(db, saving, application.configPath,
                               desk.TaskTypes()[static_cast<std::size_t>(desk.SelectedTaskType())], studentId,
                               desk.View().similar.front().key, keepTarget);
    std::error_code error;
    if (comparison.empty() ||
        !std::filesystem::copy_file(comparison,
                                    target.filePath(QStringLiteral("side-by-side.html")).toStdString(),
                                    std::filesystem::copy_options::overwrite_existing, error)) {
        std::fprintf(stderr, "screenshots: the comparison page was not written\n");
        return 1;
    }
    return 0;
}
