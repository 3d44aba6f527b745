#pragma once
// zor.ini's sections, keys and defaults, named in this one place. Each use of a key has its reader, because
// the defaults differ between uses (zorpath is "." for the daemon, $HOME/zor for a new database, empty for
// the database selection); the two configuration dialogs load and save through the field sets below.

#include <string>
#include <string_view>

namespace tarvel {

// The host every mail setting falls back to, in the dialog and in use alike.
inline constexpr const char* kDefaultMailHost = "localhost";
// The mailbox password the daemon uses when none is configured.
inline constexpr const char* kDefaultMailboxPassword = "zor";
// The mailbox login, also the local part of the sender address, when none is configured.
inline constexpr const char* kDefaultMailUser = "zor";
// The browser when none is configured (for Windows' "iexplore").
inline constexpr const char* kDefaultBrowser = "xdg-open";
// The value dbpath reads as when it is missing: not configured.
inline constexpr const char* kUnconfiguredDatabasePath = "???";

// How a mail server is reached: the dialogues in clear text, TLS begun after the greeting (SMTP STARTTLS,
// POP3 STLS), or TLS from the first byte. Stored as "none", "starttls" and "tls" in smtpsecurity and
// pop3security.
enum class MailSecurity { None, StartTls, Tls };

const char* MailSecurityName(MailSecurity security);
// Letter case aside: a missing (empty) value is "none"; any other value that is not one of the three names
// reads as TLS, so that a mistyped setting can fail to connect but never sends a password in clear text.
MailSecurity ParseMailSecurity(std::string_view name);

// The mail settings as the daemon and the assignment use them, with their defaults.
struct MailSettings {
    std::string smtp;
    std::string pop3;
    std::string user;
    std::string password;
    MailSecurity smtpSecurity = MailSecurity::None;
    MailSecurity pop3Security = MailSecurity::None;
    std::string caFile =
        {}; // cafile: further trusted certificate authorities (PEM), "" for the system's own only
};
MailSettings ReadMailSettings(const std::string& configPath);

// The fields of the mail-server dialog: hosts default to kDefaultMailHost, login and password to empty.
MailSettings ReadMailDialogFields(const std::string& configPath);
// Writes pop3, smtp, user, pass (enciphered), then smtpsecurity and pop3security, stopping at the first
// write that fails; true when all six were written. cafile is the configuration file's own.
bool WriteMailSettings(const std::string& configPath, const MailSettings& settings);

// The fields of the path dialog, each defaulting to empty.
struct PathSettings {
    std::string compiler; // bccpath
    std::string editor;
    std::string browser;
};
PathSettings ReadPathSettings(const std::string& configPath);
// Writes bccpath, editor, then browser, each even when empty; true when all three were written.
bool WritePathSettings(const std::string& configPath, const PathSettings& settings);

// zorpath as the receiving daemon reads it once per start: "." when missing.
std::string DaemonInstallationPath(const std::string& configPath);
// zorpath as database creation reads it: $HOME/zor when missing.
std::string CreationInstallationPath(const std::string& configPath);
// zorpath as database selection reads it: empty when missing.
std::string SelectionInstallationPath(const std::string& configPath);

// dbpath, or kUnconfiguredDatabasePath.
std::string DatabasePathSetting(const std::string& configPath);
bool WriteDatabasePath(const std::string& configPath, const std::string& path);

// bccpath as the build runner reads it: "." when missing.
std::string CompilerDirectorySetting(const std::string& configPath);
// The editor's program, empty when missing.
std::string EditorSetting(const std::string& configPath);
// The browser's program, kDefaultBrowser when missing (an empty value written by the path dialog stays
// empty).
std::string BrowserSetting(const std::string& configPath);
// Whether student code may run unsandboxed where no sandbox can be made: "unsafe" = "1".
bool UnsafeRunsAllowed(const std::string& configPath);

} // namespace tarvel
