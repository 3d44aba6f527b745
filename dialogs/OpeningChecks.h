#pragma once
// What the administration menu commands check before their dialog opens: the lists the dialog needs must be
// readable and not empty. A failed check has told the teacher why (a box without an owner window).

#include "shell/Commands.h"
#include "shell/Prompts.h"
#include "store/Database.h"

namespace tarvel {

// True when the dialog of the command may open. "Editovanie" of the students also seeds the generator with
// the current time, for the reassignment its dialog offers. Commands without checks always pass.
bool ReadyToOpen(CommandId command, Database& db, Prompts& prompts);

} // namespace tarvel
