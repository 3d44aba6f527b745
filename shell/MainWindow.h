#pragma once
// The main window: a fixed 800 x 600 frame with the background picture, the toolbar and the status bar, and
// the menu and toolbar of the session's state, built from the command table.

#include "shell/Application.h"
#include "shell/Commands.h"
#include "shell/DaemonBridge.h"
#include "shell/Prompts.h"

#include <QMainWindow>

#include <map>

class QAction;

namespace tarvel {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow(Application& application, Prompts& prompts, QWidget* parent = nullptr);

    // The menu switch: the menu bar and the toolbar of the state, then a repaint.
    void ShowMenuState(MenuState state);
    QAction* ActionOf(CommandId id) const { return actions_.at(id); }

private:
    void CreateActions();
    void Run(CommandId id);
    // The login dialog, then the menu of the state it leads to.
    void LogIn();
    void Apply(SessionEvent event);
    // An administration dialog, once its command's checks have passed.
    void OpenAdministration(CommandId id);
    // "&Pridelenie zadaní" with a progress dialog between its two boxes.
    void AssignAllStudents();
    void StartReceiving();
    // Stops the daemon after its cycle in progress; the window repaints meanwhile but takes no input.
    void StopReceiving();
    // The status pane's text whenever no command's prompt is shown.
    void ShowIdleText(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Application& application_;
    Prompts& prompts_;
    std::map<CommandId, QAction*> actions_;
    DaemonBridge* bridge_;
    QString idleText_;
    class QToolBar* toolbar_ = nullptr;
};

} // namespace tarvel
