#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace dlnsim {

namespace {

std::string Shown(const nlohmann::json &value) {
    std::string text = value.dump();
    return text.size() > 40 ? text.substr(0, 37) + "..." : text;
}

} // namespace

uint64_t UnsignedValue(const nlohmann::json &value, uint64_t max, const std::string &key) {
    uint64_t result = 0;
    if (value.is_number_unsigned()) {
        result = value.get<uint64_t>();
    } else if (value.is_number_integer()) {
        // JSON built in code holds positive numbers as signed integers too.
        if (value.get<int64_t>() < 0)
            throw OptionError(key, Shown(value) + " is negative");
        result = static_cast<uint64_t>(value.get<int64_t>());
    } else if (value.is_string()) {
        const std::string &text = value.get_ref<const std::string &>();
        bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const char *digits = text.c_str() + (hex ? 2 : 0);
        char *end = nullptr;
        errno = 0;
        result = std::strtoull(digits, &end, hex ? 16 : 10);
        if (text.empty() || *digits == '\0' || *digits == '-' || *digits == '+' || *digits == ' ' ||
            *end != '\0')
            throw OptionError(key, Shown(value) + " is not a number");
        if (errno == ERANGE)
            throw OptionError(key, Shown(value) + " is above " + std::to_string(max));
    } else if (value.is_number_float()) {
        // Integers beyond 64 bits arrive as doubles too; either way no whole number fits.
        double number = value.get<double>();
        if (number < 0)
            throw OptionError(key, Shown(value) + " is negative");
        if (number > static_cast<double>(max))
            throw OptionError(key, Shown(value) + " is above " + std::to_string(max));
        throw OptionError(key, Shown(value) + " is not a whole number");
    } else {
        throw OptionError(key, Shown(value) + " is not a number");
    }
    if (result > max)
        throw OptionError(key, Shown(value) + " is above " + std::to_string(max));
    return result;
}

uint64_t UnsignedOption(const nlohmann::json &options, const char *key, uint64_t max,
                        uint64_t fallback) {
    auto it = options.find(key);
    return it == options.end() ? fallback : UnsignedValue(*it, max, key);
}

double NumberOption(const nlohmann::json &options, const char *key, double fallback) {
    auto it = options.find(key);
    if (it == options.end())
        return fallback;
    if (!it->is_number())
        throw OptionError(key, Shown(*it) + " is not a number");
    return it->get<double>();
}

bool BoolOption(const nlohmann::json &options, const char *key, bool fallback) {
    auto it = options.find(key);
    if (it == options.end())
        return fallback;
    if (!it->is_boolean())
        throw OptionError(key, Shown(*it) + " is not true or false");
    return it->get<bool>();
}

std::string StringOption(const nlohmann::json &options, const char *key,
                         const std::string &fallback) {
    auto it = options.find(key);
    if (it == options.end())
        return fallback;
    if (!it->is_string())
        throw OptionError(key, Shown(*it) + " is not a string");
    return it->get<std::string>();
}

std::vector<uint8_t> BytesOption(const nlohmann::json &options, const char *key) {
    auto it = options.find(key);
    if (it == options.end())
        return {};
    if (!it->is_array())
        throw OptionError(key, Shown(*it) + " is not a list of bytes");
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < it->size(); ++i)
        bytes.push_back(static_cast<uint8_t>(
            UnsignedValue((*it)[i], 0xFF, std::string(key) + "[" + std::to_string(i) + "]")));
    return bytes;
}

void CheckKnownOptions(const nlohmann::json &options, std::initializer_list<const char *> known) {
    static const char *const kScenarioKeys[] = {"model", "address", "ss", "comment"};
    for (const auto &item : options.items()) {
        // A named variable, not a structured binding: clang 14 cannot capture those.
        const std::string &key = item.key();
        auto is = [&](const char *name) { return key == name; };
        if (std::none_of(known.begin(), known.end(), is) &&
            std::none_of(std::begin(kScenarioKeys), std::end(kScenarioKeys), is))
            throw OptionError(key, "unknown option");
    }
}

} // namespace dlnsim
