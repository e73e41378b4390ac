// Any text as a scenario file: it loads and builds, or it is refused with a ScenarioError;
// nothing else may escape.
#include "dlnsim/scenario.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        dlnsim::LoadScenario(text, "fuzz.json").traceLimit(16).build();
    } catch (const dlnsim::ScenarioError &) {
        // refused with the file, the place and the problem
    }
    return 0;
}
