#include "shell/QtProgress.h"

#include "shell/GuiText.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>

#include <memory>

namespace tarvel {
namespace {

// The dialog of one run; a QPointer, because the owner may delete it first.
class ProgressWindow {
public:
    ProgressWindow(QWidget& owner, const ProgressTexts& texts) : owner_(&owner), texts_(texts) {}
    ~ProgressWindow() { Close(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void Report(int done, int total, const StudentRecord* student) {
        if (student == nullptr) {
            Close();
            return;
        }
        if (dialog_.isNull()) {
            if (owner_.isNull()) {
                return;
            }
            Open(total);
        }
        dialog_->setLabelText(GuiText(texts_.label)
                                  .arg(done)
                                  .arg(total)
                                  .arg(FromCp1250(student->name), FromCp1250(student->surname)));
        dialog_->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    void Open(int total) {
        dialog_ = new QProgressDialog(owner_.data());
        dialog_->setObjectName(QString::fromLatin1(texts_.objectName));
        dialog_->setWindowTitle(GuiText(texts_.title));
        dialog_->setCancelButton(nullptr);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setMinimumWidth(360);
        dialog_->setRange(0, total);
    }
    // At once rather than later: the closing box comes next, and nothing of the run may stay on screen.
    void Close() { delete dialog_.data(); }

    QPointer<QWidget> owner_;
    ProgressTexts texts_;
    QPointer<QProgressDialog> dialog_;
};

} // namespace

StudentProgress ShowStudentProgress(QWidget& owner, const ProgressTexts& texts) {
    auto window = std::make_shared<ProgressWindow>(owner, texts);
    return
        [window](int done, int total, const StudentRecord* student) { window->Report(done, total, student); };
}

} // namespace tarvel
