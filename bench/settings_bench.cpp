// Costs of the main loop's queue and of the settings store.
#include "bench/BenchSupport.h"
#include "lfw/gen/LSignalObject.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/ios/LEventQueue.h"
#include "platform/ui/LRunLoop.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Posting a batch of functions and dispatching them on the main thread.
void BM_PostAndDispatch(benchmark::State& state)
{
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        int done = 0;
        for (int i = 0; i < batch; ++i)
            LRunLoop::Post([&done] { ++done; });
        while (done < batch)
            LRunLoop::RunOnce(true);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostAndDispatch)->Arg(1)->Arg(1000);

// A main-thread wait on a signal that is already set.
void BM_WaitOnSetSignal(benchmark::State& state)
{
    LSignalObject signal;
    signal.Signal();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            LEventQueueRunUntilSignalOrStopConditionOrTimeout(signal, {}, true, 1000));
}
BENCHMARK(BM_WaitOnSetSignal);

struct ConfigFolder {
    ConfigFolder()
    {
        std::string pattern = benchsupport::TemporaryFolder() + "/vt-bench-XXXXXX";
        path = mkdtemp(pattern.data());
        setenv("XDG_CONFIG_HOME", path.c_str(), 1);
        for (int i = 0; i < 100; ++i)
            LUserSettingSetString("Settings", ("Key" + std::to_string(i)).c_str(), "42");
    }
    ~ConfigFolder() { system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

// Reading a value: the store checks whether the file changed, then looks the key up.
void BM_SettingRead(benchmark::State& state)
{
    static ConfigFolder folder;
    for (auto _ : state)
        benchmark::DoNotOptimize(LUserSettingGet<int>("Settings", "Key57", 0));
}
BENCHMARK(BM_SettingRead);

// Writing a value: read afresh under the lock, write a temporary file, flush it, rename it.
void BM_SettingWrite(benchmark::State& state)
{
    static ConfigFolder folder;
    int i = 0;
    for (auto _ : state)
        LUserSettingSetString("Settings", "Counter", std::to_string(++i).c_str());
}
BENCHMARK(BM_SettingWrite)->Unit(benchmark::kMillisecond);

} // namespace
