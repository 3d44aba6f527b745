#include "shell/MainWindow.h"

#include "assign/Assignment.h"
#include "dialogs/AddStudentDialog.h"
#include "dialogs/AddTaskTypeDialog.h"
#include "dialogs/AddTeacherDialog.h"
#include "dialogs/AddVariantDialog.h"
#include "dialogs/EditStudentDialog.h"
#include "dialogs/EditTaskTypeDialog.h"
#include "dialogs/EditTeacherDialog.h"
#include "dialogs/EditVariantDialog.h"
#include "dialogs/MailSettingsDialog.h"
#include "dialogs/OpeningChecks.h"
#include "dialogs/PathSettingsDialog.h"
#include "evaluation/EvaluationDialog.h"
#include "shell/AboutDialog.h"
#include "shell/Databases.h"
#include "shell/GuiText.h"
#include "shell/LoginDialog.h"
#include "shell/NewDatabaseDialog.h"
#include "shell/QtProgress.h"
#include "shell/QtWait.h"
#include "shell/ReceivingStatus.h"
#include "shell/Settings.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QTimer>
#include <QToolBar>

#include <memory>

// The pictures are compiled into the library, whose resources the linker keeps only when named.
static void LoadPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace tarvel {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// The picture drawn from its 800 x 600 pixels onto the rectangle that starts 50 px left of and 20 px above
// the view's origin and is 850 x 600, as the window has always shown it.
class Background : public QWidget {
public:
    explicit Background(QWidget* parent) : QWidget(parent), picture_(kWidth, kHeight, QImage::Format_RGB888) {
        QSvgRenderer renderer(QStringLiteral(":/pictures/background.svg"));
        QPainter painter(&picture_);
        renderer.render(&painter, QRectF(0, 0, kWidth, kHeight));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(-50, -20, 850, 600), picture_);
    }

private:
    QImage picture_;
};

void AddEntries(QMenu* menu, const std::vector<MenuEntry>& entries,
                const std::map<CommandId, QAction*>& actions) {
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
        case MenuEntry::Kind::Command:
            menu->addAction(actions.at(entry.command));
            break;
        case MenuEntry::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuEntry::Kind::Popup:
            AddEntries(menu->addMenu(FromCp1250(entry.title)), entry.entries, actions);
            break;
        }
    }
}

} // namespace

MainWindow::MainWindow(Application& application, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), application_(application), prompts_(prompts), bridge_(new DaemonBridge(this)),
      idleText_(QStringLiteral("Tarvel")) {
    LoadPictures();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Tarvel"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/tarvel.svg")));
    // No sizing border and no maximize box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(kWidth, kHeight);
    setCentralWidget(new Background(this));

    toolbar_ = addToolBar(QStringLiteral("Tarvel"));
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    setContextMenuPolicy(Qt::NoContextMenu);

    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->setSizeGripEnabled(false);
    // The one pane says "Tarvel", or what the daemon does, whenever no prompt is shown.
    const auto idle = [this](const QString& message) {
        if (message.isEmpty()) {
            statusBar()->showMessage(idleText_);
        }
    };
    connect(statusBar(), &QStatusBar::messageChanged, this, idle);
    statusBar()->showMessage(idleText_);
    connect(bridge_, &DaemonBridge::StatusChanged, this, &MainWindow::ShowIdleText);

    CreateActions();
    ShowMenuState(application_.session.State());
}

void MainWindow::CreateActions() {
    for (const Command& command : Commands()) {
        auto* action = new QAction(FromCp1250(command.item), this);
        action->setObjectName(QString::fromLatin1(command.objectName.c_str()));
        action->setStatusTip(FromCp1250(command.prompt));
        action->setToolTip(command.tooltip.empty() ? FromCp1250(command.prompt)
                                                   : FromCp1250(command.tooltip));
        if (!command.icon.empty()) {
            action->setIcon(QIcon(QStringLiteral(":/pictures/") + QString::fromLatin1(command.icon.c_str()) +
                                  QStringLiteral(".svg")));
        }
        action->setIconVisibleInMenu(false);
        const CommandId id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { Run(id); });
        actions_[id] = action;
    }
}

void MainWindow::ShowMenuState(MenuState state) {
    menuBar()->clear();
    for (const MenuEntry& popup : MenuBarOf(state)) {
        AddEntries(menuBar()->addMenu(FromCp1250(popup.title)), popup.entries, actions_);
    }
    toolbar_->clear();
    for (const ToolbarEntry& entry : ToolbarOf(state)) {
        if (entry.separator) {
            toolbar_->addSeparator();
        } else {
            toolbar_->addAction(actions_.at(entry.command));
        }
    }
    update();
}

void MainWindow::Apply(SessionEvent event) {
    application_.session.Apply(event, application_.daemon.daemonRun == 1);
    ShowMenuState(application_.session.State());
}

void MainWindow::ShowIdleText(const QString& text) {
    const bool idle = statusBar()->currentMessage() == idleText_;
    idleText_ = text;
    if (idle) {
        statusBar()->showMessage(idleText_);
    }
}

