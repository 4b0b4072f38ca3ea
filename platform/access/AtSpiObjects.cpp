// The AT-SPI interfaces a screen reader needs to find, read and operate the advert: the
// program and its one window, labels with their text, a button and a link with their one
// action. Every answer is made from a copy of the tree taken under the lock.
#include "platform/access/AtSpiObjects.h"

#include <cstdlib>
#include <memory>

namespace kestrova::access {
namespace {

constexpr char kIntrospection[] = R"xml(<node>
<interface name="org.a11y.atspi.Accessible">
  <method name="GetChildAtIndex"><arg direction="in" type="i"/><arg direction="out" type="(so)"/></method>
  <method name="GetChildren"><arg direction="out" type="a(so)"/></method>
  <method name="GetIndexInParent"><arg direction="out" type="i"/></method>
  <method name="GetRelationSet"><arg direction="out" type="a(ua(so))"/></method>
  <method name="GetRole"><arg direction="out" type="u"/></method>
  <method name="GetRoleName"><arg direction="out" type="s"/></method>
  <method name="GetLocalizedRoleName"><arg direction="out" type="s"/></method>
  <method name="GetState"><arg direction="out" type="au"/></method>
  <method name="GetAttributes"><arg direction="out" type="a{ss}"/></method>
  <method name="GetApplication"><arg direction="out" type="(so)"/></method>
  <method name="GetInterfaces"><arg direction="out" type="as"/></method>
  <property name="Name" type="s" access="read"/>
  <property name="Description" type="s" access="read"/>
  <property name="Parent" type="(so)" access="read"/>
  <property name="ChildCount" type="i" access="read"/>
  <property name="Locale" type="s" access="read"/>
  <property name="AccessibleId" type="s" access="read"/>
</interface>
<interface name="org.a11y.atspi.Application">
  <method name="GetLocale"><arg direction="in" type="u"/><arg direction="out" type="s"/></method>
  <property name="ToolkitName" type="s" access="read"/>
  <property name="Version" type="s" access="read"/>
  <property name="AtspiVersion" type="s" access="read"/>
  <property name="Id" type="i" access="readwrite"/>
</interface>
<interface name="org.a11y.atspi.Component">
  <method name="Contains"><arg direction="in" type="i"/><arg direction="in" type="i"/><arg direction="in" type="u"/><arg direction="out" type="b"/></method>
  <method name="GetExtents"><arg direction="in" type="u"/><arg direction="out" type="(iiii)"/></method>
  <method name="GetPosition"><arg direction="in" type="u"/><arg direction="out" type="i"/><arg direction="out" type="i"/></method>
  <method name="GetSize"><arg direction="out" type="i"/><arg direction="out" type="i"/></method>
  <method name="GetLayer"><arg direction="out" type="u"/></method>
  <method name="GetMDIZOrder"><arg direction="out" type="n"/></method>
  <method name="GrabFocus"><arg direction="out" type="b"/></method>
  <method name="GetAlpha"><arg direction="out" type="d"/></method>
</interface>
<interface name="org.a11y.atspi.Text">
  <method name="GetText"><arg direction="in" type="i"/><arg direction="in" type="i"/><arg direction="out" type="s"/></method>
  <method name="GetCharacterAtOffset"><arg direction="in" type="i"/><arg direction="out" type="i"/></method>
  <method name="GetStringAtOffset"><arg direction="in" type="i"/><arg direction="in" type="u"/><arg direction="out" type="s"/><arg direction="out" type="i"/><arg direction="out" type="i"/></method>
  <method name="GetNSelections"><arg direction="out" type="i"/></method>
  <method name="GetDefaultAttributes"><arg direction="out" type="a{ss}"/></method>
  <property name="CharacterCount" type="i" access="read"/>
  <property name="CaretOffset" type="i" access="read"/>
</interface>
<interface name="org.a11y.atspi.Cache">
  <method name="GetItems"><arg direction="out" type="a((so)(so)(so)iiassusau)"/></method>
</interface>
<interface name="org.a11y.atspi.Action">
  <method name="GetDescription"><arg direction="in" type="i"/><arg direction="out" type="s"/></method>
  <method name="GetName"><arg direction="in" type="i"/><arg direction="out" type="s"/></method>
  <method name="GetLocalizedName"><arg direction="in" type="i"/><arg direction="out" type="s"/></method>
  <method name="GetKeyBinding"><arg direction="in" type="i"/><arg direction="out" type="s"/></method>
  <method name="GetActions"><arg direction="out" type="a(sss)"/></method>
  <method name="DoAction"><arg direction="in" type="i"/><arg direction="out" type="b"/></method>
  <property name="NActions" type="i" access="read"/>
</interface>
</node>)xml";

constexpr int kRoot = -1;
constexpr int kUnknown = -2;
constexpr std::uint32_t kApplicationRole = 75;
// AT-SPI state numbers.
constexpr int kEnabled = 8, kFocusable = 11, kSensitive = 24, kShowing = 25, kVisible = 30;
constexpr int kMultiLine = 17, kReadOnly = 43;

GDBusNodeInfo* nodeInfo() {
    static GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return info;
}

GDBusInterfaceInfo* interfaceInfo(const char* name) {
    return g_dbus_node_info_lookup_interface(nodeInfo(), name);
}

// The node an object path names: kRoot, an index, or kUnknown.
int nodeOf(const Tree& tree, const char* path) {
    const std::string p = path ? path : "";
    if (p == kRootPath)
        return kRoot;
    const std::string prefix = std::string(kObjectsPath) + "/";
    if (p.rfind(prefix, 0) != 0)
        return kUnknown;
    char* end = nullptr;
    const long n = std::strtol(p.c_str() + prefix.size(), &end, 10);
    return end && *end == '\0' && n >= 0 && n < static_cast<long>(tree.nodes.size())
               ? static_cast<int>(n)
               : kUnknown;
}

std::vector<std::string> interfacesOf(const Tree& tree, int node) {
    if (node == kRoot)
        return {"org.a11y.atspi.Accessible", "org.a11y.atspi.Application"};
    std::vector<std::string> names{"org.a11y.atspi.Accessible", "org.a11y.atspi.Component"};
    const Node& n = tree.nodes[static_cast<size_t>(node)];
    if (!n.text.empty())
        names.push_back("org.a11y.atspi.Text");
    if (!n.action.empty())
        names.push_back("org.a11y.atspi.Action");
    return names;
}

GVariant* reference(const Served& s, int node) {
    return g_variant_new("(so)", s.busName.c_str(), pathOf(node).c_str());
}

GVariant* parentOf(const Served& s, int node) {
    if (node == kRoot)
        return g_variant_new("(so)", s.desktopName.c_str(), s.desktopPath.c_str());
    return reference(s, s.tree.nodes[static_cast<size_t>(node)].parent);
}

std::vector<int> childrenOf(const Tree& tree, int node) {
    if (node == kRoot)
        return tree.nodes.empty() ? std::vector<int>{} : std::vector<int>{0};
    return tree.nodes[static_cast<size_t>(node)].children;
}

GVariant* stateOf(const Tree& tree, int node) {
    std::uint32_t bits[2] = {0, 0};
    auto set = [&bits](int state) { bits[state / 32] |= 1u << (state % 32); };
    for (int state : {kEnabled, kSensitive, kShowing, kVisible})
        set(state);
    if (node >= 0) {
        const Node& n = tree.nodes[static_cast<size_t>(node)];
        if (!n.action.empty())
            set(kFocusable);
        if (!n.text.empty()) {
            set(kReadOnly);
            set(kMultiLine);
        }
    }
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("au"));
    g_variant_builder_add(&builder, "u", bits[0]);
    g_variant_builder_add(&builder, "u", bits[1]);
    return g_variant_builder_end(&builder);
}

