#include "shell/Settings.h"

#include "shell/Config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tarvel {
namespace {

constexpr const char* kPaths = "dbase";
constexpr const char* kMails = "mails";

void ReadSecurity(const std::string& configPath, MailSettings& settings) {
    settings.smtpSecurity = ParseMailSecurity(ReadConfig(configPath, kMails, "smtpsecurity", ""));
    settings.pop3Security = ParseMailSecurity(ReadConfig(configPath, kMails, "pop3security", ""));
    settings.caFile = ReadConfig(configPath, kMails, "cafile", "");
}

} // namespace

const char* MailSecurityName(MailSecurity security) {
    switch (security) {
    case MailSecurity::None:
        return "none";
    case MailSecurity::StartTls:
        return "starttls";
    case MailSecurity::Tls:
        return "tls";
    }
    return "tls";
}

MailSecurity ParseMailSecurity(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.empty() || lower == "none") {
        return MailSecurity::None;
    }
    return lower == "starttls" ? MailSecurity::StartTls : MailSecurity::Tls;
}

MailSettings ReadMailSettings(const std::string& configPath) {
    MailSettings settings{ReadConfig(configPath, kMails, "smtp", kDefaultMailHost),
                          ReadConfig(configPath, kMails, "pop3", kDefaultMailHost),
                          ReadConfig(configPath, kMails, "user", kDefaultMailUser),
                          ReadConfig(configPath, kMails, "pass", kDefaultMailboxPassword, true)};
    ReadSecurity(configPath, settings);
    return settings;
}

MailSettings ReadMailDialogFields(const std::string& configPath) {
    MailSettings settings{ReadConfig(configPath, kMails, "smtp", kDefaultMailHost),
                          ReadConfig(configPath, kMails, "pop3", kDefaultMailHost),
                          ReadConfig(configPath, kMails, "user", ""),
                          ReadConfig(configPath, kMails, "pass", "", true)};
    ReadSecurity(configPath, settings);
    return settings;
}

bool WriteMailSettings(const std::string& configPath, const MailSettings& settings) {
    return WriteConfig(configPath, kMails, "pop3", settings.pop3) &&
           WriteConfig(configPath, kMails, "smtp", settings.smtp) &&
           WriteConfig(configPath, kMails, "user", settings.user) &&
           WriteConfig(configPath, kMails, "pass", settings.password, true) &&
           WriteConfig(configPath, kMails, "smtpsecurity", MailSecurityName(settings.smtpSecurity)) &&
           WriteConfig(configPath, kMails, "pop3security", MailSecurityName(settings.pop3Security));
}

PathSettings ReadPathSettings(const std::string& configPath) {
    return {ReadConfig(configPath, kPaths, "bccpath", ""), ReadConfig(configPath, kPaths, "editor", ""),
            ReadConfig(configPath, kPaths, "browser", "")};
}

bool WritePathSettings(const std::string& configPath, const PathSettings& settings) {
    bool written = WriteConfig(configPath, kPaths, "bccpath", settings.compiler);
    written = WriteConfig(configPath, kPaths, "editor", settings.editor) && written;
    return WriteConfig(configPath, kPaths, "browser", settings.browser) && written;
}

std::string DaemonInstallationPath(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "zorpath", ".");
}

std::string CreationInstallationPath(const std::string& configPath) {
    const char* home = std::getenv("HOME");
    return ReadConfig(configPath, kPaths, "zorpath", std::string(home != nullptr ? home : "") + "/zor");
}

std::string SelectionInstallationPath(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "zorpath", "");
}

std::string DatabasePathSetting(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "dbpath", kUnconfiguredDatabasePath);
}

bool WriteDatabasePath(const std::string& configPath, const std::string& path) {
    return WriteConfig(configPath, kPaths, "dbpath", path);
}

std::string CompilerDirectorySetting(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "bccpath", ".");
}

std::string EditorSetting(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "editor", "");
}

std::string BrowserSetting(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "browser", kDefaultBrowser);
}

bool UnsafeRunsAllowed(const std::string& configPath) {
    return ReadConfig(configPath, kPaths, "unsafe", "0") == "1";
}

} // namespace tarvel
