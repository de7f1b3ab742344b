#include "lfw/zor/LZORHooks.h"

#include <atomic>

namespace {
std::atomic<LZORAlertFunction> gAlert { nullptr };
std::atomic<LZORRunJobFunction> gRunJob { nullptr };
} // namespace

void LZORSetAlertFunction(LZORAlertFunction function)
{
    gAlert = function;
}

int LZORAlert(
    int kind, const char* title, const char* text, const char* const* buttons, int buttonCount)
{
    LZORAlertFunction f = gAlert.load();
    return f ? f(kind, title, text, buttons, buttonCount) : -1;
}

void LZORSetRunJobFunction(LZORRunJobFunction function)
{
    gRunJob = function;
}

LProcessResult LZORRunJob(const char* title, const LZORJob& job)
{
    if (LZORRunJobFunction f = gRunJob.load())
        return f(title, job);
    LProcessInterfaceVoid quiet;
    return job(quiet);
}
