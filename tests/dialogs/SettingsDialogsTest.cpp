// The path and mail-server dialogs: what they show on opening, what "OK" writes and in which order, and
// what they refuse.

#include "dialogs/MailSettingsDialog.h"
#include "dialogs/PathSettingsDialog.h"

#include "platform/Cp1250.h"
#include "shell/Config.h"
#include "shell/GuiText.h"
#include "shell/Settings.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <filesystem>

namespace tarvel {
namespace {

using testing::Find;
using testing::ReadBytes;
using testing::ScriptedPrompts;
using testing::TempDir;

class SettingsDialogsTest : public ::testing::Test {
protected:
    static void Type(QDialog& dialog, const char* edit, const QString& text) {
        QLineEdit* field = Find<QLineEdit>(&dialog, edit);
        field->clear();
        // QTest types only ASCII keys; other letters go in as an input method would put them.
        const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (ascii) {
            QTest::keyClicks(field, text);
        } else {
            field->insert(text);
        }
    }
    static void Press(QDialog& dialog, const char* button) {
        QTest::mouseClick(Find<QPushButton>(&dialog, button), Qt::LeftButton);
    }

    TempDir dir;
    std::string config = dir / "zor.ini";
    ScriptedPrompts prompts;
};

TEST_F(SettingsDialogsTest, PathsShowTheirKeysAndOkWritesAllThreeEvenEmpty) {
    WriteConfig(config, "dbase", "bccpath", "/opt/bcc/");
    PathSettingsDialog dialog(config);
    EXPECT_EQ(dialog.windowTitle(), GuiText("Nastavenie ciest"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "compilerEdit")->text(), QStringLiteral("/opt/bcc/"));
    EXPECT_TRUE(Find<QLineEdit>(&dialog, "browserEdit")->text().isEmpty());
    Type(dialog, "editorEdit", QStringLiteral("mousepad"));
    Press(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(EditorSetting(config), "mousepad");
    EXPECT_EQ(BrowserSetting(config), "") << "an empty browser no longer falls back";
    EXPECT_EQ(CompilerDirectorySetting(config), "/opt/bcc/");
}

TEST_F(SettingsDialogsTest, BackWritesNothing) {
    PathSettingsDialog paths(config);
    Type(paths, "editorEdit", QStringLiteral("vim"));
    Press(paths, "backButton");
    MailSettingsDialog mail(config, prompts);
    Type(mail, "userEdit", QStringLiteral("zadania"));
    Press(mail, "backButton");
    EXPECT_FALSE(std::filesystem::exists(config));
}

TEST_F(SettingsDialogsTest, MailFieldsShowTheirDefaultsAndEachHostFieldEditsTheKeyItsLabelNames) {
    MailSettingsDialog dialog(config, prompts);
    EXPECT_EQ(dialog.windowTitle(), GuiText("Konfigurácia poštového servra"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "smtpEdit")->text(), QStringLiteral("localhost"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "pop3Edit")->text(), QStringLiteral("localhost"));
    EXPECT_TRUE(Find<QLineEdit>(&dialog, "userEdit")->text().isEmpty());
    EXPECT_EQ(Find<QLineEdit>(&dialog, "smtpEdit")->maxLength(), 50);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
    Type(dialog, "smtpEdit", QStringLiteral("smtp.uniba.sk"));
    Type(dialog, "pop3Edit", QStringLiteral("pop.uniba.sk"));
    Type(dialog, "userEdit", QStringLiteral("zadania"));
    Type(dialog, "passwordEdit", GuiText("tajné"));
    Type(dialog, "confirmationEdit", GuiText("tajné"));
    Press(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.told.empty());
    const MailSettings written = ReadMailSettings(config);
    EXPECT_EQ(written.smtp, "smtp.uniba.sk");
    EXPECT_EQ(written.pop3, "pop.uniba.sk");
    EXPECT_EQ(written.user, "zadania");
    EXPECT_EQ(written.password, "tajn\xE9");

    MailSettingsDialog again(config, prompts);
    EXPECT_EQ(Find<QLineEdit>(&again, "passwordEdit")->text(), GuiText("tajné"));
    EXPECT_EQ(Find<QLineEdit>(&again, "confirmationEdit")->text(), GuiText("tajné"));
}

TEST_F(SettingsDialogsTest, TheSecurityDropDownsShowAndWriteTheirKeys) {
    ASSERT_TRUE(WriteConfig(config, "mails", "smtpsecurity", "starttls"));
    ASSERT_TRUE(WriteConfig(config, "mails", "pop3security", "tls"));
    MailSettingsDialog dialog(config, prompts);
    auto* smtp = Find<QComboBox>(&dialog, "smtpSecurityCombo");
    auto* pop3 = Find<QComboBox>(&dialog, "pop3SecurityCombo");
    ASSERT_EQ(smtp->count(), 3);
    EXPECT_EQ(smtp->itemText(0), GuiText("žiadne"));
    EXPECT_EQ(smtp->currentText(), QStringLiteral("STARTTLS"));
    EXPECT_EQ(pop3->currentText(), QStringLiteral("TLS"));
    smtp->setCurrentIndex(2);
    pop3->setCurrentIndex(0);
    Press(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ReadConfig(config, "mails", "smtpsecurity", ""), "tls");
    EXPECT_EQ(ReadConfig(config, "mails", "pop3security", ""), "none");
}

TEST_F(SettingsDialogsTest, MailFieldsThatCannotBeStoredWriteNothing) {
    struct Case {
        const char* name;
        QString password;
        QString confirmation;
        const char* text;
    };
    const Case cases[] = {
        {"a confirmation that differs", QStringLiteral("heslo"), QStringLiteral("Heslo"),
         "Nesprávne potvrdené heslo !!!"},
        {"a character with no Windows-1250 form", GuiText("heslo€日"), GuiText("heslo€日"),
         "Údaje obsahujú znak, ktorý sa nedá uložiť (mimo kódovania Windows-1250) !!!"},
    };
    for (const Case& c : cases) {
        prompts.told.clear();
        MailSettingsDialog dialog(config, prompts);
        dialog.show();
        Type(dialog, "userEdit", QStringLiteral("zadania"));
        Type(dialog, "passwordEdit", c.password);
        Type(dialog, "confirmationEdit", c.confirmation);
        Press(dialog, "okButton");
        EXPECT_TRUE(dialog.isVisible()) << c.name;
        ASSERT_EQ(prompts.told.size(), 1u) << c.name;
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), c.text) << c.name;
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), "Chyba údajov") << c.name;
        EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error) << c.name;
        EXPECT_FALSE(std::filesystem::exists(config)) << c.name;
    }
}

} // namespace
} // namespace tarvel
