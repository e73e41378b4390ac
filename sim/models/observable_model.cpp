#include "dlnsim/models/observable_model.h"

#include "options.h"

namespace dlnsim {

void ObservableModel::set(const std::string &name, const nlohmann::json &, uint64_t) {
    throw OptionError(name, "is not a setting of " + modelName());
}

nlohmann::json NumberSetting(const char *name, double min, double max, const char *unit) {
    return {{"name", name}, {"min", min}, {"max", max}, {"unit", unit}};
}

} // namespace dlnsim
