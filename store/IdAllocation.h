#pragma once

#include "store/Database.h"

#include <string>

namespace tarvel {

// Takes the next id from the counter "id" of section "id" of the record file and advances the counter, in one
// locked rewrite. A missing counter (or one reading -1) allocates nothing: id becomes "error" and the result
// is false. Does not set lastOk.
bool AllocateId(Database& db, const std::string& file, std::string& id);

} // namespace tarvel
