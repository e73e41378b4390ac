#include "provider_link.h"

#include "dln_api.h"
#include "external_devices.h"
#include "fault_json.h"
#include "options.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace dlnsim {

using nlohmann::json;

namespace {

constexpr size_t kMaxClaims = 128 + 4; // every I2C address and SPI line

ExternalAnswer Failure(uint16_t result, std::string note) {
    return {result, {}, std::move(note)};
}

ExternalAnswer Malformed(const std::string &why) {
    return Failure(DLN_RES_FAIL, "malformed answer: " + why);
}

std::vector<ExternalPlace> ClaimsFromJson(const json &claims) {
    if (!claims.is_array() || claims.empty() || claims.size() > kMaxClaims)
        throw OptionError("claims", "is not a list of 1 to 132 claims");
    std::vector<ExternalPlace> places;
    for (size_t i = 0; i < claims.size(); ++i) {
        const json &claim = claims[i];
        std::string place = "claims[" + std::to_string(i) + "]";
        bool i2c = claim.is_object() && claim.size() == 1 && claim.contains("i2c");
        bool spi = claim.is_object() && claim.size() == 1 && claim.contains("spi");
        if (!i2c && !spi)
            throw OptionError(place, "is not {\"i2c\": address} or {\"spi\": line}");
        try {
            places.push_back(
                {spi, static_cast<uint8_t>(UnsignedValue(claim.at(spi ? "spi" : "i2c"),
                                                         spi ? 3 : 0x7F, spi ? "spi" : "i2c"))});
        } catch (const OptionError &e) {
            throw OptionError(place + "." + e.key, e.what());
        }
    }
    return places;
}

// A provider's answer to request, checked against what the request asked for.
ExternalAnswer AnswerFromJson(const ExternalRequest &request, const json &message) {
    if (message.contains("result")) {
        try {
            return Failure(FaultCodeFromJson(message.at("result")), {});
        } catch (const OptionError &e) {
            return Malformed(std::string("result: ") + e.what());
        }
    }
    if (request.op == "write")
        return {};
    if (!message.contains("bytes"))
        return Malformed("no \"bytes\" and no \"result\"");
    ExternalAnswer answer;
    try {
        answer.bytes = BytesOption(message, "bytes");
    } catch (const OptionError &e) {
        return Malformed(e.key + ": " + e.what());
    }
    size_t expected = request.op == "read" ? request.count : request.bytes.size();
    if (answer.bytes.size() != expected)
        return Malformed("bytes has " + std::to_string(answer.bytes.size()) + " values, not " +
                         std::to_string(expected));
    return answer;
}

json RequestToJson(uint64_t id, const ExternalRequest &request) {
    json message = {{"id", id}, {"op", request.op}};
    message[request.place.spi ? "spi" : "i2c"] = request.place.where;
    if (request.op == "read")
        message["count"] = request.count;
    else
        message["bytes"] = request.bytes;
    return message;
}

} // namespace

ProviderLink::ProviderLink(asio::ip::tcp::socket socket, std::shared_ptr<Simulator> simulator,
                           Log log, std::function<void(ProviderLink *)> ended)
    : socket_(std::move(socket)), simulator_(std::move(simulator)), log_(std::move(log)),
      ended_(std::move(ended)) {
    asio::error_code error;
    auto peer = socket_.remote_endpoint(error);
    peer_ = error ? "?" : peer.address().to_string() + ":" + std::to_string(peer.port());
    socket_.set_option(asio::ip::tcp::no_delay(true), error);
}

void ProviderLink::start() {
    readMore();
}

void ProviderLink::readMore() {
    socket_.async_read_some(
        asio::buffer(chunk_), [self = shared_from_this()](asio::error_code error, size_t got) {
            if (self->closed_)
                return;
            if (error)
                return self->close("disconnected");
            self->input_.append(self->chunk_.data(), got);
            size_t start = 0;
            for (size_t end;
                 !self->closed_ && (end = self->input_.find('\n', start)) != std::string::npos;
                 start = end + 1)
                self->line(self->input_.substr(start, end - start));
            self->input_.erase(0, start);
            if (self->closed_)
                return;
            if (self->input_.size() > kMaxLine)
                return self->close("sent a line longer than 64 KiB");
            self->readMore();
        });
}

void ProviderLink::line(const std::string &text) {
    if (closeAfterSend_)
        return; // refused: nothing more is read
    if (text.size() > kMaxLine)
        return close("sent a line longer than 64 KiB");
    try {
        take(json::parse(text, nullptr, false));
    } catch (const std::exception &e) {
        close(std::string("sent what dln-sim cannot read: ") + e.what());
    }
}

void ProviderLink::take(const json &message) {
    if (name_.empty())
        return hello(message);
    if (!message.is_object() || (!message.contains("id") && !message.contains("state"))) {
        // Whose answer it was cannot be told: the request waiting longest pays for it.
        if (!open_.empty())
            finish(open_.begin()->first,
                   Malformed(message.is_discarded()
                                 ? "not JSON"
                                 : "no \"id\" in " + message.dump().substr(0, 60)));
        return;
    }
    if (message.contains("state")) {
        if (message.at("state").is_object())
            simulator_->setExternalState(this, message.at("state"));
        if (!message.contains("id"))
            return;
    }
    answer(message);
}

