// The typed library's session and raw I2C natives against the in-process simulator: hostile
// arguments refused with a code, failures carrying the adapter's code and the failed step,
// one adapter call per transfer on an open session, and every session released.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "support/fake_jni.h"
#include "support/sim_session.h"
#include "support/typed_exports.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Calls = std::vector<std::string>;
const Calls kSessionOpen = {"DlnConnect", "DlnOpenDevice", "DlnI2cMasterEnable"};
const Calls kSessionClose = {"DlnCloseHandle", "DlnDisconnect"};

dlnsim::SimBuilder RegisterAt(uint8_t address) {
    return dlnsim::SimBuilder().i2c(address, std::make_shared<dlnsim::RegisterDevice>());
}

jlong Open(FakeJni &jni, jint *code = nullptr) {
    jintArray result = jni.array({-1});
    const jlong session =
        Java_i2cdln_NativeSession_open(jni.env(), nullptr, jni.string("localhost"), 9656, result);
    if (code != nullptr)
        *code = jni.values(result)[0];
    return session;
}

std::string Failure(FakeJni &jni, jlong session) {
    return FakeJni::text(Java_i2cdln_NativeSession_failure(jni.env(), nullptr, session));
}

TEST(TypedSession, OpensWithThreeCallsAndEachTransferIsOneCall) {
    SimSession sim(RegisterAt(0x50));
    FakeJni jni;
    jint code = -1;
    const jlong session = Open(jni, &code);
    ASSERT_NE(session, 0);
    EXPECT_EQ(code, kTypedOk);
    EXPECT_EQ(sim.calls(), kSessionOpen);

    jbyteArray out = jni.bytes({0x10, 0x5A, 0x33});
    jbyteArray in = jni.bytes(std::vector<jbyte>(2, 0));
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Java_i2cdln_NativeSession_i2cWrite(jni.env(), nullptr, session, 0x50, out, 3),
                  kTypedOk);
        // The register device reads from its pointer on: set to 0x10 by the write.
        jbyteArray pointer = jni.bytes({0x10});
        EXPECT_EQ(Java_i2cdln_NativeSession_i2cWrite(jni.env(), nullptr, session, 0x50, pointer, 1),
                  kTypedOk);
        EXPECT_EQ(Java_i2cdln_NativeSession_i2cRead(jni.env(), nullptr, session, 0x50, in, 2),
                  kTypedOk);
        EXPECT_EQ(jni.values(in), (std::vector<jbyte>{0x5A, 0x33}));
    }
    Calls expected = kSessionOpen;
    for (int round = 0; round < 3; ++round)
        expected.insert(expected.end(),
                        {"DlnI2cMasterWrite", "DlnI2cMasterWrite", "DlnI2cMasterRead"});
    EXPECT_EQ(sim.calls(), expected);
    EXPECT_EQ(Failure(jni, session), "");

    Java_i2cdln_NativeSession_close(jni.env(), nullptr, session);
    Java_i2cdln_NativeSession_close(jni.env(), nullptr, session); // harmless twice
    expected.insert(expected.end(), kSessionClose.begin(), kSessionClose.end());
    EXPECT_EQ(sim.calls(), expected);
}

// Every native of a session, called with a hostile argument; none may reach the adapter.
struct Hostile {
    const char *name;
    std::function<jint(FakeJni &, jlong)> call;
    jint expected; // on an open session
};

