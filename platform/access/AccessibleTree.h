// What assistive tools are told about a window: a small tree of nodes with a role, a
// name, readable text, a place on the screen and at most one action. The window builds
// it and hands a copy to the bridge whenever it changes; the bridge answers from that
// copy on a thread of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrova::access {

// The AT-SPI role numbers of the roles in use.
enum class Role : std::uint32_t {
    Frame = 23,
    Label = 29,
    Panel = 39,
    PushButton = 43,
    Image = 27,
    Link = 88,
    Notification = 101,
};

struct Box {
    int x = 0, y = 0, width = 0, height = 0;  // screen pixels
};

struct Node {
    Role role = Role::Panel;
    std::string name;  // UTF-8
    std::string text;  // readable text (the Text interface) when not empty
    Box box;
    std::string action;  // the one action's name ("click", "jump"); empty: none
    int parent = -1;     // index in the tree; -1 for the window, whose parent is the program
    std::vector<int> children;
};

// Node 0 is the window.
struct Tree {
    std::string program;  // the program's name, as tools list it
    std::vector<Node> nodes;
};

// Adds node under parent (-1: the window itself) and returns its index.
inline int addNode(Tree& tree, Node node, int parent) {
    node.parent = parent;
    tree.nodes.push_back(std::move(node));
    const int index = static_cast<int>(tree.nodes.size()) - 1;
    if (parent >= 0)
        tree.nodes[static_cast<size_t>(parent)].children.push_back(index);
    return index;
}

// Runs a node's action; called on the bridge's thread, so it must only hand the request
// over to the window's thread.
using ActionSink = std::function<void(int node)>;

}  // namespace kestrova::access
