#pragma once
// The variant dialogs "Pridanie variantu zadania" and "Editovanie variantu zadania": the add button as a
// function of the fields, the "..." file pickers of both, and the edit dialog's model, which shows a
// variant's three files, replaces them, opens them in the configured editor, deletes the variant and tests
// its accepted submissions again. Texts are Windows-1250; paths are file-system bytes.

#include "evaluation/VariantRetest.h"
#include "platform/ChildProcess.h"
#include "shell/Prompts.h"
#include "store/Database.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarvel {

// The three files of a variant, in the order of the dialogs' fields.
enum class VariantFileKind { Text, Input, Output };
inline constexpr std::array kVariantFileKinds{VariantFileKind::Text, VariantFileKind::Input,
                                              VariantFileKind::Output};

// "TXT", "IN" or "OUT", as the dialogs name the variant's files.
const char* VariantFileExtension(VariantFileKind kind);

// The longest variant name whose files can be named: "t<T>m<V>.acc" within a file name's 255 bytes.
inline constexpr std::size_t kMaxVariantNameBytes = 248;

// The dialog's rule for a new variant name, stricter than the store's IsValidVariantName: the name must also
// be usable as the key it becomes and in the names of its files, so it holds no "*" or "?" (a deletion of its
// files would take other variants' files with them), neither begins nor ends with a blank (the record file
// trims keys, so key and file names would differ) and fits kMaxVariantNameBytes.
bool IsAcceptableVariantName(const std::string& variant);

// "...": the open-file picker for a field, starting at the field's text. The chosen path, or nullopt when the
// teacher cancelled (the field then stays).
std::optional<std::string> ChooseVariantFile(Prompts& prompts, VariantFileKind kind,
                                             const std::string& fieldText);

// "Pridať" of "Pridanie variantu zadania": refuses a variant name that the task type already has (letter case
// aside, as the store looks names up), an empty one and one that IsAcceptableVariantName refuses, each with a
// box and without writing anything; otherwise registers the variant and copies the three chosen files over
// its template files (an empty path keeps the template). A failure to register or to copy a chosen file is
// told. True when the dialog is to close.
bool AddVariantFromFields(Database& db, Prompts& prompts, const std::string& taskType,
                          const std::string& variant, const std::string& txtPath, const std::string& inPath,
                          const std::string& outPath);

// "Editovanie variantu zadania". The selected type and variant are identified by their text; the lists are
// sorted in byte order.
class VariantEditing {
public:
    // The editor is read from the configuration at configPath at each use; the launcher starts it and waits,
    // and runs the compiler and the students' programs of a re-test.
    VariantEditing(Database& db, Prompts& prompts, std::string configPath,
                   ProcessLauncher launcher = RunChild);

    // Fills the type list, selects the first type and fills its variant list. False when there is no type.
    bool Open();
    // Selects a listed type and fills its variant list; the first variant is selected and its files shown.
    // Tells when the list cannot be read or is empty.
    void SelectType(const std::string& name);
    // Selects a listed variant and shows the store paths of its files.
    void SelectVariant(const std::string& name);

    const std::vector<std::string>& TaskTypeNames() const { return taskTypes_; }
    const std::string& SelectedType() const { return selectedType_; }
    const std::vector<std::string>& VariantNames() const { return variants_; }
    const std::string& SelectedVariant() const { return selectedVariant_; }
    // The text of the field: the store path of the selected variant's file, or the source path that last
    // replaced it.
    const std::string& Field(VariantFileKind kind) const { return fields_[Index(kind)]; }

    // "...": lets the teacher choose a file, which the field then shows and which is copied over the selected
    // variant's file of that kind.
    void ReplaceFile(VariantFileKind kind);
    // "&Editovať": opens the field's file in the configured editor and waits until the editor ends. An empty
    // field does nothing; an editor that cannot be started is told.
    void Edit(VariantFileKind kind);
    // "Vymazať": asks, then deletes the selected variant with its files. True when the dialog is to close.
    bool Delete();
    // "Znovu otestovať": builds and tests every accepted submission of the selected variant again
    // (RetestVariant, each step told to `progress`), then tells how many passed before and after, or that
    // the accepted list cannot be read. Nothing without a selected variant.
    void Retest(const RetestProgress& progress);

private:
    static std::size_t Index(VariantFileKind kind) { return static_cast<std::size_t>(kind); }
    void FillVariants();
    void ShowStorePaths();
    void ClearFields();

    Database& db_;
    Prompts& prompts_;
    std::string configPath_;
    ProcessLauncher launcher_;
    std::vector<std::string> taskTypes_;
    std::string selectedType_;
    std::vector<std::string> variants_;
    std::string selectedVariant_;
    std::array<std::string, kVariantFileKinds.size()> fields_;
};

} // namespace tarvel