const char* roleName(std::uint32_t role) {
    switch (role) {
        case kApplicationRole:
            return "application";
        case static_cast<std::uint32_t>(Role::Frame):
            return "frame";
        case static_cast<std::uint32_t>(Role::Notification):
            return "notification";
        case static_cast<std::uint32_t>(Role::Label):
            return "label";
        case static_cast<std::uint32_t>(Role::PushButton):
            return "push button";
        case static_cast<std::uint32_t>(Role::Link):
            return "link";
        case static_cast<std::uint32_t>(Role::Image):
            return "image";
        default:
            return "panel";
    }
}

std::uint32_t roleOf(const Tree& tree, int node) {
    return node == kRoot ? kApplicationRole
                         : static_cast<std::uint32_t>(tree.nodes[static_cast<size_t>(node)].role);
}

// Text offsets count characters, not bytes.
std::string utf8Slice(const std::string& text, long start, long end) {
    const long length = g_utf8_strlen(text.c_str(), -1);
    if (end < 0 || end > length)
        end = length;
    start = std::max(0L, std::min(start, end));
    const char* from = g_utf8_offset_to_pointer(text.c_str(), start);
    const char* to = g_utf8_offset_to_pointer(text.c_str(), end);
    return std::string(from, to);
}

GVariant* emptyDictionary() {
    return g_variant_new_array(G_VARIANT_TYPE("{ss}"), nullptr, 0);
}

