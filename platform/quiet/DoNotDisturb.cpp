// The two places a Linux desktop keeps "do not disturb".
#include "platform/quiet/DoNotDisturb.h"

#include "platform/dbus/SessionBus.h"

namespace kestrova {
namespace {

constexpr char kGnomeSchema[] = "org.gnome.desktop.notifications";
constexpr char kGnomeKey[] = "show-banners";

// GSettings aborts on a schema that is not installed, so the schema is looked up first;
// a desktop without GNOME's schemas has no such switch.
bool gnomeBannersOff() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, kGnomeSchema, TRUE);
    if (!schema)
        return false;
    bool off = false;
    if (g_settings_schema_has_key(schema, kGnomeKey)) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        off = !g_settings_get_boolean(settings, kGnomeKey);
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return off;
}

bool notificationsInhibited() {
    BusPtr bus = openSessionBus();
    if (!bus)
        return false;
    VariantPtr inhibited =
        readProperty(bus.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                     "org.freedesktop.Notifications", "Inhibited");
    return inhibited && g_variant_is_of_type(inhibited.get(), G_VARIANT_TYPE_BOOLEAN) &&
           g_variant_get_boolean(inhibited.get());
}

}  // namespace

bool doNotDisturb() {
    // Without a session bus there is no desktop session to ask, and GSettings would start
    // a bus of its own (dbus-launch) to watch the setting.
    if (sessionBusAddress().empty())
        return false;
    return gnomeBannersOff() || notificationsInhibited();
}

}  // namespace kestrova
