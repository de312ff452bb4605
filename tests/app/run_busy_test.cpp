// A run that finds another run holding the lock ends with the platform's "try again" code, which
// deployment tools retry, not with the code of a broken run. Another run is another thread.
#include "app/run.h"
#include "app/run_lock.h"
#include "base/console.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

#ifdef _WIN32
constexpr int kExpectedBusy = 1618;  // ERROR_INSTALL_ALREADY_RUNNING
#else
constexpr int kExpectedBusy = 75;  // EX_TEMPFAIL
#endif

TEST(RunBusyTest, AnotherRunHoldingTheLockGivesThePlatformsRetryCode) {
    MachineTree machine;
    std::string output;
    std::string* const previous = SetConsoleSink(&output);
    const RunLock held(/*waitMilliseconds=*/0);
    ASSERT_EQ(held.state(), RunLock::State::kHeld);
    int exitCode = -1;
    std::thread([&] {
        const wchar_t* arguments[] = {L"cellkeeper-patch"};
        exitCode = RunCellkeeperPatch(1, arguments, /*lockWaitMilliseconds=*/50);
    }).join();
    SetConsoleSink(previous);
    EXPECT_EQ(exitCode, kExpectedBusy);
    EXPECT_NE(output.find("FATAL ERROR: Another run of the patch is in progress"),
              std::string::npos)
        << output;
    EXPECT_EQ(BusyExitCode(), kExpectedBusy);
}

}  // namespace
