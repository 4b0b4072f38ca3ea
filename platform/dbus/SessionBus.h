// The user's session bus, opened for one question at a time. A pop-up must never start
// a bus or a service of its own: without DBUS_SESSION_BUS_ADDRESS only the session's
// standard socket ($XDG_RUNTIME_DIR/bus) is tried, and no call starts its service.
//
//   if (auto bus = kestrova::openSessionBus())
//       auto value = kestrova::readProperty(bus.get(), "org.a11y.Bus", "/org/a11y/bus",
//                                           "org.a11y.Status", "IsEnabled");
#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>

namespace kestrova {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GVariantUnref {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
using BusPtr = std::unique_ptr<GDBusConnection, GObjectUnref>;
using VariantPtr = std::unique_ptr<GVariant, GVariantUnref>;

// How long a question to a desktop service may take before the answer counts as none.
constexpr int kBusCallTimeoutMs = 500;

// A private connection to the session bus, or null when there is none.
BusPtr openSessionBus();
// A private connection to the message bus at address, or null.
BusPtr openBus(const std::string& address);
// The address of the session bus the program would use, or "" when there is none.
std::string sessionBusAddress();

// The value of a property (its variant, unboxed), or null: no such service running, no
// such property, or no answer in time.
VariantPtr readProperty(GDBusConnection* bus, const char* service, const char* path,
                        const char* interface, const char* property);

}  // namespace kestrova
