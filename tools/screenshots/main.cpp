// Pictures of the window program's real widgets for review: screenshots DIR CONFIG writes one PNG per view,
// the window program working on the installation and the database that CONFIG (a zor.ini) names.

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
#include "shell/AboutDialog.h"
#include "shell/Application.h"
#include "shell/LoginDialog.h"
#include "shell/MainWindow.h"
#include "shell/NewDatabaseDialog.h"
#include "shell/QtPrompts.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

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
                   {&editVariant, "edit-variant.png"}};
    for (const auto& view : dialogs) {
        view.dialog->show();
        QApplication::processEvents();
        if (!view.dialog->grab().save(target.filePath(QString::fromLatin1(view.name)))) {
            std::fprintf(stderr, "screenshots: cannot write %s\n", view.name);
            return 1;
        }
    }
    return 0;
}
