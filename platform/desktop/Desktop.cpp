#include "platform/desktop/Desktop.h"

#include <glib.h>

namespace platform::desktop {

std::string FilePathToUri(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return {};
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (!uri)
        return {};
    std::string result = uri;
    g_free(uri);
    return result;
}

namespace {

// What the watch of one opener keeps until the opener has ended.
struct OpenerWatch {
    std::function<void()> failed;
    gint64 started = 0;
};

void OpenerEnded(GPid pid, gint status, gpointer data)
{
    auto* watch = static_cast<OpenerWatch*>(data);
    g_spawn_close_pid(pid);
    const bool soon
        = g_get_monotonic_time() - watch->started < gint64(kOpenerFailureSeconds) * G_USEC_PER_SEC;
    if (soon && !g_spawn_check_wait_status(status, nullptr) && watch->failed)
        watch->failed();
    delete watch;
}

} // namespace

bool OpenUri(const std::string& uri, std::function<void()> failed)
{
    if (uri.empty())
        return false;
    gchar* argv[] = { const_cast<gchar*>("xdg-open"), const_cast<gchar*>(uri.c_str()), nullptr };
    GError* error = nullptr;
    GPid pid = 0;
    gboolean ok = g_spawn_async(nullptr, argv, nullptr,
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL
            | G_SPAWN_DO_NOT_REAP_CHILD),
        nullptr, nullptr, &pid, &error);
    if (error)
        g_error_free(error);
    if (!ok)
        return false;
    auto* watch = new OpenerWatch { std::move(failed), g_get_monotonic_time() };
    g_child_watch_add(pid, OpenerEnded, watch);
    return true;
}

} // namespace platform::desktop
