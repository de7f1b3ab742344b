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

bool OpenUri(const std::string& uri)
{
    if (uri.empty())
        return false;
    gchar* argv[] = { const_cast<gchar*>("xdg-open"), const_cast<gchar*>(uri.c_str()), nullptr };
    GError* error = nullptr;
    gboolean ok = g_spawn_async(nullptr, argv, nullptr,
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
        nullptr, nullptr, nullptr, &error);
    if (error)
        g_error_free(error);
    return ok;
}

} // namespace platform::desktop
