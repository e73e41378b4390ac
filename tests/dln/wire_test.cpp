// The frame encoding shared by libdln and dln-sim: round trips, and safety against any bytes.
#include "wire.h"

#include <gtest/gtest.h>

#include <random>

using namespace dln::wire;

namespace {

std::span<const uint8_t> Body(const std::vector<uint8_t> &frame) {
    return std::span(frame).subspan(kLengthPrefix);
}

TEST(Wire, RequestRoundTripKeepsEveryField) {
    Request request;
    request.call = Call::I2cWrite;
    request.sequence = 0x11223344;
    request.handle = 0xBEEF;
    request.port = 3;
    request.address = 0x7F;
    request.memoryAddressLength = 2;
    request.memoryAddress = 0x01020304;
    request.value = 0xA0B0C0D0;
    request.length = 3;
    request.data = {1, 2, 3};
    auto frame = EncodeRequest(request);
    ASSERT_EQ(frame.size(), kLengthPrefix + kRequestHeader + 3);
    EXPECT_EQ(frame[0], kRequestHeader + 3); // little-endian length
    EXPECT_EQ(frame[1], 0);
    Request decoded;
    ASSERT_TRUE(DecodeRequest(Body(frame), decoded));
    EXPECT_EQ(decoded.call, request.call);
    EXPECT_EQ(decoded.sequence, request.sequence);
    EXPECT_EQ(decoded.handle, request.handle);
    EXPECT_EQ(decoded.port, request.port);
    EXPECT_EQ(decoded.address, request.address);
    EXPECT_EQ(decoded.memoryAddressLength, request.memoryAddressLength);
    EXPECT_EQ(decoded.memoryAddress, request.memoryAddress);
    EXPECT_EQ(decoded.value, request.value);
    EXPECT_EQ(decoded.length, request.length);
    EXPECT_EQ(decoded.data, request.data);
}

TEST(Wire, ReplyRoundTripKeepsWordsAndData) {
    Reply reply;
    reply.call = Call::GetVersion;
    reply.sequence = 0xFFFFFFFE;
    reply.result = 0x44;
    reply.words = {1, 0xFFFFFFFF, 3, 4, 5};
    reply.data = {9, 8};
    Reply decoded;
    ASSERT_TRUE(DecodeReply(Body(EncodeReply(reply)), decoded));
    EXPECT_EQ(decoded.call, reply.call);
    EXPECT_EQ(decoded.sequence, reply.sequence);
    EXPECT_EQ(decoded.result, reply.result);
    EXPECT_EQ(decoded.words, reply.words);
    EXPECT_EQ(decoded.data, reply.data);
}

TEST(Wire, TruncatedOrForeignBodiesAreRefused) {
    Reply reply;
    reply.call = Call::I2cRead;
    reply.words = {7, 8};
    auto replyFrame = EncodeReply(reply);
    auto body = Body(replyFrame);
    Reply r;
    // Cutting into the words leaves a body that no longer holds what it announces.
    for (size_t n = 0; n < kReplyHeader + 8; ++n)
        EXPECT_FALSE(DecodeReply(body.first(n), r)) << n << " bytes";
    Request request;
    auto requestFrame = EncodeRequest(request);
    for (size_t n = 0; n < kRequestHeader; ++n)
        EXPECT_FALSE(DecodeRequest(Body(requestFrame).first(n), request)) << n << " bytes";

    std::vector<uint8_t> wrongVersion(Body(requestFrame).begin(), Body(requestFrame).end());
    wrongVersion[0] = kVersion + 1;
    EXPECT_FALSE(DecodeRequest(wrongVersion, request));
    std::vector<uint8_t> unknownCall(Body(requestFrame).begin(), Body(requestFrame).end());
    for (uint8_t call : {uint8_t{0}, uint8_t(kLastCall + 1), uint8_t{0xFF}}) {
        unknownCall[1] = call;
        EXPECT_FALSE(DecodeRequest(unknownCall, request)) << int(call);
    }
    std::vector<uint8_t> tooManyWords(body.begin(), body.end());
    tooManyWords[kReplyHeader - 1] = kMaxWords + 1; // the word count ends the header
    EXPECT_FALSE(DecodeReply(tooManyWords, r));
}

TEST(Wire, LengthPrefixOutsideLimitsIsRefused) {
    struct Case {
        std::array<uint8_t, 4> prefix;
        bool accepted;
    };
    const Case cases[] = {
        {{kRequestHeader, 0, 0, 0}, true},
        {{kRequestHeader - 1, 0, 0, 0}, false},
        {{0, 0, 0, 0}, false},
        {{0xFF, 0xFF, 0xFF, 0xFF}, false},
        {{static_cast<uint8_t>(kMaxBody), static_cast<uint8_t>(kMaxBody >> 8),
          static_cast<uint8_t>(kMaxBody >> 16), 0},
         true},
        {{static_cast<uint8_t>(kMaxBody + 1), static_cast<uint8_t>((kMaxBody + 1) >> 8),
          static_cast<uint8_t>((kMaxBody + 1) >> 16), 0},
         false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BodyLength(c.prefix, kRequestHeader).has_value(), c.accepted)
            << int(c.prefix[0]) << " " << int(c.prefix[1]) << " " << int(c.prefix[2]);
}

TEST(Wire, OversizedMessagesAreNotEncoded) {
    Request request;
    request.data.assign(kMaxBody, 0);
    EXPECT_TRUE(EncodeRequest(request).empty());
    request.data.assign(65535, 0);
    EXPECT_FALSE(EncodeRequest(request).empty());
    Reply reply;
    reply.words.assign(kMaxWords + 1, 0);
    EXPECT_TRUE(EncodeReply(reply).empty());
}

TEST(Wire, RandomBytesNeverCrashTheDecoders) {
    std::mt19937 random(12345);
    Request request;
    Reply reply;
    for (int i = 0; i < 20000; ++i) {
        std::vector<uint8_t> bytes(random() % 64);
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(random());
        if (!bytes.empty() && i % 2)
            bytes[0] = kVersion; // get past the first check more often
        DecodeRequest(bytes, request);
        DecodeReply(bytes, reply);
    }
    SUCCEED();
}

TEST(Wire, CallNamesMatchTheCInterface) {
    EXPECT_STREQ(CallName(Call::I2cScanDevices), "DlnI2cMasterScanDevices");
    EXPECT_STREQ(CallName(Call::SpiSetSS), "DlnSpiMasterSetSS");
    EXPECT_STREQ(CallName(static_cast<Call>(0)), "?");
    for (uint8_t code = kFirstCall; code <= kLastCall; ++code)
        EXPECT_EQ(CallByName(CallName(static_cast<Call>(code))), static_cast<Call>(code));
    EXPECT_FALSE(CallByName("DlnFoo").has_value());
}

} // namespace
