#include "JsonField.h"

namespace velfetch::opencatalog {
namespace {

const nlohmann::json* field(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

} // namespace

nlohmann::json ParseJson(std::span<const std::uint8_t> bytes) {
    // Values nested deeper than any reply of the services are dropped unbuilt,
    // so that a hostile reply cannot nest its way to a huge tree.
    constexpr int kMaxDepth = 16;
    const auto shallow = [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        using E = nlohmann::json::parse_event_t;
        return depth <= kMaxDepth || (event != E::object_start && event != E::array_start && event != E::value);
    };
    return nlohmann::json::parse(bytes.begin(), bytes.end(), shallow, false);
}

std::string TextField(const nlohmann::json& object, const char* key) {
    const auto* f = field(object, key);
    return f && f->is_string() ? f->get<std::string>() : std::string();
}

bool FlagField(const nlohmann::json& object, const char* key) {
    const auto* f = field(object, key);
    return f && f->is_boolean() && f->get<bool>();
}

const nlohmann::json& ArrayField(const nlohmann::json& object, const char* key) {
    static const nlohmann::json empty = nlohmann::json::array();
    const auto* f = field(object, key);
    return f && f->is_array() ? *f : empty;
}

const nlohmann::json& ObjectField(const nlohmann::json& object, const char* key) {
    static const nlohmann::json empty = nlohmann::json::object();
    const auto* f = field(object, key);
    return f && f->is_object() ? *f : empty;
}

} // namespace velfetch::opencatalog