// The reply to one call, or null for a method this object does not have.
GVariant* answer(Served& s, const Tree& tree, int node, const std::string& interface,
                 const std::string& method, GVariant* in) {
    const Node* n = node >= 0 ? &tree.nodes[static_cast<size_t>(node)] : nullptr;
    if (interface == "org.a11y.atspi.Accessible") {
        const std::vector<int> children = childrenOf(tree, node);
        if (method == "GetChildAtIndex") {
            gint32 index = 0;
            g_variant_get(in, "(i)", &index);
            if (index < 0 || index >= static_cast<int>(children.size()))
                return g_variant_new("((so))", s.busName.c_str(), "/org/a11y/atspi/null");
            return g_variant_new("(@(so))", reference(s, children[static_cast<size_t>(index)]));
        }
        if (method == "GetChildren") {
            GVariantBuilder builder;
            g_variant_builder_init(&builder, G_VARIANT_TYPE("a(so)"));
            for (int child : children)
                g_variant_builder_add_value(&builder, reference(s, child));
            return g_variant_new("(a(so))", &builder);
        }
        if (method == "GetIndexInParent") {
            int index = node == kRoot ? -1 : 0;
            if (n && n->parent >= 0) {
                const auto& siblings = tree.nodes[static_cast<size_t>(n->parent)].children;
                for (size_t i = 0; i < siblings.size(); ++i) {
                    if (siblings[i] == node)
                        index = static_cast<int>(i);
                }
            }
            return g_variant_new("(i)", index);
        }
        if (method == "GetRelationSet")
            return g_variant_new_parsed("(@a(ua(so)) [],)");
        if (method == "GetRole")
            return g_variant_new("(u)", roleOf(tree, node));
        if (method == "GetRoleName" || method == "GetLocalizedRoleName")
            return g_variant_new("(s)", roleName(roleOf(tree, node)));
        if (method == "GetState")
            return g_variant_new("(@au)", stateOf(tree, node));
        if (method == "GetAttributes")
            return g_variant_new("(@a{ss})", emptyDictionary());
        if (method == "GetApplication")
            return g_variant_new("(@(so))", reference(s, kRoot));
        if (method == "GetInterfaces") {
            GVariantBuilder builder;
            g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
            for (const std::string& name : interfacesOf(tree, node))
                g_variant_builder_add(&builder, "s", name.c_str());
            return g_variant_new("(as)", &builder);
        }
    } else if (interface == "org.a11y.atspi.Application" && method == "GetLocale") {
        return g_variant_new("(s)", "");
    } else if (interface == "org.a11y.atspi.Component" && n) {
        const Box& b = n->box;
        if (method == "GetExtents")
            return g_variant_new("((iiii))", b.x, b.y, b.width, b.height);
        if (method == "GetPosition")
            return g_variant_new("(ii)", b.x, b.y);
        if (method == "GetSize")
            return g_variant_new("(ii)", b.width, b.height);
        if (method == "Contains") {
            gint32 x = 0, y = 0;
            guint32 coordinates = 0;
            g_variant_get(in, "(iiu)", &x, &y, &coordinates);
            return g_variant_new("(b)",
                                 x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height);
        }
        if (method == "GetLayer")
            return g_variant_new("(u)", node == 0 ? 7u : 3u);  // window, widget
        if (method == "GetMDIZOrder")
            return g_variant_new("(n)", static_cast<gint16>(0));
        if (method == "GrabFocus")
            return g_variant_new("(b)", FALSE);
        if (method == "GetAlpha")
            return g_variant_new("(d)", 1.0);
    } else if (interface == "org.a11y.atspi.Text" && n) {
        if (method == "GetText") {
            gint32 start = 0, end = 0;
            g_variant_get(in, "(ii)", &start, &end);
            return g_variant_new("(s)", utf8Slice(n->text, start, end).c_str());
        }
        if (method == "GetCharacterAtOffset") {
            gint32 at = 0;
            g_variant_get(in, "(i)", &at);
            const std::string one = utf8Slice(n->text, at, at + 1);
            return g_variant_new(
                "(i)", one.empty() ? 0 : static_cast<gint32>(g_utf8_get_char(one.c_str())));
        }
        if (method == "GetStringAtOffset") {
            const gint32 length = static_cast<gint32>(g_utf8_strlen(n->text.c_str(), -1));
            return g_variant_new("(sii)", n->text.c_str(), 0, length);
        }
        if (method == "GetNSelections")
            return g_variant_new("(i)", 0);
        if (method == "GetDefaultAttributes")
            return g_variant_new("(@a{ss})", emptyDictionary());
    } else if (interface == "org.a11y.atspi.Action" && n) {
        gint32 index = 0;
        if (g_variant_is_of_type(in, G_VARIANT_TYPE("(i)")))
            g_variant_get(in, "(i)", &index);
        const bool valid = index == 0;
        const char* name = valid ? n->action.c_str() : "";
        if (method == "GetName" || method == "GetLocalizedName")
            return g_variant_new("(s)", name);
        if (method == "GetDescription" || method == "GetKeyBinding")
            return g_variant_new("(s)", "");
        if (method == "GetActions")
            return g_variant_new_parsed("([(%s, '', '')],)", n->action.c_str());
        if (method == "DoAction") {
            if (valid && s.sink)
                s.sink(node);
            return g_variant_new("(b)", valid);
        }
    }
    return nullptr;
}

