// The dropped mails' dialog on the offscreen platform, against a real archive folder: the list's columns,
// a mail opened as text whatever bytes it holds, and an empty folder.

#include "evaluation/DroppedMailsDialog.h"

#include "mail/MailArchive.h"
#include "shell/GuiText.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>

namespace tarvel::testing {
namespace {

using namespace std::string_literals;

class DroppedMailsDialogTest : public ::testing::Test {
protected:
    void Drop(const std::string& name, const std::string& mail, const std::string& reason) {
        const std::string dropped = DroppedDirectory(dir.Path());
        std::filesystem::create_directories(dropped);
        WriteBytes(dropped + "/" + name + ".mail", mail);
        WriteBytes(dropped + "/" + name + ".reason", reason + "\n");
    }
    static QStringList Row(const QTreeWidgetItem* item) {
        QStringList texts;
        for (int column = 0; column < item->columnCount(); ++column) {
            texts << item->text(column);
        }
        return texts;
    }

    TempDir dir;
    ScriptedPrompts prompts;
};

TEST_F(DroppedMailsDialogTest, ListsTheMailsAndOpensOneAsText) {
    Drop("20250115-100000-000001-00000000000000a1",
         "+OK\r\nDate: Wed, 15 Jan 2025\r\nFrom: \x8Atef\r\nSubject: Zadanie\r\n\r\n\x9A\x00\x81\r\n.\r\n"s,
         "unzip failed");
    Drop("20250115-100001-000002-00000000000000b2", "+OK\r\nSubject: druhy\r\n\r\nrepeat\r\n.\r\n",
         "oversized");
    DroppedMailsDialog dialog(dir.Path(), prompts);
    EXPECT_EQ(dialog.windowTitle(), GuiText("Nespracované maily"));
    auto* list = Find<QTreeWidget>(&dialog, "droppedMailList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    const QTreeWidgetItem* header = list->headerItem();
    EXPECT_EQ(Row(header),
              (QStringList{GuiText("Dátum"), GuiText("Odosielateľ"), GuiText("Predmet"), GuiText("Dôvod")}));
    EXPECT_EQ(Row(list->topLevelItem(0)),
              (QStringList{QStringLiteral("Wed, 15 Jan 2025"), GuiText("Štef"), QStringLiteral("Zadanie"),
                           QStringLiteral("unzip failed")}));
    EXPECT_FALSE(Find<QLabel>(&dialog, "noMailsLabel")->isVisibleTo(&dialog));

    QTest::mouseClick(Find<QPushButton>(&dialog, "openButton"), Qt::LeftButton);
    auto* text = Find<QPlainTextEdit>(&dialog, "mailText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(),
              GuiText("Date: Wed, 15 Jan 2025\nFrom: Štef\nSubject: Zadanie\n\nš\uFFFD\uFFFD\n"));
    delete text->window();

    list->setCurrentItem(list->topLevelItem(1));
    emit list->itemDoubleClicked(list->topLevelItem(1), 0);
    auto* second = Find<QPlainTextEdit>(&dialog, "mailText");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->toPlainText(), QStringLiteral("Subject: druhy\n\nrepeat\n"));
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(DroppedMailsDialogTest, AnEmptyFolderSaysThereAreNone) {
    std::filesystem::create_directories(DroppedDirectory(dir.Path()));
    DroppedMailsDialog dialog(dir.Path(), prompts);
    EXPECT_EQ(Find<QTreeWidget>(&dialog, "droppedMailList")->topLevelItemCount(), 0);
    auto* none = Find<QLabel>(&dialog, "noMailsLabel");
    EXPECT_TRUE(none->isVisibleTo(&dialog));
    EXPECT_EQ(none->text(), GuiText("Žiadne nespracované maily."));
    EXPECT_FALSE(Find<QPushButton>(&dialog, "openButton")->isEnabled());
    dialog.show();
    QTest::mouseClick(Find<QPushButton>(&dialog, "backButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(prompts.told.empty());
}

} // namespace
} // namespace tarvel::testing
