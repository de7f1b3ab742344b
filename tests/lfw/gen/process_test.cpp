#include "lfw/gen/LProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// A parent interface that records what reaches it.
struct Recorder : LProcessInterfaceVoid {
    bool stop = false;
    std::string error;
    std::vector<std::pair<std::string, int>> status;
    std::vector<double> progress;
    int indeterminate = 0;

    bool IsToStop() override { return stop; }
    void SetError(const char* text) override { error = text; }
    void SetStatus(const char* text, int level) override { status.emplace_back(text, level); }
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    void SetProgressIndeterminateOn() override { ++indeterminate; }
};

// A job: counts items, asks for a stop after each, fails on a bad item.
struct CountJob {
    int items = 4;
    int bad = -1;
    int done = 0;
};

LProcessResult Process(LProcessInterface& process, CountJob& job)
{
    process.SetStatusF(0, "Räknar %d poster", job.items);
    for (int i = 0; i < job.items; ++i) {
        if (process.IsToStop())
            return LProcessResultStopped;
        if (i == job.bad) {
            process.SetErrorF("Post %d är trasig", i);
            return LProcessResultError;
        }
        ++job.done;
        process.SetProgress(static_cast<double>(i + 1) / job.items);
    }
    return LProcessResultSuccess;
}

// A job made of two steps, each a sub-job with its share of the progress bar.
struct TwoStepJob {
    CountJob first, second;
};

LProcessResult Process(LProcessInterface& process, TwoStepJob& job)
{
    process.SetStatus("Två steg", 0);
    LProcessInterfaceSubProcess firstStep(process, 0.0, 0.5);
    if (LProcessResult r = Process(firstStep, job.first); r != LProcessResultSuccess)
        return r;
    LProcessInterfaceSubProcess secondStep(process, 0.5, 0.5);
    return Process(secondStep, job.second);
}

} // namespace

TEST(Jobs, SuccessStopAndErrorResults)
{
    Recorder ui;
    CountJob job;
    EXPECT_EQ(Process(ui, job), LProcessResultSuccess);
    EXPECT_EQ(job.done, 4);
    EXPECT_EQ(ui.progress.back(), 1.0);
    ASSERT_EQ(ui.status.size(), 1u);
    EXPECT_EQ(ui.status[0], (std::pair<std::string, int>("Räknar 4 poster", 0)));

    Recorder stopping;
    stopping.stop = true;
    CountJob stopped;
    EXPECT_EQ(Process(stopping, stopped), LProcessResultStopped);
    EXPECT_EQ(stopped.done, 0);

    Recorder failing;
    CountJob broken;
    broken.bad = 2;
    EXPECT_EQ(Process(failing, broken), LProcessResultError);
    EXPECT_EQ(failing.error, "Post 2 är trasig"); // set before the 2 came back
}

TEST(Jobs, SubProcessesMapProgressAndNestStatus)
{
    Recorder ui;
    TwoStepJob job;
    EXPECT_EQ(Process(ui, job), LProcessResultSuccess);
    ASSERT_EQ(ui.progress.size(), 8u);
    EXPECT_DOUBLE_EQ(ui.progress[0], 0.125);
    EXPECT_DOUBLE_EQ(ui.progress[3], 0.5);
    EXPECT_DOUBLE_EQ(ui.progress[4], 0.625);
    EXPECT_DOUBLE_EQ(ui.progress[7], 1.0);
    ASSERT_EQ(ui.status.size(), 3u);
    EXPECT_EQ(ui.status[0].second, 0);
    EXPECT_EQ(ui.status[1].second, 1); // the sub-jobs' level-0 lines, one deeper
    EXPECT_EQ(ui.status[2].second, 1);

    // A stop request reaches the sub-job through the nesting; an error text comes back up.
    Recorder stopping;
    stopping.stop = true;
    TwoStepJob stopped;
    EXPECT_EQ(Process(stopping, stopped), LProcessResultStopped);
    Recorder failing;
    TwoStepJob broken;
    broken.second.bad = 1;
    EXPECT_EQ(Process(failing, broken), LProcessResultError);
    EXPECT_EQ(failing.error, "Post 1 är trasig");
}

TEST(Jobs, TheVariantsForwardExactlyWhatTheyShould)
{
    Recorder ui;
    LProcessInterfaceSubProcess sub(ui, 0.5, 0.25);
    sub.SetProgress(1.0);
    sub.SetStatus("x", 0);
    sub.SetProgressIndeterminateOn(); // the parent's business: not forwarded
    EXPECT_DOUBLE_EQ(ui.progress.back(), 0.75);
    EXPECT_EQ(ui.status.back().second, 1);
    EXPECT_EQ(ui.indeterminate, 0);

    LProcessInterfaceQueueItem item(ui, 0.5, 0.25);
    item.SetStatus("y", 0);
    item.SetProgress(0.0);
    EXPECT_EQ(ui.status.back().second, 0); // a queue item keeps the level
    EXPECT_DOUBLE_EQ(ui.progress.back(), 0.5);

    // Nested sub-processes add up.
    LProcessInterfaceSubProcess inner(sub, 0.0, 0.5);
    inner.SetStatus("z", 0);
    inner.SetProgress(1.0);
    EXPECT_EQ(ui.status.back().second, 2);
    EXPECT_DOUBLE_EQ(ui.progress.back(), 0.625);

    LProcessInterfaceNested nested(ui);
    nested.SetStatus("w", 0); // only control operations and errors are forwarded
    nested.SetError("fel");
    EXPECT_EQ(ui.status.back().first, "z");
    EXPECT_EQ(ui.error, "fel");
    ui.stop = true;
    EXPECT_TRUE(nested.IsToStop());
    EXPECT_TRUE(inner.IsToStop());
}

TEST(Jobs, FormattedTextsAreCutToTheBuffer)
{
    Recorder ui;
    std::string longText(10000, 'e');
    ui.SetErrorF("%s", longText.c_str());
    EXPECT_EQ(ui.error.size(), 8191u);
    ui.SetStatusF(3, "%d%%", 50);
    EXPECT_EQ(ui.status.back(), (std::pair<std::string, int>("50%", 3)));
}

TEST(Jobs, VoidInterfaceWaitsAndNeverStops)
{
    LProcessInterfaceVoid quiet;
    EXPECT_FALSE(quiet.IsToStop());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(quiet.ProcessWait(50), LProcessResultSuccess);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

    LSignalObject signal;
    EXPECT_EQ(quiet.ProcessWaitSignal(signal, 10), LProcessResultTimeOut);
    signal.Signal();
    EXPECT_EQ(quiet.ProcessWaitSignal(signal, 1000), LProcessResultSignaled);

    LSignalObjectGroup empty;
    EXPECT_EQ(quiet.ProcessWaitSignalObjectGroup(empty, 1000), LProcessResultTimeOut);
    LSignalObject other;
    LSignalObjectGroup group;
    group.Add(other);
    EXPECT_EQ(quiet.ProcessWaitSignalObjectGroup(group, 10), LProcessResultTimeOut);
    group.Add(signal);
    EXPECT_EQ(quiet.ProcessWaitSignalObjectGroupForever(group), LProcessResultSignaled);
    EXPECT_EQ(quiet.ProcessWaitSignalForever(signal), LProcessResultSignaled);
    // Reporting goes nowhere.
    quiet.SetError("x");
    quiet.SetStatus("x", 0);
    quiet.SetProgress(0.5);
}
