// Reading a device model's options from its JSON object in a scenario. Numbers may be JSON
// numbers or strings ("0x3C", "60"), as hardware people write them.
#pragma once

#include "dlnsim/models/option_error.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace dlnsim {

// value as an unsigned integer not above max; throws OptionError(key, ...) otherwise.
uint64_t UnsignedValue(const nlohmann::json &value, uint64_t max, const std::string &key);
// options[key] as an unsigned integer not above max, or fallback when the key is absent.
uint64_t UnsignedOption(const nlohmann::json &options, const char *key, uint64_t max,
                        uint64_t fallback);
// options[key] as a number (integer or not), or fallback when absent.
double NumberOption(const nlohmann::json &options, const char *key, double fallback);
bool BoolOption(const nlohmann::json &options, const char *key, bool fallback);
std::string StringOption(const nlohmann::json &options, const char *key,
                         const std::string &fallback);
// options[key] as a list of bytes (each a number or string up to 255), or empty when absent.
std::vector<uint8_t> BytesOption(const nlohmann::json &options, const char *key);
// Refuses keys other than known ones and the scenario's own ("model", "address", "ss",
// "comment"), so that a misspelt option does not pass silently.
void CheckKnownOptions(const nlohmann::json &options, std::initializer_list<const char *> known);

} // namespace dlnsim
