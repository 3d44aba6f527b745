#include "dialogs/VariantEditing.h"

#include "dialogs/TaskTypeEditing.h"
#include "platform/Cp1250.h"
#include "shell/Settings.h"
#include "store/Tasks.h"

#include <algorithm>

namespace tarvel {
namespace {

constexpr const char* kDataTitle = "Chyba údajov";
constexpr const char* kDatabaseTitle = "Chyba databázy";
constexpr const char* kEmptyTitle = "Prázdna databáza";

struct FileKindTexts {
    const char* extension;
    const char* title; // the field's label without its colon
    const char* filter;
    const char* copyFailed;
};

constexpr FileKindTexts kKindTexts[] = {
    {"TXT", "Znenie zadania", "Znenie zadaní (*.txt)|*.txt|Všetky súbory (*.*)|*.*||",
     "Nie je možné skopírovať súbor „Znenie zadania“ do databázy zadaní !!!"},
    {"IN", "Vstupné dáta", "Vstupné údaje (*.in)|*.in|Všetky súbory (*.*)|*.*||",
     "Nie je možné skopírovať súbor „Vstupné dáta“ do databázy zadaní !!!"},
    {"OUT", "Výstupné dáta", "Výstupné údaje (*.out)|*.out|Všetky súbory (*.*)|*.*||",
     "Nie je možné skopírovať súbor „Výstupné dáta“ do databázy zadaní !!!"},
};

const FileKindTexts& TextsOf(VariantFileKind kind) {
    return kKindTexts[static_cast<std::size_t>(kind)];
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r';
}

// Copies a chosen file over the variant's file and tells when that fails.
void InstallFile(Database& db, Prompts& prompts, const VariantSet& set, const std::string& variant,
                 VariantFileKind kind, const std::string& source) {
    CopyVariantFile(set, variant, VariantFileExtension(kind), source);
    if (!db.lastOk) {
        Tell(prompts, TextsOf(kind).copyFailed, kDatabaseTitle, PromptIcon::Error);
    }
}

} // namespace

const char* VariantFileExtension(VariantFileKind kind) {
    return TextsOf(kind).extension;
}

bool IsAcceptableVariantName(const std::string& variant) {
    return IsValidVariantName(variant) && variant.size() <= kMaxVariantNameBytes &&
           variant.find_first_of("*?") == std::string::npos && !IsBlank(variant.front()) &&
           !IsBlank(variant.back());
}

std::optional<std::string> ChooseVariantFile(Prompts& prompts, VariantFileKind kind,
                                             const std::string& fieldText) {
    const FileKindTexts& texts = TextsOf(kind);
    return prompts.ChooseOpenFile({Cp1250Text(texts.title), fieldText, Cp1250Text(texts.filter), ""});
}

bool AddVariantFromFields(Database& db, Prompts& prompts, const std::string& taskType,
                          const std::string& variant, const std::string& txtPath, const std::string& inPath,
                          const std::string& outPath) {
    const VariantSet set{&db, taskType};
    std::vector<std::string> existing;
    if (!Variants(set, existing)) {
        Tell(prompts, "Nie je možné načítať databázu variant !!!", kDatabaseTitle, PromptIcon::Error);
        return false;
    }
    // The variant list and the file names are looked up ignoring letter case: "A" beside "a" would take
    // over a's key and files.
    if (std::any_of(existing.begin(), existing.end(),
                    [&](const std::string& name) { return EqualsIgnoringCase(name, variant); })) {
        Tell(prompts, "Daný typ variantu už existuje !!!", kDataTitle, PromptIcon::Error);
        return false;
    }
    if (taskType.empty() || variant.empty()) {
        Tell(prompts, "Neúplné údaje !!!", kDataTitle, PromptIcon::Warning);
        return false;
    }
    if (!IsAcceptableVariantName(variant)) {
        Tell(prompts,
             "Názov variantu nesmie obsahovať znaky / * ? = ani koniec riadka, začínať znakom [, začínať ani "
             "končiť medzerou a môže mať najviac 248 znakov !!!",
             kDataTitle, PromptIcon::Warning);
        return false;
    }
    AddVariant(set, variant);
    if (!db.lastOk) {
        Tell(prompts, "Nie je možné pridať nový variant zadania !!!", kDatabaseTitle, PromptIcon::Error);
    }
    const std::string* sources[] = {&txtPath, &inPath, &outPath};
    for (VariantFileKind kind : kVariantFileKinds) {
        const std::string& source = *sources[static_cast<std::size_t>(kind)];
        // An empty field keeps the template.
        if (!source.empty()) {
            InstallFile(db, prompts, set, variant, kind, source);
        }
    }
    return true;
}

VariantEditing::VariantEditing(Database& db, Prompts& prompts, std::string configPath,
                               ProcessLauncher launcher)
    : db_(db), prompts_(prompts), configPath_(std::move(configPath)), launcher_(std::move(launcher)) {}

bool VariantEditing::Open() {
    ReadSortedTaskTypes(db_, taskTypes_);
    if (taskTypes_.empty()) {
        selectedType_.clear();
        variants_.clear();
        selectedVariant_.clear();
        ClearFields();
        return false;
    }
    SelectType(taskTypes_.front());
    return true;
}

void VariantEditing::SelectType(const std::string& name) {
    if (std::find(taskTypes_.begin(), taskTypes_.end(), name) == taskTypes_.end()) {
        return;
    }
    selectedType_ = name;
    FillVariants();
}

void VariantEditing::SelectVariant(const std::string& name) {
    if (std::find(variants_.begin(), variants_.end(), name) == variants_.end()) {
        return;
    }
    selectedVariant_ = name;
    ShowStorePaths();
}

void VariantEditing::ReplaceFile(VariantFileKind kind) {
    const std::optional<std::string> chosen = ChooseVariantFile(prompts_, kind, Field(kind));
    if (!chosen) {
        return;
    }
    fields_[Index(kind)] = *chosen;
    if (selectedVariant_.empty()) {
        Tell(prompts_, "Neúplné údaje !!!", kDataTitle, PromptIcon::Warning);
        return;
    }
    InstallFile(db_, prompts_, VariantSet{&db_, selectedType_}, selectedVariant_, kind, *chosen);
}

void VariantEditing::Edit(VariantFileKind kind) {
    const std::string& file = Field(kind);
    if (file.empty()) {
        return;
    }
    // The command line is the editor, a blank and the file, nothing quoted; it is split at blanks as the
    // system starts its tools. Without an editor nothing is started: the file itself is no program.
    const std::string editor = EditorSetting(configPath_);
    ChildRequest request;
    request.arguments = SplitCommandLine(editor + " " + file);
    request.workingDirectory = db_.AbsolutePath("");
    request.timeLimit = kNoTimeLimit;
    bool started = false;
    if (!SplitCommandLine(editor).empty()) {
        const ChildOutcome outcome = launcher_(request).outcome;
        started = outcome == ChildOutcome::Exited || outcome == ChildOutcome::Signaled ||
                  outcome == ChildOutcome::TimedOut;
    }
    if (!started) {
        Tell(prompts_, "Neviem otvoriť editor, zlá casta !!!", "Chyba cesty editora", PromptIcon::Warning);
    }
}

bool VariantEditing::Delete() {
    if (variants_.empty()) {
        Tell(prompts_, "Zadanie neobsahuje žiadny variant !!!", kEmptyTitle, PromptIcon::Warning);
        return false;
    }
    if (!prompts_.Ask({Cp1250Text("Vymazať variant zadania ?"), Cp1250Text("Vymazanie"), PromptButtons::YesNo,
                       PromptIcon::Question})) {
        return false;
    }
    DeleteVariant(VariantSet{&db_, selectedType_}, selectedVariant_);
    if (!db_.lastOk) {
        Tell(prompts_, "Nie je možné vymazať variant zadania !!!", kDatabaseTitle, PromptIcon::Error);
        return false;
    }
    return true;
}

void VariantEditing::Retest(const RetestProgress& progress) {
    if (selectedVariant_.empty()) {
        return;
    }
    RetestSummary summary;
    switch (RetestVariant(db_, configPath_, selectedType_, selectedVariant_, progress, summary, launcher_)) {
    case RetestOutcome::ListUnreadable:
        Tell(prompts_, "Nie je možné načítať zoznam prijatých odovzdaní variantu !!!", kDatabaseTitle,
             PromptIcon::Error);
        return;
    case RetestOutcome::DaemonBusy:
        Tell(prompts_, "Preberanie zadaní práve testuje odovzdanie, skúste to o chvíľu znova.", "Testy",
             PromptIcon::Warning);
        return;
    case RetestOutcome::Done:
        break;
    }
    prompts_.Tell({RetestReport(summary), Cp1250Text("Testy"), PromptButtons::Ok, PromptIcon::Information});
}

void VariantEditing::FillVariants() {
    variants_.clear();
    selectedVariant_.clear();
    ClearFields();
    std::vector<std::string> names;
    if (!Variants(VariantSet{&db_, selectedType_}, names)) {
        Tell(prompts_, "Nie je možné načítať databázu variant !!!", kDatabaseTitle, PromptIcon::Error);
        return;
    }
    if (names.empty()) {
        Tell(prompts_, "Zadanie neobsahuje žiadny variant !!!", kEmptyTitle, PromptIcon::Warning);
        return;
    }
    std::sort(names.begin(), names.end());
    variants_ = std::move(names);
    SelectVariant(variants_.front());
}

void VariantEditing::ShowStorePaths() {
    const VariantSet set{&db_, selectedType_};
    for (VariantFileKind kind : kVariantFileKinds) {
        fields_[Index(kind)] = VariantFilePath(set, selectedVariant_, VariantFileExtension(kind));
    }
}

void VariantEditing::ClearFields() {
    for (std::string& field : fields_) {
        field.clear();
    }
}

} // namespace tarvel
