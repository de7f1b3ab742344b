// The program's entry: the start-up block, the helper modes, then the application with its main
// window. The application's own main dialog replaces the plain main window below once it exists.
#include "lfw/ios/LThread.h"
#include "lfw/mac/cocoa/LAppDelegate.h"
#include "lfw/unix/LStartup.h"
#include "lfw/unix/LUnixProcess.h"
#include "lfw/zor/LCrashReport.h"
#include "lfw/zor/LInstaller.h"
#include "lfw/zor/LMainWindow.h"

#include <cstring>

namespace {

class VTMainWindow : public LMainWindow {
public:
    void CmSettings() override { }
    void EvLoadFile(const char*) override { }
    int EvAPICommand(int, const char* const*, char* reply) override
    {
        reply[0] = 0;
        return 0;
    }
};

} // namespace

int main(int argc, char** argv)
{
    LStartupDone();
    LThreadSetMainThread();
    LDebugCrashReportInstall();
    LUnixAppInitCommon(argc, argv);
    int exitCode = 0;
    if (LUnixAppRunHelperMode(gargc, gargv, exitCode))
        return exitCode;
    bInstallerShouldRun = gargc > 1 && std::strcmp(gargv[1], "-installer") == 0;
    LMainWindowInstallApplicationHooks([]() -> LCocoaWindow* { return new VTMainWindow; });
    LAppDelegate delegate;
    return delegate.Run(gargc, gargv);
}
