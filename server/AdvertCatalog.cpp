// Reading and checking the adverts file.
#include "server/AdvertCatalog.h"

#include <json/json.h>
#include <utf8.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <system_error>

#include "server/PictureType.h"
#include "util/PictureFormat.h"

namespace kestrova {

namespace {

constexpr std::array<std::string_view, 7> kFields{"kind", "title", "text", "picture",
                                                  "link", "start", "end"};

bool isKnownField(std::string_view name) {
    for (std::string_view field : kFields) {
        if (field == name) {
            return true;
        }
    }
    return false;
}

// Picture names become URL paths and file names, so they are kept to characters that need
// no escaping in either and can never climb out of the adverts file's folder.
bool isSafePictureName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '.') {
        return false;
    }
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The pop-up opens only http and https links, and a link with blanks or control
// characters would be cut or misread on its way to the browser.
bool isWebLink(std::string_view link) {
    std::size_t schemeLength = 0;
    if (startsWithNoCase(link, "http://")) {
        schemeLength = 7;
    } else if (startsWithNoCase(link, "https://")) {
        schemeLength = 8;
    } else {
        return false;
    }
    if (link.size() == schemeLength || link[schemeLength] == '/') {
        return false;
    }
    for (char c : link) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
            return false;
        }
    }
    return true;
}

std::optional<std::chrono::sys_days> parseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    auto number = [&](std::size_t from, std::size_t count) -> int {
        int value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return -1;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    int y = number(0, 4), m = number(5, 2), d = number(8, 2);
    if (y < 0 || m < 0 || d < 0) {
        return std::nullopt;
    }
    std::chrono::year_month_day day{std::chrono::year{y}, std::chrono::month{unsigned(m)},
                                    std::chrono::day{unsigned(d)}};
    if (!day.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days{day};
}

enum class Need { optional, present, nonEmpty };

// Checks one entry of the list; the first fault found becomes the message.
class EntryReader {
public:
    EntryReader(const Json::Value& entry, Json::ArrayIndex index, const std::filesystem::path& dir)
        : m_entry(entry), m_index(index), m_dir(dir) {}

    bool read(Advert& advert, AdvertCatalog& catalog);
    const std::string& error() const { return m_error; }

private:
    bool fail(std::string_view field, std::string_view problem);
    bool readText(const char* field, Need need, std::string& out);
    bool readKind(Advert& advert);
    bool readDay(const char* field, std::optional<std::chrono::sys_days>& out);
    bool readPicture(Advert& advert, AdvertCatalog& catalog);
    bool checkKindFields(const Advert& advert);

    const Json::Value& m_entry;
    Json::ArrayIndex m_index;
    const std::filesystem::path& m_dir;
    std::string m_error;
};

bool EntryReader::fail(std::string_view field, std::string_view problem) {
    m_error = "advert [" + std::to_string(m_index) + "]";
    const Json::Value& title = m_entry.isObject() ? m_entry["title"] : Json::Value::nullSingleton();
    if (title.isString()) {
        m_error += " \"" + title.asString() + "\"";
    } else {
        m_error += " (untitled)";
    }
    if (!field.empty()) {
        m_error += ": field \"" + std::string(field) + "\"";
    }
    m_error += ": " + std::string(problem);
    return false;
}

bool EntryReader::readText(const char* field, Need need, std::string& out) {
    const Json::Value& value = m_entry[field];
    if (value.isNull()) {
        return need == Need::optional ? true : fail(field, "is missing");
    }
    if (!value.isString()) {
        return fail(field, "must be a string");
    }
    out = value.asString();
    if (!utf8::is_valid(out.begin(), out.end())) {
        return fail(field, "is not valid UTF-8");
    }
    // The pop-up's text ends at a NUL: "a\u0000b" would show as "a".
    if (out.find('\0') != std::string::npos) {
        return fail(field, "holds a NUL character (\\u0000), where the pop-up would cut it off");
    }
    if (need == Need::nonEmpty && out.empty()) {
        return fail(field, "is empty");
    }
    return true;
}

bool EntryReader::readKind(Advert& advert) {
    std::string kind;
    if (!readText("kind", Need::nonEmpty, kind)) {
        return false;
    }
    if (kind == "text") {
        advert.kind = AdvertKind::text;
    } else if (kind == "picture") {
        advert.kind = AdvertKind::picture;
    } else {
        return fail("kind", "must be \"text\" or \"picture\"");
    }
    return true;
}

bool EntryReader::readDay(const char* field, std::optional<std::chrono::sys_days>& out) {
    std::string text;
    if (!readText(field, Need::optional, text)) {
        return false;
    }
    if (m_entry[field].isNull()) {
        return true;
    }
    out = parseDay(text);
    return out ? true : fail(field, "must be a date written YYYY-MM-DD");
}

bool EntryReader::readPicture(Advert& advert, AdvertCatalog& catalog) {
    if (!readText("picture", Need::nonEmpty, advert.picture)) {
        return false;
    }
    if (!isSafePictureName(advert.picture)) {
        return fail("picture",
                    "must be a file name in the adverts file's folder made of letters, digits, "
                    "'.', '_' and '-', not starting with '.'");
    }
    if (catalog.pictures.contains(advert.picture)) {
        return true;
    }
    std::string readError;
    std::optional<std::string> bytes =
        readSmallFile(m_dir / advert.picture, kMaxPictureBytes, readError);
    if (!bytes) {
        return fail("picture", readError);
    }
    std::optional<std::string> type = pictureContentType(*bytes);
    if (!type) {
        return fail("picture", "is not a " + std::string(kPictureFormatNames) +
                                   " picture, the formats the pop-up shows");
    }
    catalog.pictures.emplace(advert.picture, Picture{std::move(*type), std::move(*bytes)});
    return true;
}

bool EntryReader::checkKindFields(const Advert& advert) {
    if (advert.kind == AdvertKind::text && m_entry.isMember("picture")) {
        return fail("picture", "only picture adverts have a picture");
    }
    if (advert.kind == AdvertKind::picture && m_entry.isMember("text")) {
        return fail("text", "only text adverts have a text");
    }
    return true;
}

bool EntryReader::read(Advert& advert, AdvertCatalog& catalog) {
    if (!m_entry.isObject()) {
        return fail("", "must be an object");
    }
    for (const std::string& name : m_entry.getMemberNames()) {
        if (!isKnownField(name)) {
            return fail(name,
                        "is not a known field (kind, title, text, picture, link, start, end)");
        }
    }
    if (!readKind(advert) || !readText("title", Need::present, advert.title) ||
        !checkKindFields(advert)) {
        return false;
    }
    bool content = advert.kind == AdvertKind::text ? readText("text", Need::nonEmpty, advert.text)
                                                   : readPicture(advert, catalog);
    if (!content || !readText("link", Need::nonEmpty, advert.link)) {
        return false;
    }
    if (!isWebLink(advert.link)) {
        return fail("link", "must be an http:// or https:// address without blanks");
    }
    if (!readDay("start", advert.start) || !readDay("end", advert.end)) {
        return false;
    }
    if (advert.start && advert.end && *advert.end < *advert.start) {
        return fail("end", "is before \"start\"");
    }
    return true;
}

CatalogResult failure(std::string message) {
    return CatalogResult{std::nullopt, std::move(message)};
}

}  // namespace

