// Random fault injection: repeatable by seed, of the kinds asked for, on the calls named.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/scenario.h"
#include "dlnsim/session.h"

#include <gtest/gtest.h>

using namespace dlnsim;
using dln::wire::Call;

namespace {

// A session with an open adapter on sim, making requests without the wire encoding.
class Client {
  public:
    explicit Client(std::shared_ptr<Simulator> sim) : session_(std::move(sim)) {
        dln::wire::Request open;
        open.call = Call::OpenDevice;
        handle_ = static_cast<uint16_t>(session_.handle(open).words.at(0));
    }
    dln::wire::Reply read(uint8_t address, uint16_t length) {
        dln::wire::Request request;
        request.call = Call::I2cRead;
        request.handle = handle_;
        request.address = address;
        request.length = length;
        return session_.handle(request);
    }
    dln::wire::Reply spi(std::vector<uint8_t> out) {
        dln::wire::Request request;
        request.call = Call::SpiReadWrite;
        request.handle = handle_;
        request.length = static_cast<uint16_t>(out.size());
        request.data = std::move(out);
        return session_.handle(request);
    }
    dln::wire::Reply portCount() {
        dln::wire::Request request;
        request.call = Call::I2cGetPortCount;
        request.handle = handle_;
        return session_.handle(request);
    }

  private:
    Session session_;
    uint16_t handle_ = 0;
};

std::shared_ptr<Simulator> WithRandomFaults(const RandomFaults &faults) {
    auto device = std::make_shared<RegisterDevice>();
    for (unsigned i = 0; i < 256; ++i)
        device->setReg(static_cast<uint8_t>(i), static_cast<uint8_t>(i));
    return SimBuilder().i2c(0x50, device).randomFaults(faults).build();
}

// Results and bytes of n reads of 4 bytes.
std::vector<std::pair<uint16_t, std::vector<uint8_t>>> Reads(const std::shared_ptr<Simulator> &sim,
                                                             int n) {
    Client client(sim);
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> results;
    for (int i = 0; i < n; ++i) {
        auto reply = client.read(0x50, 4);
        results.emplace_back(reply.result, reply.data);
    }
    return results;
}

TEST(RandomFaults, SameSeedSameFaultsOtherSeedOtherFaults) {
    RandomFaults faults;
    faults.seed = 42;
    faults.rate = 0.2;
    auto first = Reads(WithRandomFaults(faults), 300);
    EXPECT_EQ(Reads(WithRandomFaults(faults), 300), first);
    faults.seed = 43;
    EXPECT_NE(Reads(WithRandomFaults(faults), 300), first);
}

TEST(RandomFaults, RateAndCountAgree) {
    RandomFaults faults;
    faults.seed = 7;
    faults.rate = 0.1;
    auto sim = WithRandomFaults(faults);
    auto results = Reads(sim, 2000);
    int failed = 0, flipped = 0;
    for (auto &[result, data] : results) {
        if (!DLN_SUCCEEDED(result)) {
            EXPECT_TRUE(result == DLN_RES_I2C_NACK || result == DLN_RES_FAIL) << result;
            EXPECT_TRUE(data.empty());
            ++failed;
        }
    }
    for (const TraceEntry &entry : sim->trace())
        if (entry.note.find("flipped") != std::string::npos)
            ++flipped;
    EXPECT_GT(failed + flipped, 120);
    EXPECT_LT(failed + flipped, 280);
    EXPECT_GT(failed, 0);
    EXPECT_GT(flipped, 0);
    EXPECT_EQ(sim->injectedFaults(), static_cast<uint64_t>(failed + flipped));
}

TEST(RandomFaults, FlipChangesExactlyOneBitOfWhatIsRead) {
    RandomFaults faults;
    faults.rate = 1;
    faults.nack = faults.fail = false;
    auto sim = SimBuilder().randomFaults(faults).build(); // SPI reads 0xFF with no device
    Client client(sim);
    for (int i = 0; i < 50; ++i) {
        auto reply = client.spi({0, 0, 0});
        ASSERT_EQ(reply.result, DLN_RES_SUCCESS);
        int zeros = 0;
        for (uint8_t byte : reply.data)
            zeros += 8 - __builtin_popcount(byte);
        EXPECT_EQ(zeros, 1);
        EXPECT_EQ(sim->trace().back().in, reply.data);
    }
}

TEST(RandomFaults, OnlyTheNamedCallsAndFittingKinds) {
    RandomFaults faults;
    faults.rate = 1;
    faults.fail = faults.flip = false; // NACK only, which SPI transfers cannot have
    auto sim = WithRandomFaults(faults);
    Client client(sim);
    EXPECT_EQ(client.read(0x50, 1).result, DLN_RES_I2C_NACK);
    EXPECT_EQ(client.spi({1}).result, DLN_RES_SUCCESS);
    EXPECT_EQ(client.portCount().result, DLN_RES_SUCCESS); // not a transfer

    faults.calls = {"DlnI2cMasterGetPortCount"};
    faults.nack = false;
    faults.fail = true;
    sim = WithRandomFaults(faults);
    Client named(sim);
    EXPECT_EQ(named.read(0x50, 1).result, DLN_RES_SUCCESS);
    EXPECT_EQ(named.portCount().result, DLN_RES_FAIL);
}

TEST(RandomFaults, FromScenario) {
    auto sim = LoadScenario(R"({"i2c": [{"address": 80, "model": "register"}],
        "randomFaults": {"seed": "0x10", "rate": 1, "calls": ["DlnI2cMasterRead"],
                         "kinds": ["fail"]}})",
                            "r.json")
                   .build();
    Client client(sim);
    EXPECT_EQ(client.read(0x50, 1).result, DLN_RES_FAIL);
    struct Case {
        const char *text, *message;
    };
    const Case cases[] = {
        {R"({"randomFaults": {"rate": 2}})", "r.json: randomFaults.rate: a chance from 0 to 1"},
        {R"({"randomFaults": {"rate": "often"}})",
         R"(r.json: randomFaults.rate: "often" is not a number)"},
        {R"({"randomFaults": {"kinds": ["boom"]}})",
         R"(r.json: randomFaults.kinds[0]: "boom" is not "nack", "fail" or "flip")"},
        {R"({"randomFaults": {"calls": ["DlnX"]}})",
         R"(r.json: randomFaults.calls[0]: unknown call "DlnX")"},
        {R"({"randomFaults": {"sead": 1}})", "r.json: randomFaults.sead: unknown key"},
    };
    for (const Case &c : cases) {
        try {
            LoadScenario(c.text, "r.json");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ScenarioError &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

} // namespace
