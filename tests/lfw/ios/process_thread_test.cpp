#include "lfw/ios/LEventQueue.h"
#include "lfw/ios/LProcessThread.h"
#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Stands in for a progress dialog: waits keep the main loop turning, reports are recorded (with
// the thread they arrive on), and a stop can be requested.
class DialogLike : public LProcessInterface {
public:
    bool stop = false;
    std::vector<std::string> reports;
    bool allOnMain = true;
    std::function<void(const std::string&)> onReport;

    bool IsToStop() override
    {
        LMacDispatchEvents();
        return stop;
    }
    LProcessResult ProcessWait(unsigned int ms) override
    {
        LEventQueueRunUntilStopConditionOrTimeout([this] { return stop; }, true, ms);
        return stop ? LProcessResultStopped : LProcessResultSuccess;
    }
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override
    {
        return LProcessResult(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
            signal, [this] { return stop; }, ms != LSIGNAL_WAIT_FOREVER, ms));
    }
    LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms) override
    {
        return LProcessResult(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(
            group, [this] { return stop; }, ms != LSIGNAL_WAIT_FOREVER, ms));
    }
    void SetError(const char* text) override { Add(std::string("error:") + text); }
    void SetStatus(const char* text, int level) override
    {
        Add("status" + std::to_string(level) + ":" + text);
    }
    void SetProgress(double fraction) override { Add("progress:" + std::to_string(fraction)); }
    void SetProgressIndeterminateOn() override { Add("indeterminate:on"); }
    void SetProgressIndeterminateOff() override { Add("indeterminate:off"); }

private:
    void Add(const std::string& report)
    {
        allOnMain = allOnMain && LRunLoop::IsMainThread();
        reports.push_back(report);
        if (onReport)
            onReport(report);
    }
};

struct ReportingJob {
    std::string status = "Läser bilden";
    bool fail = false;
    bool ranOnWorker = false;
};

LProcessResult Process(LProcessInterface& iface, ReportingJob& job)
{
    job.ranOnWorker = !LRunLoop::IsMainThread();
    iface.SetStatus(job.status.c_str(), 0);
    iface.SetProgressIndeterminateOn();
    iface.SetProgressIndeterminateOff();
    for (int i = 1; i <= 4; ++i) {
        if (iface.ProcessWait(5) == LProcessResultStopped)
            return LProcessResultStopped;
        iface.SetProgress(i / 4.0);
    }
    if (job.fail) {
        iface.SetErrorF("Filen %s kunde inte läsas.", "bild.png");
        return LProcessResultError;
    }
    return LProcessResultSuccess;
}

// Reports until it is stopped, however long that takes.
struct EndlessJob {
    std::atomic<int> reportsAfterStop { 0 };
};

LProcessResult Process(LProcessInterface& iface, EndlessJob& job)
{
    for (int i = 0;; ++i) {
        iface.SetProgress(0.5);
        if (iface.ProcessWait(2) == LProcessResultStopped) {
            iface.SetStatus("efter stopp", 0);
            ++job.reportsAfterStop;
            // Finishing "successfully" does not change the result: the user stopped it.
            return LProcessResultSuccess;
        }
    }
}

} // namespace

TEST(ProcessThread, ReportsFromTheWorkerAreAppliedOnTheMainThreadInOrder)
{
    DialogLike dialog;
    ReportingJob job;
    LProcessThreadData<ReportingJob> data(job);
    EXPECT_EQ(Process(dialog, data), LProcessResultSuccess);
    EXPECT_TRUE(job.ranOnWorker);
    EXPECT_TRUE(dialog.allOnMain);
    std::vector<std::string> expected { "status0:Läser bilden", "indeterminate:on",
        "indeterminate:off", "progress:0.250000", "progress:0.500000", "progress:0.750000",
        "progress:1.000000" };
    EXPECT_EQ(dialog.reports, expected);
}

TEST(ProcessThread, TheErrorTextReachesTheCallerWhole)
{
    DialogLike dialog;
    ReportingJob job;
    job.fail = true;
    job.status = std::string(300, 's');
    LProcessThreadData<ReportingJob> data(job);
    EXPECT_EQ(Process(dialog, data), LProcessResultError);
    ASSERT_FALSE(dialog.reports.empty());
    EXPECT_EQ(dialog.reports.back(), "error:Filen bild.png kunde inte läsas.");
    // A status line is cut to 259 bytes.
    EXPECT_EQ(dialog.reports.front(), "status0:" + std::string(259, 's'));
}

