// A problem with one option of a device model in a scenario; key is its place below the
// device ("registers.0x10"). The scenario loader adds the file and the device's place in front.
#pragma once

#include <stdexcept>
#include <string>

namespace dlnsim {

class OptionError : public std::runtime_error {
  public:
    OptionError(std::string key, const std::string &problem)
        : std::runtime_error(problem), key(std::move(key)) {}
    std::string key;
};

} // namespace dlnsim
