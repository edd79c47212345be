// Running the `vantel` command as a person does, for the command tests: its status,
// standard output and standard error, and files made for a test that go when it ends.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Files the tests make, removed when the process ends. CTest runs tests in parallel
// processes: names carry the process id.
inline std::vector<std::string>& madeFiles() {
    static std::vector<std::string> files;
    return files;
}

struct RemoveMadeFiles : testing::Environment {
    void TearDown() override {
        for (const std::string& f : madeFiles()) std::remove(f.c_str());
    }
};
inline const testing::Environment* const removeMadeFiles = testing::AddGlobalTestEnvironment(new RemoveMadeFiles);

inline std::string temp(const std::string& name) {
    madeFiles().push_back(testing::TempDir() + "vantel-test-" + std::to_string(getpid()) + "-" + name);
    return madeFiles().back();
}

struct CommandResult {
    int status = -1;
    std::string out, err;
};

inline std::string quoted(const std::string& s) { return "'" + s + "'"; }

inline CommandResult vantel(const std::string& args) {
    static int counter = 0;
    const std::string errFile = temp("stderr-" + std::to_string(++counter) + ".txt");
    const std::string command = "VANTEL_PLUGIN=" + quoted(VANTEL_PLUGIN_FILE) + " " + quoted(VANTEL_COMMAND) + " " +
                                args + " 2>" + quoted(errFile);
    CommandResult run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return run;
}

inline bool exists(const std::string& path) { return std::ifstream(path).good(); }
