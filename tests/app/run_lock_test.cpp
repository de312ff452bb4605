// The machine-wide run lock as a second run meets it. Another run is another thread here: a
// mutex belongs to a thread on Windows, and the Linux layer's to a handle.
#include "app/run_lock.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

RunLock::State StateOfAnotherRun(DWORD waitMilliseconds) {
    RunLock::State state = RunLock::State::kFailed;
    std::thread([&] {
        const RunLock lock(waitMilliseconds);
        state = lock.state();
    }).join();
    return state;
}

TEST(RunLockTest, SecondRunIsBusyWhileTheFirstHoldsItAndGetsItOnceReleased) {
    // The Linux layer keeps the lock file under this machine's run/.
    MachineTree machine;
    auto first = std::make_unique<RunLock>(/*waitMilliseconds=*/0);
    ASSERT_EQ(first->state(), RunLock::State::kHeld);
    EXPECT_EQ(StateOfAnotherRun(/*waitMilliseconds=*/50), RunLock::State::kBusy);
    first.reset();
    EXPECT_EQ(StateOfAnotherRun(/*waitMilliseconds=*/0), RunLock::State::kHeld);
}

}  // namespace
