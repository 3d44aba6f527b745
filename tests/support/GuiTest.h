#pragma once
// What GUI tests share: widgets found by object name, failing loudly when one is missing. QtTest's own
// checks report nothing inside a GoogleTest, so they are made unusable here.

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <QtTest/QTest>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#undef QVERIFY
#undef QCOMPARE
#define QVERIFY static_assert(false, "use EXPECT_TRUE or ASSERT_TRUE")
#define QCOMPARE static_assert(false, "use EXPECT_EQ or ASSERT_EQ")

// Failure messages show Qt's texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tarvel::testing {

// The child of `parent` with this object name and type; fails the test when there is none.
template <typename Widget> Widget* Find(const QObject* parent, const char* name) {
    Widget* found = parent->findChild<Widget*>(QString::fromLatin1(name));
    if (found == nullptr) {
        ADD_FAILURE() << "no " << name << " in " << parent->objectName().toStdString();
    }
    return found;
}

// Answers the next modal dialog, whose exec() the test is about to call: `answer` gets it as soon as it is
// shown. A dialog still open after the time-out fails the test and is rejected, so that the test ends.
inline void WhenModal(std::function<void(QWidget*)> answer, int timeoutMs = 5000) {
    auto* poll = new QTimer;
    auto answered = std::make_shared<QPointer<QWidget>>();
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        *elapsed += 10;
        QWidget* modal = QApplication::activeModalWidget();
        if (answered->isNull() && modal != nullptr && *elapsed <= timeoutMs) {
            *answered = modal;
            answer(modal);
        }
        const bool open = !answered->isNull() && (*answered)->isVisible();
        if (*elapsed > timeoutMs && (open || answered->isNull())) {
            ADD_FAILURE() << (open ? "a modal dialog was left open" : "no modal dialog appeared");
            if (auto* dialog = qobject_cast<QDialog*>(open ? answered->data() : modal)) {
                dialog->reject();
            }
        } else if (answered->isNull() || open) {
            return;
        }
        poll->stop();
        poll->deleteLater();
    });
    poll->start(10);
}

} // namespace tarvel::testing