std::vector<Hostile> HostileCalls() {
    using J = FakeJni;
    return {
        {"version, null array",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_version(j.env(), nullptr, s, nullptr);
         },
         kBadArgument},
        {"version, short array",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_version(j.env(), nullptr, s, j.array({0, 0, 0, 0}));
         },
         kBadArgument},
        {"scan, short list",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_scan(j.env(), nullptr, s,
                                                   j.array(std::vector<jint>(127)), j.array({0}));
         },
         kBadArgument},
        {"scan, null count",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_scan(j.env(), nullptr, s,
                                                   j.array(std::vector<jint>(128)), nullptr);
         },
         kBadArgument},
        {"i2cWrite, null bytes",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cWrite(j.env(), nullptr, s, 0x50, nullptr, 1);
         },
         kBadArgument},
        {"i2cWrite, length past the array",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cWrite(j.env(), nullptr, s, 0x50, j.bytes({1, 2}),
                                                       3);
         },
         kBadArgument},
        {"i2cWrite, negative length",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cWrite(j.env(), nullptr, s, 0x50, j.bytes({1}), -1);
         },
         kBadArgument},
        {"i2cWrite, address 0x80 (would reach 0x00)",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cWrite(j.env(), nullptr, s, 0x80, j.bytes({1}), 1);
         },
         kBadArgument},
        {"i2cRead, address -1",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cRead(j.env(), nullptr, s, -1, j.bytes({0}), 1);
         },
         kBadArgument},
        {"i2cRead, length past 16 bits",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cRead(
                 j.env(), nullptr, s, 0x50, j.bytes(std::vector<jbyte>(0x10000)), 0x10000);
         },
         kBadArgument},
        {"i2cRead, null buffer",
         [](J &j, jlong s) {
             return Java_i2cdln_NativeSession_i2cRead(j.env(), nullptr, s, 0x50, nullptr, 0);
         },
         kBadArgument},
    };
}

TEST(TypedSession, HostileArgumentsAreRefusedWithoutAnAdapterCall) {
    SimSession sim(RegisterAt(0x50));
    FakeJni jni;
    const jlong session = Open(jni);
    ASSERT_NE(session, 0);
    for (const Hostile &c : HostileCalls()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(jni, session), c.expected);
        EXPECT_FALSE(jni.exceptionPending);
    }
    EXPECT_EQ(sim.calls(), kSessionOpen);
    Java_i2cdln_NativeSession_close(jni.env(), nullptr, session);
}

TEST(TypedSession, ClosedStaleAndMadeUpHandlesFindNoSession) {
    SimSession sim(RegisterAt(0x50));
    FakeJni jni;
    const jlong closed = Open(jni);
    Java_i2cdln_NativeSession_close(jni.env(), nullptr, closed);
    const jlong open = Open(jni);
    const size_t callsBefore = sim.calls().size();
    for (jlong handle : {closed, jlong{0}, jlong{-1}, open + 1000, jlong{0x7FFFFFFFFFFFFFFF}}) {
        SCOPED_TRACE("handle " + std::to_string(handle));
        jbyteArray bytes = jni.bytes({1, 2});
        EXPECT_EQ(Java_i2cdln_NativeSession_i2cWrite(jni.env(), nullptr, handle, 0x50, bytes, 2),
                  kNoSession);
        EXPECT_EQ(Java_i2cdln_NativeSession_i2cRead(jni.env(), nullptr, handle, 0x50, bytes, 2),
                  kNoSession);
        EXPECT_EQ(Java_i2cdln_NativeSession_version(jni.env(), nullptr, handle,
                                                    jni.array({0, 0, 0, 0, 0})),
                  kNoSession);
        EXPECT_EQ(Failure(jni, handle), "");
        Java_i2cdln_NativeSession_close(jni.env(), nullptr, handle);
    }
    EXPECT_EQ(sim.calls().size(), callsBefore);
    Java_i2cdln_NativeSession_close(jni.env(), nullptr, open);
}

