// The bridge's thread: the session's question, the accessibility bus, the registry, and
// the loop that serves the window's objects until the window goes.
#include "platform/access/AtSpiBridge.h"

#include <mutex>

#include "platform/access/AtSpiObjects.h"
#include "platform/dbus/SessionBus.h"

namespace kestrova::access {

struct AtSpiBridge::Shared {
    Served served;
    std::mutex loopMutex;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    bool stopping = false;
};

namespace {

constexpr char kLauncher[] = "org.a11y.Bus";
constexpr char kLauncherPath[] = "/org/a11y/bus";

// The accessibility bus's address, from the launcher on the session bus, or "".
std::string accessibilityBusAddress(GDBusConnection* session) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        session, kLauncher, kLauncherPath, kLauncher, "GetAddress", nullptr, G_VARIANT_TYPE("(s)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusCallTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (!reply)
        return {};
    const gchar* address = nullptr;
    g_variant_get(reply, "(&s)", &address);
    std::string result = address ? address : "";
    g_variant_unref(reply);
    return result;
}

// Registers the program with the registry, which answers with the desktop it hangs under.
bool embed(GDBusConnection* bus, Served& served) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.a11y.atspi.Registry", kRootPath, "org.a11y.atspi.Socket", "Embed",
        g_variant_new("((so))", served.busName.c_str(), kRootPath), G_VARIANT_TYPE("((so))"),
        G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
    if (!reply)
        return false;
    const gchar *name = nullptr, *path = nullptr;
    g_variant_get(reply, "((&s&o))", &name, &path);
    std::lock_guard lock(served.mutex);
    served.desktopName = name;
    served.desktopPath = path;
    g_variant_unref(reply);
    return true;
}

// Tells listening tools that the window appeared: a screen reader announces a
// notification when it is shown.
void announce(GDBusConnection* bus) {
    const std::string window = pathOf(0);
    auto event = [&](const char* interface, const char* member, const char* detail, int detail1) {
        g_dbus_connection_emit_signal(
            bus, nullptr, window.c_str(), interface, member,
            g_variant_new("(siiv@a{sv})", detail, detail1, 0, g_variant_new_string(""),
                          g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
            nullptr);
    };
    event("org.a11y.atspi.Event.Window", "Create", "", 0);
    event("org.a11y.atspi.Event.Object", "StateChanged", "showing", 1);
}

void serve(AtSpiBridge::Shared* shared) {
    if (!accessibilityEnabled())
        return;
    BusPtr session = openSessionBus();
    const std::string address = session ? accessibilityBusAddress(session.get()) : "";
    BusPtr bus = address.empty() ? nullptr : openBus(address);
    if (!bus)
        return;
    shared->served.busName = g_dbus_connection_get_unique_name(bus.get());
    const guint registration = g_dbus_connection_register_subtree(
        bus.get(), kObjectsPath, subtreeVTable(),
        G_DBUS_SUBTREE_FLAGS_DISPATCH_TO_UNENUMERATED_NODES, &shared->served, nullptr, nullptr);
    const unsigned cache = registerCache(bus.get());
    if (registration != 0 && embed(bus.get(), shared->served)) {
        announce(bus.get());
        GMainLoop* loop = g_main_loop_new(shared->context, FALSE);
        bool run = false;
        {
            std::lock_guard lock(shared->loopMutex);
            if (!shared->stopping) {
                shared->loop = loop;
                run = true;
            }
        }
        if (run)
            g_main_loop_run(loop);
        {
            std::lock_guard lock(shared->loopMutex);
            shared->loop = nullptr;
        }
        g_main_loop_unref(loop);
    }
    if (registration != 0)
        g_dbus_connection_unregister_subtree(bus.get(), registration);
    if (cache != 0)
        g_dbus_connection_unregister_object(bus.get(), cache);
    g_dbus_connection_flush_sync(bus.get(), nullptr, nullptr);
    g_dbus_connection_close_sync(bus.get(), nullptr, nullptr);
}

gboolean quitLoop(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

}  // namespace

bool accessibilityEnabled() {
    BusPtr session = openSessionBus();
    if (!session)
        return false;
    VariantPtr enabled =
        readProperty(session.get(), kLauncher, kLauncherPath, "org.a11y.Status", "IsEnabled");
    return enabled && g_variant_is_of_type(enabled.get(), G_VARIANT_TYPE_BOOLEAN) &&
           g_variant_get_boolean(enabled.get());
}

AtSpiBridge::AtSpiBridge(Tree tree, ActionSink sink) : m_shared(std::make_shared<Shared>()) {
    m_shared->served.tree = std::move(tree);
    m_shared->served.sink = std::move(sink);
    m_shared->context = g_main_context_new();
    m_thread = std::thread([shared = m_shared] {
        // The bus's method calls are dispatched in the thread-default context of the
        // thread that registered the objects: this one.
        g_main_context_push_thread_default(shared->context);
        serve(shared.get());
        g_main_context_pop_thread_default(shared->context);
    });
}

AtSpiBridge::~AtSpiBridge() {
    {
        std::lock_guard lock(m_shared->loopMutex);
        m_shared->stopping = true;
        if (m_shared->loop)
            g_main_context_invoke(m_shared->context, quitLoop, m_shared->loop);
    }
    m_thread.join();
    g_main_context_unref(m_shared->context);
}

void AtSpiBridge::update(Tree tree) {
    std::lock_guard lock(m_shared->served.mutex);
    m_shared->served.tree = std::move(tree);
}

}  // namespace kestrova::access
