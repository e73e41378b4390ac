// What only the in-process dln does: attaching another simulator drops every connection.
// The rest of its contract is the client contract suite's (tests/dln).
#include "dln_api.h"
#include "dln_inproc.h"
#include "dlnsim/models/register_device.h"

#include <gtest/gtest.h>

using namespace dlnsim;

namespace {

TEST(InprocDln, AttachingAnotherSimulatorKillsOldHandles) {
    auto first = SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build();
    DlnInprocAttach(first);
    ASSERT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    auto other = SimBuilder().build();
    DlnInprocAttach(other);
    uint8_t count = 0;
    EXPECT_GE(DlnI2cMasterGetPortCount(handle, &count), 0x40);
    EXPECT_TRUE(other->trace().empty());
    // The counts went with the old connections.
    EXPECT_EQ(DlnDisconnect("localhost", 9656), DLN_RES_NOT_CONNECTED);
    DlnInprocDetach();
}

} // namespace
