// The program's entry: the start-up block, the helper modes, then the application with its main
// window.
#include "app/VTRequests.h"
#include "app/lxa/mac/MainDialog.h"
#include "lfw/ios/LThread.h"
#include "lfw/mac/cocoa/LAppDelegate.h"
#include "lfw/unix/LStartup.h"
#include "lfw/unix/LUnixProcess.h"
#include "lfw/zor/LCrashReport.h"
#include "lfw/zor/LInstaller.h"
#include "lfw/zor/LMainWindow.h"
#include "platform/desktop/Favourites.h"
#include "platform/system/System.h"

#include <cstring>

int main(int argc, char** argv)
{
    platform::system::SetUpAllocatorForLargeBlocks();
    LStartupDone();
    LThreadSetMainThread();
    LDebugCrashReportInstall();
    LUnixAppInitCommon(argc, argv);
    int exitCode = 0;
    if (LUnixAppRunHelperMode(gargc, gargv, exitCode))
        return exitCode;
    // "-elevated" with a value is a helper start that has nothing to do here; alone it is an
    // ordinary start.
    if (gargc >= 3 && std::strcmp(gargv[1], "-elevated") == 0)
        return 1;
    if (gargc == 2 && std::strcmp(gargv[1], "-elevated") == 0)
        gargc = 1;
    bInstallerShouldRun = gargc > 1 && std::strcmp(gargv[1], "-installer") == 0;
    // A later start hands its arguments to the running program and ends with its answer, before
    // anything of the toolkit (the display, the accessibility bus) is set up.
    if (LMainWindowForwardStart(gargc, gargv, VTRequestKeyTakesFile, exitCode))
        return exitCode;
    LMainWindowInstallApplicationHooks([]() -> LCocoaWindow* { return new MainDialog; });
    // The installation's last step: the program among the desktop's favourites.
    LAppDelegateHooksGet().addToDock
        = [](const char*) { platform::desktop::AddToFavourites("vorantel.desktop"); };
    LAppDelegate delegate;
    return delegate.Run(gargc, gargv);
}
