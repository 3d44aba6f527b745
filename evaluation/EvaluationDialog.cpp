#include "evaluation/EvaluationDialog.h"

#include "evaluation/DroppedMailsDialog.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace tarvel {
namespace {

QLineEdit* ShownEdit(QDialog& dialog, const char* objectName, int maxLength = 0) {
    QLineEdit* edit = NamedEdit(dialog, objectName, maxLength);
    edit->setReadOnly(true);
    return edit;
}

QListWidget* NamedList(QDialog& dialog, const char* objectName) {
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QString::fromLatin1(objectName));
    return list;
}

QGroupBox* Group(QDialog& dialog, const char* title, QLayout* layout) {
    auto* group = new QGroupBox(GuiText(title), &dialog);
    group->setLayout(layout);
    return group;
}

QFormLayout* Form(const std::vector<FormField>& fields) {
    auto* form = new QFormLayout;
    for (const FormField& field : fields) {
        form->addRow(GuiText(field.label), field.field);
    }
    return form;
}

void ShowLines(QListWidget& list, const std::vector<std::string>& lines) {
    list.clear();
    for (const std::string& line : lines) {
        list.addItem(FromCp1250(line));
    }
}

} // namespace

EvaluationDialog::EvaluationDialog(Database& db, Prompts& prompts, const std::string& configPath,
                                   const TeacherRecord& teacher, std::string zorpath, QWidget* parent,
                                   DetachedLauncher launcher)
    : QDialog(parent), prompts_(prompts), zorpath_(std::move(zorpath)),
      desk_(db, prompts, configPath, teacher, std::move(launcher)) {
    setObjectName(QStringLiteral("evaluationDialog"));
    setWindowTitle(GuiText("Hodnotenie práce študenta"));

    auto* columns = new QHBoxLayout;
    columns->addWidget(StudentsGroup(), 2);
    auto* right = new QGridLayout;
    right->addWidget(StudentGroup(), 0, 0);
    right->addWidget(SimilarGroup(), 0, 1);
    right->addWidget(ResultsGroup(), 1, 0, 1, 2);
    columns->addLayout(right, 5);

    auto* buttons = new QHBoxLayout;
    QPushButton* dropped = NamedButton(*this, "Nespracované maily...", "droppedMailsButton");
    buttons->addWidget(dropped);
    buttons->addStretch();
    QPushButton* write = NamedButton(*this, "Zapísať", "writeButton");
    write->setDefault(true);
    QPushButton* back = NamedButton(*this, "Späť", "backButton");
    buttons->addWidget(write);
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    connect(dropped, &QPushButton::clicked, this, &EvaluationDialog::ShowDroppedMails);
    connect(write, &QPushButton::clicked, this, [this] {
        desk_.Write(Points());
        Render();
    });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    connect(allStudents_, &QCheckBox::clicked, this, [this] {
        desk_.ToggleAllStudents(Points());
        Render();
    });
    connect(students_, &QListWidget::currentRowChanged, this, [this](int row) {
        desk_.SelectStudent(row, Points());
        Render();
    });
    connect(taskType_, &QComboBox::currentIndexChanged, this, [this](int index) {
        desk_.SelectTaskType(index, Points());
        Render();
    });
    connect(similar_, &QListWidget::itemDoubleClicked, this, &EvaluationDialog::Compare);
    WatchFocus(
        *points_, [this] { desk_.PointsFocusIn(Points()); }, [this] { desk_.PointsFocusOut(Points()); });

    resize(1000, 560);
    desk_.Open();
    ShowNames(*taskType_, desk_.TaskTypes(),
              desk_.TaskTypes().empty() ? std::string() : desk_.TaskTypes()[0]);
    Render();
    students_->setFocus();
}

QWidget* EvaluationDialog::StudentsGroup() {
    allStudents_ = new QCheckBox(GuiText("Všetci študenti"), this);
    allStudents_->setObjectName(QStringLiteral("allStudentsCheck"));
    students_ = NamedList(*this, "studentList");
    QPushButton* report = NamedButton(*this, "Hodnotenie študentov --> HTML", "reportButton");
    QPushButton* csv = NamedButton(*this, "Export CSV...", "csvButton");
    connect(report, &QPushButton::clicked, this, [this] { desk_.PublishReport(); });
    connect(csv, &QPushButton::clicked, this, [this] { desk_.ExportCsv(); });
    auto* reports = new QHBoxLayout;
    reports->addWidget(report);
    reports->addWidget(csv);
    auto* layout = new QVBoxLayout;
    layout->addWidget(allStudents_);
    layout->addWidget(students_);
    layout->addLayout(reports);
    return Group(*this, "Študenti", layout);
}

