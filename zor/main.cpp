// zor: the teacher's window program.

#include "shell/Application.h"
#include "shell/Config.h"
#include "shell/MainWindow.h"
#include "shell/QtPrompts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/tarvel.svg")));
    tarvel::Application application(tarvel::DefaultConfigPath());
    application.db.LoadPath();
    tarvel::QtPrompts prompts;
    tarvel::MainWindow window(application, prompts);
    window.show();
    window.setWindowTitle(QStringLiteral("Tarvel"));
    return QApplication::exec();
}
