// The answer's reading rules, kept apart from the JSON library's own conversions (which
// would, for one, turn a number into text where the advert needs a string).
#include "advert/ParseAdvert.h"

#include <json/json.h>

#include <optional>
#include <string_view>

#include "util/TextConvert.h"

namespace {

// The five members the advert uses; null where a member is absent or null (both count
// as absent). Member names match exactly; the parser has already kept only the last of
// a repeated name.
struct Members {
    const Json::Value* title = nullptr;
    const Json::Value* type = nullptr;
    const Json::Value* context = nullptr;
    const Json::Value* imgUrl = nullptr;
    const Json::Value* clickUrl = nullptr;
};

// One pass over the object: cheaper than a lookup per name.
Members collectMembers(const Json::Value& root) {
    Members members;
    if (!root.isObject()) {
        return members;
    }
    for (auto it = root.begin(); it != root.end(); ++it) {
        const char* end = nullptr;
        const char* begin = it.memberName(&end);
        const std::string_view name(begin, static_cast<std::size_t>(end - begin));
        const Json::Value* value = it->isNull() ? nullptr : &*it;
        if (name == "title") {
            members.title = value;
        } else if (name == "type") {
            members.type = value;
        } else if (name == "context") {
            members.context = value;
        } else if (name == "img_url") {
            members.imgUrl = value;
        } else if (name == "click_url") {
            members.clickUrl = value;
        }
    }
    return members;
}

// A view into the parsed document (or of a literal), valid while the document lives;
// the text is copied once, into the advert.
std::optional<std::string_view> readText(const Json::Value* value) {
    if (value == nullptr) {
        return std::string_view();
    }
    if (value->isString()) {
        const char* begin = nullptr;
        const char* end = nullptr;
        value->getString(&begin, &end);
        return std::string_view(begin, static_cast<std::size_t>(end - begin));
    }
    if (value->isBool()) {
        return std::string_view(value->asBool() ? "true" : "false");
    }
    return std::nullopt;
}

std::optional<std::int32_t> readInteger(const Json::Value* value) {
    constexpr std::int64_t kMin = INT32_MIN;
    constexpr std::int64_t kMax = INT32_MAX;
    if (value == nullptr) {
        return 0;
    }
    switch (value->type()) {
        case Json::intValue: {
            const std::int64_t number = value->asInt64();
            return number < kMin || number > kMax ? std::nullopt
                                                  : std::optional<std::int32_t>(number);
        }
        case Json::uintValue: {
            const std::uint64_t number = value->asUInt64();
            return number > static_cast<std::uint64_t>(kMax) ? std::nullopt
                                                             : std::optional<std::int32_t>(number);
        }
        case Json::realValue: {
            // Written so that NaN fails the range test too; the cast truncates toward zero.
            const double number = value->asDouble();
            if (!(number >= static_cast<double>(kMin) && number <= static_cast<double>(kMax))) {
                return std::nullopt;
            }
            return static_cast<std::int32_t>(number);
        }
        case Json::booleanValue:
            return value->asBool() ? 1 : 0;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool parseAdvert(const std::string& body, AdvertItem& item) {
    // The reader's default features: comments allowed, any root, trailing text ignored.
    Json::Reader reader;
    Json::Value root;
    try {
        if (!reader.parse(body, root, false)) {
            return false;
        }
    } catch (const Json::Exception&) {
        // The reader throws rather than fails for lists and objects nested deeper than its
        // limit (1000); such a body is no advert either.
        return false;
    }
    if (!root.isObject() && !root.isNull()) {
        return false;
    }
    // Every member is read before anything is decided or stored.
    const Members members = collectMembers(root);
    const std::optional<std::string_view> title = readText(members.title);
    const std::optional<std::int32_t> type = readInteger(members.type);
    const std::optional<std::string_view> context = readText(members.context);
    const std::optional<std::string_view> imgUrl = readText(members.imgUrl);
    const std::optional<std::string_view> clickUrl = readText(members.clickUrl);
    if (!title || !type || !context || !imgUrl || !clickUrl) {
        return false;
    }
    AdvertItem parsed;
    parsed.title = utf8ToAnsi(std::string(*title));
    parsed.type = *type;
    parsed.context = utf8ToAnsi(std::string(*context));
    parsed.img_url = *imgUrl;
    parsed.click_url = *clickUrl;
    item = std::move(parsed);
    return true;
}
