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

// A mutex of a plain name could be created first by anyone: only Wine, which has no private
// namespaces, gets one; on Windows a missing boundary descriptor is a failure of the lock.
TEST(RunLockPlaceTest, PlainNameOnlyUnderWine) {
    EXPECT_EQ(ChooseRunLockPlace(/*boundaryMade=*/true, ERROR_SUCCESS, /*wine=*/false),
              RunLockPlace::kPrivateNamespace);
    EXPECT_EQ(ChooseRunLockPlace(true, ERROR_SUCCESS, /*wine=*/true),
              RunLockPlace::kPrivateNamespace);
    for (const DWORD error :
         {static_cast<DWORD>(ERROR_SUCCESS), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED)}) {
        EXPECT_EQ(ChooseRunLockPlace(/*boundaryMade=*/false, error, /*wine=*/true),
                  RunLockPlace::kWineNamedMutex);
        EXPECT_EQ(ChooseRunLockPlace(false, error, /*wine=*/false), RunLockPlace::kNone);
    }
    EXPECT_EQ(ChooseRunLockPlace(false, ERROR_NOT_ENOUGH_MEMORY, /*wine=*/true),
              RunLockPlace::kNone);
}

}  // namespace
