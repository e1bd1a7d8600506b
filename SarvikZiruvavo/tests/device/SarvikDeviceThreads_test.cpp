// The direct calls that the owner's thread makes into a worker while the
// worker's own thread opens and closes the connection: each must find the
// connection either whole or gone, never being deleted. The address sanitizer
// build turns a call that meets a deleted connection into a failure.
#include "device/SarvikDevice.hpp"
#include "support/WorkerHarness.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

TEST(SarvikDeviceThreadsTest, OwnersDirectCallsNeverMeetAConnectionBeingClosed)
{
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    SarvikDevice& worker = fixture.worker();
    const SarvikDeviceInfo info
        = moduleRecord(SarvikDeviceInfo::DaxDevice, QString::fromStdString(fixture.module().pty_path()));
    constexpr int rounds = 60;
    for (int round = 0; round < rounds; ++round) {
        ASSERT_TRUE(fixture.thread().post("deleteCrashDumpOnModule"));
        ASSERT_TRUE(fixture.thread().post("close"));
    }
    std::atomic_bool done { false };
    QMetaObject::invokeMethod(
        &worker, [&done] { done = true; }, Qt::QueuedConnection);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int opened = 0;
    int calls = 0;
    while (!done && std::chrono::steady_clock::now() < deadline) {
        worker.setupRecordingErrorCallback();
        worker.clearRecordingErrorCallback();
        opened += worker.isOpen() ? 1 : 0;
        worker.lastError().size();
        worker.setDeviceInfo(info);
        ++calls;
    }
    ASSERT_TRUE(done) << "the worker did not get through its rounds";
    EXPECT_FALSE(worker.isOpen());
    EXPECT_GT(calls, rounds);
    // Every round opened and closed the module: a ping and a deletion, and the frame rate set to 0.
    EXPECT_EQ(size_t(3 * rounds), fixture.module().received_count());
    RecordProperty("callsWhileOpen", opened);
}

} // namespace
