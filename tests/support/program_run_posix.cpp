#include "support/program_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

ProgramOutcome RunProgram(const std::string& arguments, const std::string& prefix,
                          const std::filesystem::path& program) {
    const std::string command = "TZ=UTC0 " + prefix + "'" + program.string() + "' " + arguments;
    ProgramOutcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot start " << command;
        return outcome;
    }
    std::array<char, 256> chunk{};
    std::size_t read = 0;
    while ((read = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        outcome.output.append(chunk.data(), read);
    }
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::filesystem::path SampleMachine(const char* name) {
    return std::filesystem::path(CELLKEEPER_SOURCE_DIR) / "examples" / "machines" / name;
}
