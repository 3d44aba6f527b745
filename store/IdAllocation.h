#pragma once

#include "store/Database.h"

#include <string>

namespace tarvel {

// Takes the next id from the counter "id" of section "id" of the record file and advances the counter, in one
// locked rewrite. A missing counter (or one reading -1 or 2147483647, which has no next value) allocates
// nothing: id becomes "error", the result is false and the file is untouched. The counter keeps the key as
// the file spells it. Does not set lastOk.
bool AllocateId(Database& db, const std::string& file, std::string& id);

} // namespace tarvel
