// libdln against servers that misbehave on purpose: every call ends within its bound
// whatever the server does, threads do not queue their time-outs behind each other, and a
// reply that does not answer the request in flight never reaches the caller as data.
#include "dln_api.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// One call's bound is 2 s; the slack covers what a fully loaded machine and sanitizers add
// past a deadline, and is short of a second time-out.
constexpr double kCallBound = 2.0;
constexpr double kSlack = 2.0;

using Then = ScriptedServer::Then;

struct Hostile {
    const char *name;
    int proper;         // requests answered properly first (1: the connect, 2: and the open)
    Then then;          // what the server does to every later request
    DLN_RESULT connect; // the result of DlnConnect
    DLN_RESULT first;   // the results of two reads on the opened handle
    DLN_RESULT second;
    double atLeast; // seconds the slowest call takes at least (0: no minimum)
};

const Hostile kHostile[] = {
    {"silent on connect", 0, Then::StaySilent, DLN_RES_TIMEOUT, 0, 0, 1.5},
    // Bytes that keep coming must not keep the call alive past its deadline.
    {"trickle on connect", 0, Then::Trickle, DLN_RES_TIMEOUT, 0, 0, 1.5},
    {"trickle on read", 2, Then::Trickle, DLN_RES_SUCCESS, DLN_RES_TIMEOUT, DLN_RES_NOT_CONNECTED,
     1.5},
    {"silent on read", 2, Then::StaySilent, DLN_RES_SUCCESS, DLN_RES_TIMEOUT, DLN_RES_NOT_CONNECTED,
     1.5},
    {"closes on read", 2, Then::Close, DLN_RES_SUCCESS, DLN_RES_NOT_CONNECTED,
     DLN_RES_NOT_CONNECTED, 0},
    // A reply in many pieces is still one reply.
    {"single bytes", 0, Then::SingleBytes, DLN_RES_SUCCESS, DLN_RES_SUCCESS, DLN_RES_SUCCESS, 0},
    // Stray replies are dropped; each read gets its own bytes.
    {"duplicate reply", 2, Then::Duplicate, DLN_RES_SUCCESS, DLN_RES_SUCCESS, DLN_RES_SUCCESS, 0},
    {"late duplicate", 2, Then::LateDuplicate, DLN_RES_SUCCESS, DLN_RES_SUCCESS, DLN_RES_SUCCESS,
     0},
    // Only replies to other requests: the caller gets no data, only the time-out.
    {"wrong sequence", 2, Then::WrongSequence, DLN_RES_SUCCESS, DLN_RES_TIMEOUT,
     DLN_RES_NOT_CONNECTED, 1.5},
    // A reply that came before its request was sent answers nothing: the next read sends its
    // request and takes only the reply that follows it.
    {"reply ahead of its request", 2, Then::AheadOfRequest, DLN_RES_SUCCESS, DLN_RES_SUCCESS,
     DLN_RES_SUCCESS, 0},
};

TEST(HostileServer, EveryCallEndsWithinItsBoundAndGetsOnlyItsOwnReply) {
    for (const Hostile &h : kHostile) {
        SCOPED_TRACE(h.name);
        ScriptedServer server(h.proper, h.then);
        double slowest = 0;
        auto timed = [&](auto call) {
            Stopwatch watch;
            DLN_RESULT result = call();
            slowest = std::max(slowest, watch.seconds());
            EXPECT_LT(watch.seconds(), kCallBound + kSlack);
            // A lost connection is known as such: no time-out is waited out.
            if (result == DLN_RES_NOT_CONNECTED) {
                EXPECT_LT(watch.seconds(), kCallBound);
            }
            return result;
        };
        ASSERT_EQ(timed([&] { return DlnConnect(kLoopback, server.port()); }), h.connect);
        bool lost = !DLN_SUCCEEDED(h.connect);
        if (!lost) {
            HDLN handle = 0;
            ASSERT_EQ(timed([&] { return DlnOpenDevice(0, &handle); }), DLN_RES_SUCCESS);
            // The server numbers its answers: connect 1, open 2, the reads 3 and 4.
            for (uint8_t answer : {3, 4}) {
                std::array<uint8_t, 4> data = {0xEE, 0xEE, 0xEE, 0xEE};
                DLN_RESULT expected = answer == 3 ? h.first : h.second;
                DLN_RESULT result =
                    timed([&] { return DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 4, data.data()); });
                EXPECT_EQ(result, expected) << "read " << int(answer - 2);
                uint8_t want = DLN_SUCCEEDED(result) ? answer : 0xEE; // failures leave data
                EXPECT_EQ(data, (std::array<uint8_t, 4>{want, want, want, want}))
                    << "read " << int(answer - 2);
                lost = !DLN_SUCCEEDED(result);
                std::this_thread::sleep_for(std::chrono::milliseconds(50)); // stray replies land
            }
        }
        // A connection lost on the way, or never made, is no longer counted.
        EXPECT_EQ(timed([&] { return DlnDisconnect(kLoopback, server.port()); }),
                  lost ? DLN_RES_NOT_CONNECTED : DLN_RES_SUCCESS);
        EXPECT_GE(slowest, h.atLeast);
    }
}

// Threads calling at once against a server that accepts and never answers: each ends within
// one bound of its own start, none waits out the time-outs of the others.
TEST(HostileServer, ConcurrentCallsAgainstASilentServerEachEndWithinOneBound) {
    constexpr int kThreads = 8;
    for (int proper : {0, 2}) { // 0: the connects time out; 2: reads on one handle do
        SCOPED_TRACE(proper == 0 ? "connect" : "read");
        ScriptedServer silent(proper, Then::StaySilent);
        HDLN handle = 0;
        if (proper == 2) {
            ASSERT_EQ(DlnConnect(kLoopback, silent.port()), DLN_RES_SUCCESS);
            ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
        }
        std::atomic<int> succeeded{0};
        std::vector<double> seconds(kThreads);
        std::vector<std::thread> threads;
        Stopwatch all;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                Stopwatch watch;
                uint8_t data[2];
                DLN_RESULT result = proper == 0 ? DlnConnect(kLoopback, silent.port())
                                                : DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 2, data);
                seconds[t] = watch.seconds();
                succeeded += DLN_SUCCEEDED(result);
            });
        for (auto &thread : threads)
            thread.join();
        EXPECT_EQ(succeeded, 0);
        for (int t = 0; t < kThreads; ++t)
            EXPECT_LT(seconds[t], kCallBound + kSlack) << "thread " << t;
        EXPECT_LT(all.seconds(), kCallBound + kSlack); // two time-outs in a row take longer
        if (proper == 2)
            DlnDisconnect(kLoopback, silent.port());
    }
}

} // namespace