TEST(ProcessThread, AStopRequestEndsTheJobWithOneAndTheWaitingText)
{
    DialogLike dialog;
    // The user presses stop once the job has shown some progress.
    int progressSeen = 0;
    dialog.onReport = [&](const std::string& report) {
        if (report.rfind("progress:", 0) == 0 && ++progressSeen == 3)
            dialog.stop = true;
    };
    EndlessJob job;
    LProcessThreadData<EndlessJob> data(job);
    EXPECT_EQ(Process(dialog, data), LProcessResultStopped);
    EXPECT_EQ(job.reportsAfterStop, 1);
    ASSERT_FALSE(dialog.reports.empty());
    size_t waiting = 0;
    for (size_t i = 0; i < dialog.reports.size(); ++i)
        if (dialog.reports[i] == "status0:Väntar på att processen ska stoppas")
            waiting = i + 1;
    ASSERT_NE(waiting, 0u);
    // Nothing the job reported after the stop request was shown.
    for (const auto& report : dialog.reports)
        EXPECT_NE(report, "status0:efter stopp");
    // Its queued reports stay unapplied after the runner returned.
    size_t count = dialog.reports.size();
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 30);
    EXPECT_EQ(dialog.reports.size(), count);
}

TEST(ProcessThread, RunsUnderASilentInterfaceToo)
{
    LProcessInterfaceVoid silent;
    ReportingJob job;
    LProcessThreadData<ReportingJob> data(job);
    EXPECT_EQ(Process(silent, data), LProcessResultSuccess);
    job.fail = true;
    EXPECT_EQ(Process(silent, data), LProcessResultError);
}

// A job started without waiting: the call returns while the job runs, its reports reach the
// parent on the main thread in order, and the end is told after the last of them, once.
TEST(ProcessThread, AStartedJobIsToldOfAfterItsLastReport)
{
    DialogLike dialog;
    ReportingJob job;
    job.fail = true;
    LProcessThread thread(
        dialog,
        [](LProcessInterface& iface, void* data) {
            return Process(iface, *static_cast<ReportingJob*>(data));
        },
        &job);
    int finished = 0;
    LProcessResult result = LProcessResultSuccess;
    size_t reportsWhenFinished = 0;
    ASSERT_TRUE(thread.Start([&](LProcessResult r) {
        ++finished;
        result = r;
        reportsWhenFinished = dialog.reports.size();
    }));
    EXPECT_TRUE(thread.IsStarted());
    EXPECT_EQ(finished, 0) << "told of before the loop turned";
    LEventQueueRunUntilStopConditionOrTimeout([&] { return finished > 0; }, true, 10000);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(thread.IsStarted());
    EXPECT_EQ(result, LProcessResultError);
    EXPECT_TRUE(job.ranOnWorker);
    EXPECT_TRUE(dialog.allOnMain);
    ASSERT_EQ(dialog.reports.size(), 8u);
    EXPECT_EQ(reportsWhenFinished, dialog.reports.size());
    EXPECT_EQ(dialog.reports.back(), "error:Filen bild.png kunde inte läsas.");
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 30);
    EXPECT_EQ(finished, 1);
}

// Stopped by whoever started it: the end is told with 1, what the job reported after the stop is
// not applied, and the object may go in the call that tells the end.
TEST(ProcessThread, AStartedJobStopsAndMayBeDestroyedWhenTold)
{
    DialogLike dialog;
    EndlessJob job;
    auto thread = std::make_unique<LProcessThread>(
        dialog,
        [](LProcessInterface& iface, void* data) {
            return Process(iface, *static_cast<EndlessJob*>(data));
        },
        &job);
    bool done = false;
    LProcessResult result = LProcessResultSuccess;
    ASSERT_TRUE(thread->Start([&](LProcessResult r) {
        result = r;
        thread.reset();
        done = true;
    }));
    LEventQueueRunUntilStopConditionOrTimeout([&] { return !dialog.reports.empty(); }, true, 10000);
    thread->StopThreadSoon();
    LEventQueueRunUntilStopConditionOrTimeout([&] { return done; }, true, 10000);
    EXPECT_TRUE(done);
    EXPECT_EQ(result, LProcessResultStopped);
    EXPECT_EQ(job.reportsAfterStop, 1);
    for (const auto& report : dialog.reports)
        EXPECT_NE(report, "status0:efter stopp");
}

// Work waited for with the loop turning: it runs on a worker, what was posted meanwhile runs on
// the main thread before it returns, and on a worker thread the job simply runs.
TEST(ProcessThread, WorkWaitedForWhileTheLoopTurns)
{
    ReportingJob job;
    bool posted = false;
    LRunLoop::Post([&] { posted = true; });
    EXPECT_EQ(LProcessRunWhileLoopTurns(job), LProcessResultSuccess);
    EXPECT_TRUE(job.ranOnWorker);
    EXPECT_TRUE(posted);
    job.fail = true;
    EXPECT_EQ(LProcessRunWhileLoopTurns(job), LProcessResultError);

    ReportingJob inner;
    std::thread other([&] { EXPECT_EQ(LProcessRunWhileLoopTurns(inner), LProcessResultSuccess); });
    other.join();
    EXPECT_TRUE(inner.ranOnWorker);
}
