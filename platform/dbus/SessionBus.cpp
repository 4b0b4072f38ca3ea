// Opening the session bus without autolaunch, and reading one property without starting
// the service that owns it.
#include "platform/dbus/SessionBus.h"

#include <sys/stat.h>

#include <cstdlib>

namespace kestrova {

std::string sessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return address;
    // GIO would otherwise run dbus-launch, starting a bus that outlives the pop-up.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return {};
    std::string socket = std::string(runtime) + "/bus";
    struct stat st {};
    if (stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return {};
    return "unix:path=" + socket;
}

BusPtr openSessionBus() {
    const std::string address = sessionBusAddress();
    return address.empty() ? nullptr : openBus(address);
}

BusPtr openBus(const std::string& address) {
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (error)
        g_error_free(error);
    if (bus)
        g_dbus_connection_set_exit_on_close(bus, FALSE);
    return BusPtr(bus);
}

VariantPtr readProperty(GDBusConnection* bus, const char* service, const char* path,
                        const char* interface, const char* property) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, service, path, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", interface, property), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusCallTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (!reply)
        return nullptr;
    GVariant* boxed = nullptr;
    g_variant_get(reply, "(v)", &boxed);
    g_variant_unref(reply);
    return VariantPtr(boxed);
}

}  // namespace kestrova