std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t maxBytes,
                                         std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        error = "\"" + file.string() + "\" is not a readable file";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "\"" + file.string() + "\" cannot be opened";
        return std::nullopt;
    }
    // Read in pieces up to one byte past the limit, to tell "exactly the limit" from "too
    // large" without trusting a size that could change between a stat and the read, and
    // without holding the limit's worth of memory for a small file.
    std::string bytes;
    std::array<char, 64 * 1024> piece;
    while (bytes.size() <= maxBytes && in) {
        in.read(piece.data(),
                static_cast<std::streamsize>(std::min(piece.size(), maxBytes + 1 - bytes.size())));
        bytes.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        error = "\"" + file.string() + "\" cannot be read";
        return std::nullopt;
    }
    bytes.shrink_to_fit();
    if (bytes.size() > maxBytes) {
        error =
            "\"" + file.string() + "\" is larger than " + std::to_string(maxBytes >> 20) + " MiB";
        return std::nullopt;
    }
    return bytes;
}

CatalogResult parseAdverts(std::string_view json, const std::filesystem::path& pictureDir) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["allowComments"] = true;
    builder["skipBom"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string parseErrors;
    try {
        if (!reader->parse(json.data(), json.data() + json.size(), &root, &parseErrors)) {
            return failure("not valid JSON: " + parseErrors);
        }
    } catch (const Json::Exception& error) {
        // Lists or objects nested deeper than the reader's limit (1000) end it by throwing.
        return failure(std::string("not valid JSON: ") + error.what());
    }
    if (!root.isArray()) {
        return failure("must hold a JSON list of adverts");
    }
    AdvertCatalog catalog;
    for (Json::ArrayIndex i = 0; i < root.size(); ++i) {
        Advert advert;
        EntryReader entry(root[i], i, pictureDir);
        if (!entry.read(advert, catalog)) {
            return failure(entry.error());
        }
        catalog.adverts.push_back(std::move(advert));
    }
    return CatalogResult{std::move(catalog), {}};
}

CatalogResult loadAdvertsFile(const std::filesystem::path& file) {
    std::string error;
    std::optional<std::string> json = readSmallFile(file, kMaxAdvertsFileBytes, error);
    CatalogResult result =
        json ? parseAdverts(*json, file.parent_path()) : failure("cannot be loaded: " + error);
    if (!result.catalog) {
        result.error = "adverts file \"" + file.string() + "\": " + result.error;
    }
    return result;
}

}  // namespace kestrova
