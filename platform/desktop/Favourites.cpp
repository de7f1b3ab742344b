#include "platform/desktop/Favourites.h"

#include <gio/gio.h>

#include <vector>

namespace platform::desktop {

bool AddToFavourites(const std::string& desktopId)
{
    static const char kSchema[] = "org.gnome.shell";
    static const char kKey[] = "favorite-apps";
    if (desktopId.empty())
        return false;
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, kSchema, TRUE);
    if (!schema)
        return false;
    bool hasKey = g_settings_schema_has_key(schema, kKey);
    g_settings_schema_unref(schema);
    if (!hasKey)
        return false;
    GSettings* settings = g_settings_new(kSchema);
    gchar** apps = g_settings_get_strv(settings, kKey);
    std::vector<const gchar*> list;
    bool listed = false;
    for (gchar** a = apps; a && *a; ++a) {
        listed = listed || desktopId == *a;
        list.push_back(*a);
    }
    bool ok = true;
    if (!listed) {
        list.push_back(desktopId.c_str());
        list.push_back(nullptr);
        ok = g_settings_set_strv(settings, kKey, list.data());
        g_settings_sync();
    }
    g_strfreev(apps);
    g_object_unref(settings);
    return ok;
}

} // namespace platform::desktop