QWidget* EvaluationDialog::StudentGroup() {
    name_ = ShownEdit(*this, "nameEdit");
    surname_ = ShownEdit(*this, "surnameEdit");
    group_ = ShownEdit(*this, "groupEdit", 2);
    unid_ = ShownEdit(*this, "unidEdit", 5);
    teacher_ = ShownEdit(*this, "teacherEdit");
    total_ = ShownEdit(*this, "totalEdit");
    return Group(*this, "Študent",
                 Form({{"Meno:", name_},
                       {"Priezvisko:", surname_},
                       {"Krúžok:", group_},
                       {"UNI ID:", unid_},
                       {"Učiteľ:", teacher_},
                       {"Body (Spolu):", total_}}));
}

QWidget* EvaluationDialog::ResultsGroup() {
    taskType_ = new QComboBox(this);
    taskType_->setObjectName(QStringLiteral("taskTypeCombo"));
    variant_ = ShownEdit(*this, "variantEdit");
    submissions_ = ShownEdit(*this, "submissionsEdit");
    late_ = ShownEdit(*this, "lateEdit");
    results_ = NamedList(*this, "resultList");
    results_->setSelectionMode(QAbstractItemView::NoSelection);
    results_->setFocusPolicy(Qt::NoFocus);
    points_ = DigitsEdit(*this, "pointsEdit", 3);
    maximum_ = ShownEdit(*this, "maximumEdit");
    QPushButton* submission = NamedButton(*this, "Zadanie", "submissionButton");
    connect(submission, &QPushButton::clicked, this, [this] { desk_.ShowSubmission(); });

    // The figures are short; the result lines get the width.
    for (QWidget* field : {static_cast<QWidget*>(taskType_), static_cast<QWidget*>(variant_)}) {
        field->setFixedWidth(120);
    }
    for (QLineEdit* field : {submissions_, late_, points_, maximum_}) {
        field->setFixedWidth(56);
    }
    auto* row = new QHBoxLayout;
    row->addLayout(Form({{"Typ zadania:", taskType_},
                         {"Variant zadania:", variant_},
                         {"Počet odovzdaní:", submissions_},
                         {"Počet dní po termíne odovz.:", late_},
                         {"Body:", FieldRow(*this, {points_, submission})},
                         {"MAX:", maximum_}}));
    row->addWidget(results_, 1);
    return Group(*this, "Výsledky", row);
}

QWidget* EvaluationDialog::SimilarGroup() {
    similar_ = NamedList(*this, "similarList");
    QPushButton* compare = NamedButton(*this, "Porovnať", "compareButton");
    connect(compare, &QPushButton::clicked, this, &EvaluationDialog::Compare);
    auto* layout = new QVBoxLayout;
    layout->addWidget(similar_);
    layout->addWidget(compare, 0, Qt::AlignRight);
    return Group(*this, "Vysoko podobné zadania", layout);
}

std::string EvaluationDialog::Points() const {
    // The field takes digits only, which every code page writes alike.
    return points_->text().toStdString();
}

void EvaluationDialog::Render() {
    const QSignalBlocker quietStudents(students_);
    const QSignalBlocker quietTaskType(taskType_);
    allStudents_->setChecked(desk_.AllStudents());
    if (shownFill_ != desk_.StudentListFills()) {
        ShowEntries(*students_, desk_.Students());
        shownFill_ = desk_.StudentListFills();
    }
    students_->setCurrentRow(desk_.SelectedStudent());
    taskType_->setCurrentIndex(desk_.SelectedTaskType());

    const EvaluationView& view = desk_.View();
    name_->setText(FromCp1250(view.name));
    surname_->setText(FromCp1250(view.surname));
    group_->setText(FromCp1250(view.group));
    unid_->setText(FromCp1250(view.unid));
    teacher_->setText(FromCp1250(view.teacher));
    total_->setText(QString::number(view.total));
    variant_->setText(FromCp1250(view.variant));
    submissions_->setText(QString::number(view.submissions));
    late_->setText(QString::number(view.late));
    points_->setText(FromCp1250(view.points));
    maximum_->setText(QString::number(view.maximum));
    ShowLines(*results_, view.results);
    ShowEntries(*similar_, view.similar);
    similar_->setCurrentRow(view.similar.empty() ? -1 : 0);
}

void EvaluationDialog::Compare() {
    desk_.Compare(similar_->currentRow());
}

void EvaluationDialog::ShowDroppedMails() {
    DroppedMailsDialog dialog(zorpath_, prompts_, this);
    dialog.exec();
}

} // namespace tarvel
