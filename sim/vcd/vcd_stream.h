// Value Change Dump text, written as it goes: one-bit wires and string variables declared
// first, then their changes in time order (nanoseconds). Only changes are written, so a wire set to
// the value it holds costs nothing; the text is handed to the sink in pieces, so nothing grows with
// the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dlnsim::vcd {

class VcdStream {
  public:
    using Sink = std::function<void(std::string_view)>;
    explicit VcdStream(Sink sink);

    // Declares a wire of the module scope with its value at time 0; before begin() only.
    int wire(const std::string &name, int initial);
    // Declares a string variable (GTKWave shows its text; sigrok skips it with a warning);
    // before begin() only.
    int text(const std::string &name);
    // Writes the header (with comment in $comment), the declarations and the values at time 0.
    void begin(std::string_view scope, std::string_view comment);
    // Sets wire to value (0 or 1) at ns; times must not go back (earlier ones are taken as the
    // last time written).
    void set(uint64_t ns, int wire, int value);
    // Sets a string variable at ns; blanks become '_', as a value holds no blank. (Not a
    // $comment: sigrok's VCD input stops reading at the first one after the header.)
    void set(uint64_t ns, int variable, std::string_view value);
    // Writes a last time, at which every value still holds: readers take the values up to
    // the last time written only.
    void end(uint64_t ns);
    // Hands what was written so far to the sink.
    void flush();

  private:
    void at(uint64_t ns);

    Sink sink_;
    std::string text_;
    struct Wire {
        std::string name;
        std::string id;
        int value; // -1: a string variable
    };
    std::vector<Wire> wires_;
    uint64_t now_ = 0;
    bool timeWritten_ = false;
};

} // namespace dlnsim::vcd