TEST(TypedSession, FailuresCarryTheAdapterCodeAndTheStepAndLeaveTheBufferAlone) {
    struct Case {
        const char *call;
        uint16_t code;
        bool read;
        const char *failure;
    };
    const Case cases[] = {
        {"DlnI2cMasterRead", DLN_RES_I2C_NACK, true, "DlnI2cMasterRead at I2C 0x48"},
        {"DlnI2cMasterWrite", DLN_RES_FAIL, false, "DlnI2cMasterWrite at I2C 0x48"},
        {"DlnI2cMasterWrite", DLN_RES_TIMEOUT, false, "DlnI2cMasterWrite at I2C 0x48"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.call) + " failing");
        SimSession sim(RegisterAt(0x48).fault(dlnsim::Fault{c.call, c.code, 1}));
        FakeJni jni;
        const jlong session = Open(jni);
        jbyteArray buffer = jni.bytes({7, 7});
        const auto call =
            c.read ? Java_i2cdln_NativeSession_i2cRead : Java_i2cdln_NativeSession_i2cWrite;
        EXPECT_EQ(call(jni.env(), nullptr, session, 0x48, buffer, 2), c.code);
        EXPECT_EQ(Failure(jni, session), c.failure);
        EXPECT_EQ(jni.values(buffer), (std::vector<jbyte>{7, 7}));
        // The session stays usable; the next success clears the failure.
        EXPECT_EQ(call(jni.env(), nullptr, session, 0x48, buffer, 2), kTypedOk);
        EXPECT_EQ(Failure(jni, session), "");
        Java_i2cdln_NativeSession_close(jni.env(), nullptr, session);
    }
}

TEST(TypedSession, AFailedOpenReturnsItsCodeAndReleasesWhatItHad) {
    struct Case {
        const char *call;
        Calls expected;
    };
    const Case cases[] = {
        {"DlnConnect", {"DlnConnect"}},
        {"DlnOpenDevice", {"DlnConnect", "DlnOpenDevice", "DlnDisconnect"}},
        {"DlnI2cMasterEnable",
         {"DlnConnect", "DlnOpenDevice", "DlnI2cMasterEnable", "DlnCloseHandle", "DlnDisconnect"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.call);
        SimSession sim(RegisterAt(0x50).fault(dlnsim::Fault{c.call, DLN_RES_NO_SUCH_DEVICE}));
        FakeJni jni;
        jint code = -1;
        EXPECT_EQ(Open(jni, &code), 0);
        EXPECT_EQ(code, DLN_RES_NO_SUCH_DEVICE);
        EXPECT_EQ(sim.calls(), c.expected);
    }
    // Without an array for the code nothing is opened at all.
    SimSession sim(RegisterAt(0x50));
    FakeJni jni;
    EXPECT_EQ(Java_i2cdln_NativeSession_open(jni.env(), nullptr, jni.string("localhost"), 9656,
                                             jni.array({})),
              0);
    EXPECT_EQ(Java_i2cdln_NativeSession_open(jni.env(), nullptr, nullptr, 9656, jni.array({0})), 0);
    EXPECT_EQ(Java_i2cdln_NativeSession_open(jni.env(), nullptr, jni.string("localhost"), 70000,
                                             jni.array({0})),
              0);
    EXPECT_TRUE(sim.calls().empty());
}

TEST(TypedSession, VersionAndScanFillTheirArrays) {
    SimSession sim(RegisterAt(0x29).i2c(0x50, std::make_shared<dlnsim::RegisterDevice>()));
    FakeJni jni;
    const jlong session = Open(jni);
    jintArray version = jni.array({0, 0, 0, 0, 0});
    EXPECT_EQ(Java_i2cdln_NativeSession_version(jni.env(), nullptr, session, version), kTypedOk);
    const dlnsim::AdapterConfig adapter;
    EXPECT_EQ(jni.values(version)[0], static_cast<jint>(adapter.hardwareType));
    EXPECT_EQ(jni.values(version)[4], static_cast<jint>(adapter.libraryVersion));
    jintArray list = jni.array(std::vector<jint>(128, -1));
    jintArray count = jni.array({0});
    EXPECT_EQ(Java_i2cdln_NativeSession_scan(jni.env(), nullptr, session, list, count), kTypedOk);
    EXPECT_EQ(jni.values(count)[0], 2);
    EXPECT_EQ(jni.values(list)[0], 0x29);
    EXPECT_EQ(jni.values(list)[1], 0x50);
    EXPECT_EQ(jni.values(list)[2], 0);
    Java_i2cdln_NativeSession_close(jni.env(), nullptr, session);
}

} // namespace
