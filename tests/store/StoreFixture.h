#pragma once
// A database made from the installation's template in a temporary directory.

#include "store/Database.h"

#include "support/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel::testing {

class StoreTest : public ::testing::Test {
protected:
    StoreTest() : db(dir / "zor.ini") {
        std::filesystem::copy(SourceDir() + "/install/empty.db", dir / "db",
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(dir / "db/students");
        std::filesystem::create_directories(dir / "db/tasks");
        db.UsePath(dir / "db");
    }

    std::string File(std::string_view relative) const {
        return ReadBytes(dir / "db/" + std::string(relative));
    }
    void SetFile(std::string_view relative, std::string_view bytes) const {
        WriteBytes(dir / "db/" + std::string(relative), bytes);
    }

    TempDir dir;
    Database db;
};

} // namespace tarvel::testing