void methodCall(GDBusConnection*, const char*, const char* path, const char* interface,
                const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                gpointer data) {
    auto& s = *static_cast<Served*>(data);
    Tree tree;
    {
        std::lock_guard lock(s.mutex);
        tree = s.tree;
    }
    const int node = nodeOf(tree, path);
    GVariant* reply =
        node == kUnknown ? nullptr : answer(s, tree, node, interface, method, parameters);
    if (reply) {
        g_dbus_method_invocation_return_value(invocation, reply);
    } else {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                              "no %s.%s here", interface, method);
    }
}

GVariant* getProperty(GDBusConnection*, const char*, const char* path, const char* interface,
                      const char* property, GError** error, gpointer data) {
    auto& s = *static_cast<Served*>(data);
    std::lock_guard lock(s.mutex);
    const Tree& tree = s.tree;
    const int node = nodeOf(tree, path);
    const std::string name = property;
    const Node* n = node >= 0 ? &tree.nodes[static_cast<size_t>(node)] : nullptr;
    if (node != kUnknown && std::string(interface) == "org.a11y.atspi.Accessible") {
        if (name == "Name")
            return g_variant_new_string(n ? n->name.c_str() : tree.program.c_str());
        if (name == "Description" || name == "Locale" || name == "AccessibleId")
            return g_variant_new_string("");
        if (name == "Parent")
            return parentOf(s, node);
        if (name == "ChildCount")
            return g_variant_new_int32(static_cast<gint32>(childrenOf(tree, node).size()));
    } else if (node == kRoot && std::string(interface) == "org.a11y.atspi.Application") {
        if (name == "ToolkitName")
            return g_variant_new_string("Kestrova");
        if (name == "Version" || name == "AtspiVersion")
            return g_variant_new_string("2.1");
        if (name == "Id")
            return g_variant_new_int32(s.id);
    } else if (n && std::string(interface) == "org.a11y.atspi.Text") {
        if (name == "CharacterCount")
            return g_variant_new_int32(static_cast<gint32>(g_utf8_strlen(n->text.c_str(), -1)));
        if (name == "CaretOffset")
            return g_variant_new_int32(0);
    } else if (n && std::string(interface) == "org.a11y.atspi.Action" && name == "NActions") {
        return g_variant_new_int32(n->action.empty() ? 0 : 1);
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
    return nullptr;
}

// The registry numbers the program when it embeds it.
gboolean setProperty(GDBusConnection*, const char*, const char* path, const char* interface,
                     const char* property, GVariant* value, GError** error, gpointer data) {
    auto& s = *static_cast<Served*>(data);
    std::lock_guard lock(s.mutex);
    if (std::string(path) == kRootPath && std::string(interface) == "org.a11y.atspi.Application" &&
        std::string(property) == "Id" && g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) {
        s.id = g_variant_get_int32(value);
        return TRUE;
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s is read-only", property);
    return FALSE;
}

const GDBusInterfaceVTable kInterfaceVTable = {methodCall, getProperty, setProperty, {}};

gchar** enumerate(GDBusConnection*, const char*, const char*, gpointer data) {
    auto& s = *static_cast<Served*>(data);
    std::lock_guard lock(s.mutex);
    GPtrArray* names = g_ptr_array_new();
    g_ptr_array_add(names, g_strdup("root"));
    for (size_t i = 0; i < s.tree.nodes.size(); ++i)
        g_ptr_array_add(names, g_strdup_printf("%zu", i));
    g_ptr_array_add(names, nullptr);
    return reinterpret_cast<gchar**>(g_ptr_array_free(names, FALSE));
}

GDBusInterfaceInfo** introspect(GDBusConnection*, const char*, const char*, const char* node,
                                gpointer data) {
    auto& s = *static_cast<Served*>(data);
    std::lock_guard lock(s.mutex);
    if (!node)
        return nullptr;
    const int index =
        nodeOf(s.tree, pathOf(std::string(node) == "root" ? kRoot : std::atoi(node)).c_str());
    if (index == kUnknown)
        return nullptr;
    GPtrArray* infos = g_ptr_array_new();
    for (const std::string& name : interfacesOf(s.tree, index))
        g_ptr_array_add(infos, g_dbus_interface_info_ref(interfaceInfo(name.c_str())));
    g_ptr_array_add(infos, nullptr);
    return reinterpret_cast<GDBusInterfaceInfo**>(g_ptr_array_free(infos, FALSE));
}

const GDBusInterfaceVTable* dispatch(GDBusConnection*, const char*, const char*, const char*,
                                     const char*, gpointer* out, gpointer data) {
    *out = data;
    return &kInterfaceVTable;
}

const GDBusSubtreeVTable kSubtreeVTable = {enumerate, introspect, dispatch, {}};

// Tools ask for everything at once first; an empty answer sends them to the objects.
void cacheCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
               GVariant*, GDBusMethodInvocation* invocation, gpointer) {
    if (std::string(method) == "GetItems") {
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(@a((so)(so)(so)iiassusau))",
                                      g_variant_new_array(G_VARIANT_TYPE("((so)(so)(so)iiassusau)"),
                                                          nullptr, 0)));
        return;
    }
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "no %s here", method);
}

const GDBusInterfaceVTable kCacheVTable = {cacheCall, nullptr, nullptr, {}};

}  // namespace

std::string pathOf(int node) {
    return node == kRoot ? std::string(kRootPath)
                         : std::string(kObjectsPath) + "/" + std::to_string(node);
}

const GDBusSubtreeVTable* subtreeVTable() {
    return &kSubtreeVTable;
}

unsigned registerCache(GDBusConnection* bus) {
    return g_dbus_connection_register_object(bus, kCachePath, interfaceInfo("org.a11y.atspi.Cache"),
                                             &kCacheVTable, nullptr, nullptr, nullptr);
}

}  // namespace kestrova::access
