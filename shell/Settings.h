#pragma once
// zor.ini's sections, keys and defaults, named in this one place. Each use of a key has its reader, because
// the defaults differ between uses (zorpath is "." for the daemon, $HOME/zor for a new database, empty for
// the database selection); the two configuration dialogs load and save through the field sets below.

#include <string>

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

// The mail settings as the daemon and the assignment use them, with their defaults.
struct MailSettings {
    std::string smtp;
    std::string pop3;
    std::string user;
    std::string password;
};
MailSettings ReadMailSettings(const std::string& configPath);

// The fields of the mail-server dialog: hosts default to kDefaultMailHost, login and password to empty.
MailSettings ReadMailDialogFields(const std::string& configPath);
// Writes pop3, smtp, user, then pass (enciphered), stopping at the first write that fails; true when all
// four were written.
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
