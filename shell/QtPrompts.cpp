#include "shell/QtPrompts.h"

#include "shell/GuiText.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace tarvel {
namespace {

QMessageBox::Icon IconOf(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::None:
        break;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::Ok:
        break;
    case PromptButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// A box taller than this shows its first lines and the whole text in its details, which scroll.
constexpr int kShownLines = 20;

int Show(const Prompt& prompt) {
    const QString text = FromCp1250(prompt.text);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const bool tall = lines.size() > kShownLines;
    const QString shown =
        tall ? lines.mid(0, kShownLines).join(QLatin1Char('\n')) + QStringLiteral("\n...") : text;
    QMessageBox box(IconOf(prompt.icon), FromCp1250(prompt.title), shown, ButtonsOf(prompt.buttons),
                    QApplication::activeModalWidget());
    if (tall) {
        box.setDetailedText(text);
    }
    box.setObjectName(QStringLiteral("promptBox"));
    return box.exec();
}

std::optional<std::string> Chosen(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return ToPath(path);
}

} // namespace

bool QtPrompts::Ask(const Prompt& prompt) {
    const int answer = Show(prompt);
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

void QtPrompts::Tell(const Prompt& prompt) {
    Show(prompt);
}

std::optional<std::string> QtPrompts::ChooseOpenFile(const FileRequest& request) {
    return Chosen(QFileDialog::getOpenFileName(QApplication::activeModalWidget(), FromCp1250(request.title),
                                               FromPath(request.initialPath), QtFileFilter(request.filter)));
}

std::optional<std::string> QtPrompts::ChooseSaveFile(const FileRequest& request) {
    QFileDialog dialog(QApplication::activeModalWidget(), FromCp1250(request.title),
                       FromPath(request.initialPath), QtFileFilter(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The system's saved files (the results report and its export) replace a chosen file without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(FromCp1250(request.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return Chosen(dialog.selectedFiles().front());
}

std::optional<std::string> QtPrompts::ChooseFolder(const FolderRequest& request) {
    return Chosen(QFileDialog::getExistingDirectory(QApplication::activeModalWidget(),
                                                    FromCp1250(request.title), FromPath(request.root),
                                                    QFileDialog::ShowDirsOnly));
}

QString QtFileFilter(const std::string& filter) {
    const QStringList parts = FromCp1250(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (parts[i].contains(QLatin1Char('('))
                        ? parts[i]
                        : parts[i] + QStringLiteral(" (") + patterns + QStringLiteral(")"));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace tarvel
