#include "evaluation/ResultLines.h"

#include "analysis/StyleMetrics.h"
#include "platform/Cp1250.h"
#include "runner/RunResult.h"

namespace tarvel {

std::string TestOutcomeLine(int code) {
    switch (code) {
    case kRunPassed:
        return Cp1250Text("Zadanie je funkčné");
    case kRunNothingToBuild:
        return Cp1250Text("Chýba zdrojový súbor alebo projekt na preklad");
    case kRunBuildFailed:
        return Cp1250Text("Program sa nedá preložiť");
    case kRunBuildNotStarted:
        return Cp1250Text("Prekladač sa nepodarilo spustiť");
    case kRunNoSandbox:
        return Cp1250Text("Program nebol otestovaný: chýba bezpečné prostredie");
    case kRunOutputMismatch:
        return Cp1250Text("Výstup programu nezodpovedá vzoru");
    case kRunProgramNotStarted:
        return Cp1250Text("Program sa nepodarilo spustiť");
    case kRunInputUnavailable:
        return Cp1250Text("Vstup testu sa nedá použiť");
    case kRunPatternUnavailable:
        return Cp1250Text("Vzorový výstup sa nedá otvoriť");
    case kRunPatternBroken:
        return Cp1250Text("Vzorový výstup je chybný");
    default:
        return Cp1250Text("Neznámy výsledok testov (kód ") + std::to_string(code) + ")";
    }
}

std::optional<int> StoredTestCode(Database& db, const std::string& studentId, const std::string& task) {
    int code = 0;
    if (!ResultSection(db, studentId, task).ReadInt(kTestResultKey, code)) {
        return std::nullopt;
    }
    return code;
}

std::vector<std::string> ResultLines(const ResultRecord& result, std::optional<int> testCode) {
    std::vector<std::string> lines;
    if (testCode) {
        lines.push_back(TestOutcomeLine(*testCode));
    }
    if (result.vlGoto != 0) {
        lines.push_back(Cp1250Text("Použitý príkaz GOTO!"));
    }
    if (result.vlBreak != 0) {
        lines.push_back(Cp1250Text("Použité BREAK mimo príkazu CASE!"));
    }
    if (result.vlDynamickePremenne != 0) {
        lines.push_back(Cp1250Text("Použité dynamické premenné"));
    }
    lines.push_back(Cp1250Text("Pomer komentárov v kóde: ") + std::to_string(result.vlPercentoKomentarov) +
                    "%");
    lines.push_back(Cp1250Text("Najdlhšia funkcia má ") + std::to_string(result.vlMaxDlzkaFunkcie) +
                    Cp1250Text(" riadkov"));
    lines.push_back(Cp1250Text("Funkcie majú v priemere ") + std::to_string(result.vlPriemernaDlzkaFunkcie) +
                    Cp1250Text(" riadkov"));
    if (const std::optional<int> fulfilment = StyleFulfilment(result)) {
        lines.push_back(Cp1250Text("Splnenie požiadaviek štýlu: ") + std::to_string(*fulfilment) + "%");
    }
    return lines;
}

} // namespace tarvel
