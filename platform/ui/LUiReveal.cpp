#include "platform/ui/LUiReveal.h"

#include <gio/gio.h>

bool LUiShowItemsInFileManager(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return false;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return false;
    GVariantBuilder uris;
    g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
    for (const std::string& p : paths) {
        gchar* uri = g_filename_to_uri(p.c_str(), nullptr, nullptr);
        if (uri)
            g_variant_builder_add(&uris, "s", uri);
        g_free(uri);
    }
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.FileManager1",
        "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", "ShowItems",
        g_variant_new("(ass)", &uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}
