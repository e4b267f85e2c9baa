#pragma once
// Reading fields of replies that may not have the documented shape: a field
// that is missing or of another type reads as empty, never as an exception.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>
#include <string>

namespace velfetch::opencatalog {

// Replies of the services are small; a longer one is not read.
constexpr std::size_t kMaxJsonBytes = std::size_t(1) << 20;

// The parsed reply, or a discarded value when it is no JSON.
nlohmann::json ParseJson(std::span<const std::uint8_t> bytes);

std::string TextField(const nlohmann::json& object, const char* key);
bool FlagField(const nlohmann::json& object, const char* key);
// The field when it is an array (an object); otherwise an empty one.
const nlohmann::json& ArrayField(const nlohmann::json& object, const char* key);
const nlohmann::json& ObjectField(const nlohmann::json& object, const char* key);

} // namespace velfetch::opencatalog
