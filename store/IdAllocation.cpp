#include "store/IdAllocation.h"

#include "platform/Profile.h"

#include <climits>

namespace tarvel {

bool AllocateId(Database& db, const std::string& file, std::string& id) {
    int counter = -1;
    const bool ok = EditProfile(db.AbsolutePath(file), db.LockPath(), [&](ProfileDocument& document) {
        const auto value = document.Get("id", "id");
        counter = value ? ParseProfileInt(*value) : -1;
        // The largest int cannot be handed out: the counter would have no next value.
        return counter != -1 && counter != INT_MAX && document.Set("id", "id", std::to_string(counter + 1));
    });
    id = ok ? std::to_string(counter) : "error";
    return ok;
}

} // namespace tarvel