void ProviderLink::hello(const json &message) {
    std::string refusal;
    std::vector<ExternalPlace> places;
    std::string name;
    uint32_t timeoutMs = kDefaultExternalTimeoutMs;
    try {
        if (!message.is_object() || !message.contains("hello"))
            throw OptionError("", "the first line must be {\"hello\": name, \"claims\": [...]}");
        CheckKnownOptions(message, {"hello", "claims", "timeoutMs"});
        name = StringOption(message, "hello", "");
        if (name.empty() || name.size() > 64)
            throw OptionError("hello", "is not a name of 1 to 64 characters");
        places = ClaimsFromJson(message.contains("claims") ? message.at("claims") : json());
        timeoutMs = static_cast<uint32_t>(
            UnsignedOption(message, "timeoutMs", kMaxExternalTimeoutMs, timeoutMs));
        if (timeoutMs == 0)
            throw OptionError("timeoutMs", "0 leaves no time to answer");
        refusal = simulator_->claimExternal(name, places, timeoutMs, shared_from_this());
    } catch (const OptionError &e) {
        refusal = e.key.empty() ? e.what() : e.key + ": " + e.what();
    } catch (const std::exception &e) {
        refusal = e.what(); // a name that is no string, say
    }
    if (!refusal.empty()) {
        send({{"error", refusal}});
        closeAfterSend_ = true;
        log_("dln-sim: provider " + peer_ + " refused: " + refusal);
        return;
    }
    name_ = name;
    std::string claimed;
    for (ExternalPlace place : places)
        claimed += (claimed.empty() ? "" : ", ") + PlaceName(place);
    log_("dln-sim: provider " + name_ + " (" + peer_ + ") serves " + claimed);
    send({{"ok", true}});
}

void ProviderLink::answer(const json &message) {
    const json &id = message.at("id");
    if (!id.is_number_unsigned())
        return;
    auto it = open_.find(id.get<uint64_t>());
    if (it == open_.end())
        return; // late, after its time-out, or never asked: nobody waits for it
    finish(it->first, AnswerFromJson(it->second.request, message));
}

void ProviderLink::ask(const ExternalRequest &request, uint32_t timeoutMs,
                       std::function<void(ExternalAnswer)> done) {
    {
        std::lock_guard lock(closedMutex_);
        if (!closed_) {
            asio::post(socket_.get_executor(),
                       [self = shared_from_this(), request, timeoutMs, done]() mutable {
                           self->sendRequest(request, timeoutMs, std::move(done));
                       });
            return;
        }
    }
    done(Failure(DLN_RES_FAIL, "provider gone"));
}

void ProviderLink::sendRequest(const ExternalRequest &request, uint32_t timeoutMs,
                               std::function<void(ExternalAnswer)> done) {
    if (closed_)
        return done(Failure(DLN_RES_FAIL, "provider gone"));
    uint64_t id = ++lastId_;
    Open &open = open_[id];
    open.request = request;
    open.done = std::move(done);
    open.timer = std::make_unique<asio::steady_timer>(socket_.get_executor());
    open.timer->expires_after(std::chrono::milliseconds(timeoutMs));
    open.timer->async_wait([self = shared_from_this(), id, timeoutMs](asio::error_code error) {
        if (!error)
            self->finish(
                id, Failure(DLN_RES_FAIL, "no answer within " + std::to_string(timeoutMs) + " ms"));
    });
    send(RequestToJson(id, request));
}

void ProviderLink::finish(uint64_t id, ExternalAnswer answer) {
    auto it = open_.find(id);
    if (it == open_.end())
        return;
    auto done = std::move(it->second.done);
    it->second.timer->cancel();
    open_.erase(it);
    done(std::move(answer));
}

void ProviderLink::send(const json &message) {
    if (outbox_.size() >= kMaxQueued)
        return close("does not read its requests");
    outbox_.push_back(message.dump() + "\n");
    if (outbox_.size() == 1)
        writeNext();
}

void ProviderLink::writeNext() {
    asio::async_write(socket_, asio::buffer(outbox_.front()),
                      [self = shared_from_this()](asio::error_code error, size_t) {
                          if (self->closed_)
                              return;
                          if (error)
                              return self->close("disconnected");
                          self->outbox_.pop_front();
                          if (self->outbox_.empty() && self->closeAfterSend_)
                              return self->close("refused");
                          if (!self->outbox_.empty())
                              self->writeNext();
                      });
}

void ProviderLink::close(const std::string &why) {
    {
        std::lock_guard lock(closedMutex_);
        if (closed_)
            return;
        closed_ = true;
    }
    asio::error_code ignored;
    socket_.close(ignored);
    while (!open_.empty())
        finish(open_.begin()->first, Failure(DLN_RES_FAIL, "provider gone"));
    if (!name_.empty()) {
        simulator_->releaseExternal(this);
        log_("dln-sim: provider " + name_ + " (" + peer_ + ") left: " + why);
    }
    ended_(this);
}

} // namespace dlnsim