void MainWindow::StartReceiving() {
    DaemonContext context{application_.db, application_.configPath,
                          [this](const DaemonMail& mail) { bridge_->MailTaken(mail); }};
    context.intakeEnded = [this](const DaemonMail& mail) { bridge_->IntakeEnded(mail); };
    context.mailboxPolled =
        OncePerChange([this](const std::string& failure) { bridge_->MailboxChanged(failure); });
    if (StartDaemon(application_.daemon, context, {})) {
        ShowIdleText(FromCp1250(ReceivingWaiting()));
        Apply(SessionEvent::ReceivingStarted);
    }
}

void MainWindow::StopReceiving() {
    Daemon& daemon = application_.daemon;
    daemon.daemonRun = 0;
    ShowIdleText(FromCp1250(ReceivingStopping()));
    WaitWithoutInput([&daemon] { return daemon.daemonStopped == 1 || !daemon.worker.joinable(); },
                     kDaemonStopPollStep);
    StopDaemon(daemon, {});
    // The reports the worker posted before it ended arrive first; the pane then goes back to rest.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ShowIdleText(QStringLiteral("Tarvel"));
    Apply(SessionEvent::ReceivingStopped);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The daemon is stopped first, so that no cycle is cut off half way.
    if (application_.daemon.worker.joinable()) {
        const MenuState state = application_.session.State();
        StopReceiving();
        if (state != MenuState::Receiving) {
            Apply(SessionEvent::Logout);
        }
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::LogIn() {
    LoginDialog dialog(application_.session, application_.db, prompts_, this);
    if (dialog.exec() == QDialog::Accepted) {
        Apply(SessionEvent::Login);
    }
}

void MainWindow::OpenAdministration(CommandId id) {
    Database& db = application_.db;
    std::unique_ptr<QDialog> dialog;
    switch (id) {
    case CommandId::AddStudent:
        dialog = std::make_unique<AddStudentDialog>(db, prompts_, this);
        break;
    case CommandId::EditStudent: {
        const auto reassign = [this](const std::string& unid) {
            AssignmentContext context{application_.db, application_.configPath, prompts_};
            ReassignStudent(context, unid);
        };
        dialog = std::make_unique<EditStudentDialog>(db, prompts_, reassign, this);
        break;
    }
    case CommandId::AddTeacher:
        dialog = std::make_unique<AddTeacherDialog>(db, prompts_, this);
        break;
    case CommandId::EditTeacher:
        dialog = std::make_unique<EditTeacherDialog>(db, prompts_, this);
        break;
    case CommandId::AddTaskType:
        dialog = std::make_unique<AddTaskTypeDialog>(db, prompts_, this);
        break;
    case CommandId::EditTaskType:
        dialog = std::make_unique<EditTaskTypeDialog>(db, prompts_, this);
        break;
    case CommandId::AddVariant:
        dialog = std::make_unique<AddVariantDialog>(db, prompts_, this);
        break;
    case CommandId::EditVariant:
        dialog = std::make_unique<EditVariantDialog>(db, prompts_, application_.configPath, this);
        break;
    default:
        return;
    }
    dialog->exec();
}

void MainWindow::AssignAllStudents() {
    AssignmentContext context{application_.db, application_.configPath, prompts_};
    // Made once the question was answered, gone before the closing box.
    context.progress = ShowStudentProgress(
        *this, {"assignmentProgress", "Pridelenie zadaní", "Pridelené: %1 z %2 študentov\n%3 %4"});
    AssignAll(context);
}

void MainWindow::Run(CommandId id) {
    switch (id) {
    case CommandId::Login:
        LogIn();
        break;
    case CommandId::Logout:
        Apply(SessionEvent::Logout);
        break;
    case CommandId::StartReceiving:
        StartReceiving();
        break;
    case CommandId::StopReceiving:
        StopReceiving();
        break;
    case CommandId::ChooseDatabase:
    case CommandId::ChangeDatabase:
        if (SelectDatabase(application_.db, application_.configPath, prompts_)) {
            Apply(SessionEvent::DatabaseSelected);
            LogIn();
        }
        break;
    case CommandId::NewDatabase: {
        NewDatabaseDialog dialog(application_.db, application_.configPath, prompts_, this);
        if (dialog.exec() == QDialog::Accepted) {
            Apply(SessionEvent::DatabaseCreated);
        }
        break;
    }
    case CommandId::AddStudent:
    case CommandId::EditStudent:
    case CommandId::AddTeacher:
    case CommandId::EditTeacher:
    case CommandId::AddTaskType:
    case CommandId::EditTaskType:
    case CommandId::AddVariant:
    case CommandId::EditVariant:
        if (ReadyToOpen(id, application_.db, prompts_)) {
            OpenAdministration(id);
        }
        break;
    case CommandId::Evaluation:
        if (ReadyToEvaluate(application_.db, prompts_, application_.session.FirstRun())) {
            EvaluationDialog dialog(application_.db, prompts_, application_.configPath,
                                    application_.session.Teacher(),
                                    DaemonInstallationPath(application_.configPath), this);
            dialog.exec();
        }
        break;
    case CommandId::AssignAll:
        AssignAllStudents();
        break;
    case CommandId::MailSettings: {
        MailSettingsDialog dialog(application_.configPath, prompts_, this);
        dialog.exec();
        break;
    }
    case CommandId::PathSettings: {
        PathSettingsDialog dialog(application_.configPath, this);
        dialog.exec();
        break;
    }
    case CommandId::About: {
        AboutDialog about(this);
        about.exec();
        break;
    }
    case CommandId::Exit:
        close();
        break;
    default:
        break;
    }
}

} // namespace tarvel
