#include "lfw/unix/LStartup.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LLocale.h"
#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/unix/LDebugSignal.h"
#include "lfw/unix/LHangDetector.h"

#include <csignal>

// The globals of the block, constructed in this order (definition order within this file) and
// destroyed in the reverse order at exit.
LHangDetector gLHangDetector;
LLockObject loDebugThreads;
uint32_t gwDebugCurrentCommand = 0;
uint32_t gwDebugLastCommand = 0;

namespace {

constexpr size_t kLStartupCommandCountRecords = 64;

void _LInstall(int signal, void (*handler)(int, siginfo_t*, void*))
{
    struct sigaction action = {};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO;
    sigfillset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

void _LIgnore(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    action.sa_flags = SA_RESTART;
    sigfillset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

class LStartupBlock {
public:
    LStartupBlock()
    {
        gwDebugCurrentCommand = 1;
        gwDebugLastCommand = 0;

        _LIgnore(SIGPIPE);
        for (int signal : { SIGQUIT, SIGILL, SIGFPE, SIGSEGV, SIGBUS })
            _LInstall(signal, LDebugSignalHandler);
        _LInstall(SIGINT, LIntTermSignalHandler);
        _LInstall(SIGTERM, LIntTermSignalHandler);

        char logs[kLPathSize];
        LFile::GetUserDataFolderAppSubFolder("Logs", logs);

        // LPaperSizeArray is constant data: filled when the program is loaded.

        LSettingSetMeasurementUnitDefault(LLocaleIsMetric() ? 0 : 1);

        // The command counts: 64 zeroed records (a command id of 0 ends the used part). The
        // vector is constant-initialised, so it stands before this block whatever the order of
        // the files' initialisation.
        CmdCounts.SetArrayCapacity(kLStartupCommandCountRecords);
        CmdCounts.SetSize(kLStartupCommandCountRecords);
        fDone = true;
    }
    bool fDone = false;
};

LStartupBlock gStartupBlock;

} // namespace

bool LStartupDone()
{
    return gStartupBlock.fDone;
}
