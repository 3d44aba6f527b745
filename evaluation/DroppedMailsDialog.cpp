#include "evaluation/DroppedMailsDialog.h"

#include "platform/Cp1250.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarvel {
namespace {

// A mail's bytes as text: each through the Windows-1250 table, and the control characters a broken mail
// can hold (NUL among them) as U+FFFD, line ends and tabs aside.
QString Shown(std::string_view bytes) {
    QString text = FromCp1250(bytes);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control && c != u'\n' && c != u'\t') {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

} // namespace

DroppedMailsDialog::DroppedMailsDialog(const std::string& zorpath, Prompts& prompts, QWidget* parent)
    : QDialog(parent), zorpath_(zorpath), prompts_(prompts), list_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("droppedMailsDialog"));
    setWindowTitle(GuiText("Nespracované maily"));
    list_->setObjectName(QStringLiteral("droppedMailList"));
    list_->setHeaderLabels({GuiText("Dátum"), GuiText("Odosielateľ"), GuiText("Predmet"), GuiText("Dôvod")});
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* none = new QLabel(GuiText("Žiadne nespracované maily."), this);
    none->setObjectName(QStringLiteral("noMailsLabel"));
    const auto buttons =
        LayOutDialog(*this, {{"", list_}, {"", none}}, {{"Otvoriť", "openButton"}, {"Späť", "backButton"}});
    resize(820, 420);

    if (!ListDroppedMails(zorpath_, mails_)) {
        Tell(prompts_, "Nie je možné načítať nespracované maily !!!", "Pozor", PromptIcon::Warning);
    }
    for (const DroppedMail& mail : mails_) {
        new QTreeWidgetItem(list_,
                            {Shown(mail.date), Shown(mail.sender), Shown(mail.subject), Shown(mail.reason)});
    }
    for (int column = 0; column < list_->columnCount() - 1; ++column) {
        list_->resizeColumnToContents(column);
    }
    if (!mails_.empty()) {
        list_->setCurrentItem(list_->topLevelItem(0));
    }
    none->setVisible(mails_.empty());
    buttons[0]->setEnabled(!mails_.empty());
    connect(buttons[0], &QPushButton::clicked, this, &DroppedMailsDialog::OpenSelected);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &DroppedMailsDialog::OpenSelected);
}

void DroppedMailsDialog::OpenSelected() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || static_cast<std::size_t>(row) >= mails_.size()) {
        return;
    }
    std::string text;
    bool complete = true;
    if (!ReadDroppedMail(zorpath_, mails_[row].name, text, complete)) {
        Tell(prompts_, "Nie je možné otvoriť mail !!!", "Pozor", PromptIcon::Warning);
        return;
    }
    auto* window = new QDialog(this);
    window->setObjectName(QStringLiteral("mailWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(FromPath(mails_[row].name));
    auto* view = new QPlainTextEdit(window);
    view->setObjectName(QStringLiteral("mailText"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(Shown(text) +
                       (complete ? QString() : GuiText("\n… (zobrazená je len prvá časť mailu)")));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(view);
    window->resize(760, 520);
    window->show();
}

} // namespace tarvel
