// Stands in for the program's embedded resources, so tests choose what the library
// finds by type and id.
#include <map>
#include <string>

#include "UiTestSupport.h"
#include "platform/resource/Resource.h"

namespace kestrova::uitest {
namespace {

std::map<std::pair<std::string, int>, Bytes>& resources() {
    static std::map<std::pair<std::string, int>, Bytes> all;
    return all;
}

}  // namespace

void setResource(const std::string& type, int id, Bytes bytes) {
    resources()[{type, id}] = std::move(bytes);
}

void clearResources() {
    resources().clear();
}

}  // namespace kestrova::uitest

namespace kestrova {

std::span<const std::uint8_t> findResource(std::string_view type, int id) {
    auto& all = uitest::resources();
    auto it = all.find({std::string(type), id});
    if (it == all.end())
        return {};
    return {it->second.data(), it->second.size()};
}

}  // namespace kestrova
