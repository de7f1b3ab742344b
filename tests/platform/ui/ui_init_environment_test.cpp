// Starting the toolkit changes the environment only while the process has one thread: the C
// library's setenv and unsetenv may move the variables under another thread's getenv (the
// font and library loading that starts alongside reads them), which can crash a start now and
// then. Every change of this program's setenv and unsetenv is recorded with the number of
// threads there were when it was made (the test's own definitions come before the C library's
// for every caller, GLib's and GTK's too).
#include "platform/ui/LUiSystem.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

struct Change {
    std::string name;
    int threads;
};

std::vector<Change>& Changes()
{
    static std::vector<Change> changes;
    return changes;
}

int Threads()
{
    int n = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* e = readdir(tasks))
            n += e->d_name[0] != '.';
        closedir(tasks);
    }
    return n;
}

} // namespace

extern "C" int setenv(const char* name, const char* value, int overwrite)
{
    static auto real = reinterpret_cast<int (*)(const char*, const char*, int)>(
        dlsym(RTLD_NEXT, "setenv"));
    Changes().push_back({ name, Threads() });
    return real(name, value, overwrite);
}

// Taking out a variable that is not there moves nothing.
extern "C" int unsetenv(const char* name)
{
    static auto real = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_NEXT, "unsetenv"));
    if (getenv(name))
        Changes().push_back({ name, Threads() });
    return real(name);
}

TEST(UiInitEnvironment, ChangedOnlyWhileTheProcessHasOneThread)
{
    if (LUiIsAvailable())
        GTEST_SKIP() << "the toolkit was started before this test";
    // A start from a desktop launcher: GTK takes the start-up id out of the environment.
    unsetenv("GDK_GL");
    setenv("DESKTOP_STARTUP_ID", "vorantel-test_TIME0", 1);
    Changes().clear();
    if (!LUiInit())
        GTEST_SKIP() << "no display";
    EXPECT_EQ(getenv("GDK_GL"), nullptr);
    // Out of the environment, and the display's all the same.
    EXPECT_EQ(getenv("DESKTOP_STARTUP_ID"), nullptr);
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (GDK_IS_X11_DISPLAY(display)) {
        EXPECT_STREQ(gdk_x11_display_get_startup_notification_id(display), "vorantel-test_TIME0");
    }
#endif
    EXPECT_FALSE(Changes().empty()) << "nothing recorded: the definitions above were not used";
    for (const Change& c : Changes())
        EXPECT_EQ(c.threads, 1) << c.name << " changed while " << c.threads << " threads ran";
}
