#include "vcd_stream.h"

#include <charconv>

namespace dlnsim::vcd {

namespace {

// Short identifiers from the printable characters '!' to '~', as VCD writers use, but '$',
// which some readers take for a keyword.
std::string Identifier(size_t index) {
    static const std::string kCharacters = [] {
        std::string characters;
        for (char c = '!'; c <= '~'; ++c)
            if (c != '$')
                characters += c;
        return characters;
    }();
    std::string id;
    do {
        id += kCharacters[index % kCharacters.size()];
        index /= kCharacters.size();
    } while (index != 0);
    return id;
}

} // namespace

VcdStream::VcdStream(Sink sink) : sink_(std::move(sink)) {}

int VcdStream::wire(const std::string &name, int initial) {
    wires_.push_back({name, Identifier(wires_.size()), initial});
    return static_cast<int>(wires_.size() - 1);
}

int VcdStream::text(const std::string &name) {
    return wire(name, -1);
}

void VcdStream::begin(std::string_view scope, std::string_view comment) {
    text_ += "$comment\n  ";
    text_ += comment;
    text_ += "\n$end\n$timescale 1 ns $end\n$scope module ";
    text_ += scope;
    text_ += " $end\n";
    for (const Wire &wire : wires_)
        text_ += std::string(wire.value < 0 ? "$var string 1 " : "$var wire 1 ") + wire.id + ' ' +
                 wire.name + " $end\n";
    text_ += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (const Wire &wire : wires_)
        if (wire.value >= 0)
            text_ += static_cast<char>('0' + wire.value) + wire.id + '\n';
    text_ += "$end\n";
    timeWritten_ = true;
}

void VcdStream::at(uint64_t ns) {
    if (ns <= now_ && timeWritten_)
        return;
    if (ns > now_)
        now_ = ns;
    char stamp[24] = "#";
    char *end = std::to_chars(stamp + 1, stamp + sizeof stamp - 1, now_).ptr;
    *end++ = '\n';
    text_.append(stamp, end);
    timeWritten_ = true;
}

void VcdStream::set(uint64_t ns, int wire, int value) {
    Wire &w = wires_[static_cast<size_t>(wire)];
    if (w.value == value)
        return;
    if (ns > now_)
        timeWritten_ = false;
    at(ns);
    w.value = value;
    text_ += static_cast<char>('0' + value);
    text_ += w.id;
    text_ += '\n';
}

void VcdStream::set(uint64_t ns, int variable, std::string_view value) {
    if (ns > now_)
        timeWritten_ = false;
    at(ns);
    text_ += 's';
    for (char c : value)
        text_ += c == ' ' || c == '\n' || c == '\t' ? '_' : c;
    text_ += ' ' + wires_[static_cast<size_t>(variable)].id + '\n';
}

void VcdStream::end(uint64_t ns) {
    if (ns > now_)
        timeWritten_ = false;
    at(ns);
}

void VcdStream::flush() {
    if (text_.empty())
        return;
    sink_(text_);
    text_.clear();
}

} // namespace dlnsim::vcd
