// A scenario's JSON text, parsed with the place of each error and with a key given twice in
// one object refused (nlohmann/json would keep the last silently).
#include "scenario_parts.h"

#include <set>

namespace dlnsim::scenario {

namespace {

using nlohmann::json;

// Where the parser is in the document, for errors found while parsing: one frame per open
// object (with its keys so far) or list (with its element count).
class ParsePlace {
  public:
    // Returns the parser callback; it refuses a key given twice in one object.
    auto callback(const Context &context) {
        return [this, &context](int, json::parse_event_t event, json &parsed) {
            switch (event) {
            case json::parse_event_t::object_start:
            case json::parse_event_t::array_start:
                countElement();
                frames_.emplace_back();
                frames_.back().list = event == json::parse_event_t::array_start;
                break;
            case json::parse_event_t::object_end:
            case json::parse_event_t::array_end:
                frames_.pop_back();
                break;
            case json::parse_event_t::key: {
                Frame &frame = frames_.back();
                frame.key = parsed.get<std::string>();
                if (!frame.keys.insert(frame.key).second)
                    context.fail(place(), "given twice (a key may appear once in an object)");
                break;
            }
            case json::parse_event_t::value:
                countElement();
                break;
            }
            return true;
        };
    }
    // "i2c[1].address"; "top level" outside any object.
    std::string place() const {
        std::string text;
        for (const Frame &frame : frames_) {
            // Appended piece by piece: GCC 12 warns wrongly about "[" + std::string.
            if (frame.list) {
                text += '[';
                text += std::to_string(frame.elements == 0 ? 0 : frame.elements - 1);
                text += ']';
            } else if (!frame.key.empty()) {
                if (!text.empty())
                    text += '.';
                text += frame.key;
            }
        }
        return text.empty() ? "top level" : text;
    }

  private:
    struct Frame {
        bool list = false;
        size_t elements = 0;
        std::string key;
        std::set<std::string> keys;
    };
    void countElement() {
        if (!frames_.empty() && frames_.back().list)
            ++frames_.back().elements;
    }
    std::vector<Frame> frames_;
};

} // namespace

json Parse(const Context &context, std::string_view text) {
    ParsePlace place;
    try {
        return json::parse(text.begin(), text.end(), place.callback(context));
    } catch (const json::out_of_range &e) {
        // A number beyond what a double holds (1e999): named where it stands.
        context.fail(place.place(), "a number out of range (" + std::string(e.what()) + ")");
    } catch (const json::exception &e) {
        context.fail("", std::string("not valid JSON: ") + e.what());
    }
}

} // namespace dlnsim::scenario
