#include "mordelt/device_rescan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

TEST(RescanDeviceTreeTest, RootIsLocatedOnTheLocalMachineAndReenumerated) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::RescanDeviceTree(fake.devices), 0);
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"CM_Locate_DevNode_ExA", "CM_Reenumerate_DevNode_Ex"}));
  EXPECT_EQ(fake.log.ArgumentsOf("CM_Locate_DevNode_ExA"), "null, 0, 0x0");
  EXPECT_EQ(fake.log.ArgumentsOf("CM_Reenumerate_DevNode_Ex"), "0x1, 0, 0x0");
  EXPECT_EQ(fake.devices.reenumerated,
            (std::vector<platform::DevInst>{fakes::FakeDevices::kRootDevInst}));
}

TEST(RescanDeviceTreeTest, RootThatCannotBeLocatedGivesTwoWithoutReenumerating) {
  for (std::uint32_t error : {platform::kCrFailure, fakes::kCrNoSuchDevnode, 0x33u}) {
    fakes::FakePlatform fake;
    fake.log.Fail("CM_Locate_DevNode_ExA", error);
    EXPECT_EQ(mordelt::RescanDeviceTree(fake.devices), 2) << error;
    EXPECT_EQ(fake.log.Count("CM_Reenumerate_DevNode_Ex"), 0u);
  }
}

TEST(RescanDeviceTreeTest, RefusedReenumerationGivesTwo) {
  for (std::uint32_t error : {platform::kCrFailure, fakes::kCrInvalidDevnode}) {
    fakes::FakePlatform fake;
    fake.log.Fail("CM_Reenumerate_DevNode_Ex", error);
    EXPECT_EQ(mordelt::RescanDeviceTree(fake.devices), 2) << error;
    EXPECT_TRUE(fake.devices.reenumerated.empty());
  }
}

}  // namespace
