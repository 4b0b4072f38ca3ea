// Answers prepared from an adverts file, and the choice of one per request.
#include "server/AdvertSet.h"

#include <json/json.h>

namespace kestrova {

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";
// Rotation and the cap make every answer unique to its moment; no cache may keep one.
constexpr const char* kNoStore = "no-store";

std::string toJson(const Json::Value& value) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, value);
}

}  // namespace

std::string advertAnswer(const Advert& advert, std::string_view baseUrl) {
    Json::Value answer(Json::objectValue);
    answer["title"] = advert.title;
    if (advert.kind == AdvertKind::text) {
        answer["type"] = 0;
        answer["context"] = advert.text;
    } else {
        answer["type"] = 1;
        answer["img_url"] = std::string(baseUrl) + "/images/" + advert.picture;
    }
    answer["click_url"] = advert.link;
    return toJson(answer);
}

AdvertSet::AdvertSet(AdvertCatalog catalog, std::chrono::seconds minInterval, Clock clock)
    : m_catalog(std::move(catalog)),
      m_selector(m_catalog.adverts, minInterval, std::move(clock)),
      m_served(std::make_unique<std::atomic<std::uint64_t>[]>(m_catalog.adverts.size())) {
    for (const Advert& advert : m_catalog.adverts) {
        Answer& answer = m_answers.emplace_back();
        if (advert.kind == AdvertKind::text) {
            answer.ready = makeResponse(advertAnswer(advert, ""),
                                        {{"Content-Type", kJsonType}, {"Cache-Control", kNoStore}});
            continue;
        }
        // Picture names and base URLs hold only characters JSON leaves as they are, so the
        // answer is the one built with an empty base, cut where the base belongs.
        const std::string whole = advertAnswer(advert, "");
        const std::string key = "\"img_url\":\"";
        const std::size_t at = whole.find(key + "/images/" + advert.picture + "\"") + key.size();
        answer.head = whole.substr(0, at);
        answer.tail = whole.substr(at);
    }
    for (auto& [name, picture] : m_catalog.pictures) {
        Picture& served = m_pictures[name];
        served.size = picture.bytes.size();
        served.response =
            makeResponse(picture.bytes, {{"Content-Type", picture.contentType.c_str()}});
        std::string().swap(picture.bytes);  // the answer holds its own copy
    }
}

std::string AdvertSet::pictureAnswer(std::size_t index, std::string_view baseUrl) const {
    const Answer& answer = m_answers[index];
    std::string body;
    body.reserve(answer.head.size() + baseUrl.size() + answer.tail.size());
    return body.append(answer.head).append(baseUrl).append(answer.tail);
}

AdvertSet::Choice AdvertSet::choose(std::optional<std::int64_t> lastShown) {
    const AdvertSelector::Selection selection = m_selector.select(lastShown);
    if (selection.advert == nullptr) {
        return {std::nullopt, selection.capped};
    }
    const auto index = static_cast<std::size_t>(selection.advert - m_catalog.adverts.data());
    m_served[index].fetch_add(1, std::memory_order_relaxed);
    return {index, false};
}

const AdvertSet::Picture* AdvertSet::picture(std::string_view name) const {
    auto found = m_pictures.find(name);
    return found == m_pictures.end() ? nullptr : &found->second;
}

}  // namespace kestrova
