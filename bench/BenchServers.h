#pragma once
// A private Postfix and Dovecot of the benchmark's own, started with the test fixture's script in a directory
// of their own and stopped when the object goes.

#include "e2e/ServersEnv.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace tarvel::bench {

struct BenchServers : testing::MailServers {
    std::string dir;
    bool running = false;

    BenchServers() = default;
    BenchServers(const BenchServers&) = delete;
    BenchServers& operator=(const BenchServers&) = delete;
    ~BenchServers() {
        if (running) {
            std::system(("bash " + Script() + " stop " + dir + " >/dev/null").c_str());
        }
    }

    // False when the servers could not be started.
    bool Start(const std::string& name) {
        dir = "/tmp/tarvel-bench-" + name + "-" + std::to_string(::getpid());
        if (std::system(("bash " + Script() + " start " + dir).c_str()) != 0) {
            return false;
        }
        running = true;
        std::ifstream env(dir + "/servers.env");
        testing::ReadServersEnv(env, *this);
        return true;
    }

private:
    static std::string Script() { return std::string(TARVEL_SOURCE_DIR) + "/tests/e2e/mailservers.sh"; }
};

} // namespace tarvel::bench
