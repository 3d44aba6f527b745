#pragma once
// What GUI tests share: widgets found by object name, failing loudly when one is missing. QtTest's own
// checks report nothing inside a GoogleTest, so they are made unusable here.

#include <QWidget>
#include <QtTest/QTest>

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

} // namespace tarvel::testing
