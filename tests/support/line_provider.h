// A device provider for tests and benchmarks: connects to dln-sim's provider port, says its
// hello, then answers each request with what answer() makes of it (an empty text sends
// nothing; "close" closes the connection), on a thread of its own.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class LineProvider {
  public:
    using Answer = std::function<std::string(const nlohmann::json &request)>;
    LineProvider(uint16_t port, const nlohmann::json &hello, Answer answer);
    ~LineProvider();
    LineProvider(const LineProvider &) = delete;
    LineProvider &operator=(const LineProvider &) = delete;

    // dln-sim's answer to the hello, as sent (empty when none came).
    const std::string &greeting() const { return greeting_; }
    // Sends text as it is (lines end with "\n").
    void send(const std::string &text);

  private:
    // The next line, empty when the connection ends.
    std::string readLine();
    Answer answer_;
    int fd_ = -1;
    std::string greeting_, buffer_;
    std::thread thread_;
};
