// The machine identifier's pieces from given values, and the adapter rule.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "net/machine_id.h"
#include "platform/machine_facts.h"

namespace {

using platform::AdapterAddress;

TEST(MachineId, PartsAreUpperCaseHexTheProcessorsWithoutLeadingZeros) {
  EXPECT_EQ(net::FormatProcessorPart(0x178BFBFF, 0x00A20F12, 0), "178BFBFFA20F120");
  EXPECT_EQ(net::FormatProcessorPart(0xFFFFFFFF, 0x1, 0xabc), "FFFFFFFF1ABC");
  EXPECT_EQ(net::FormatAdapterAddress({0x00, 0x1a, 0x2B, 0x03, 0xc4, 0xFF}), "001A2B03C4FF");
}

TEST(MachineId, TakesTheFirstAdapterOutsideTheVirtualMachineRange) {
  const AdapterAddress vm1{0x00, 0x50, 0x56, 0xC0, 0x00, 0x01};
  const AdapterAddress vm2{0x00, 0x50, 0x56, 0xC0, 0x00, 0x08};
  const AdapterAddress real1{0x00, 0x50, 0x57, 0x11, 0x22, 0x33};  // only 005056 is passed over
  const AdapterAddress real2{0x52, 0x54, 0x00, 0xAB, 0xCD, 0xEF};
  const struct {
    const char* name;
    std::vector<uint8_t> adapters;
    std::map<uint8_t, AdapterAddress> answering;  // adapters whose reset and status succeed
    std::string expected;
    std::vector<uint8_t> asked;
  } cases[] = {
      {"virtual first", {3, 1}, {{3, vm1}, {1, real2}}, "525400ABCDEF", {3, 1}},
      {"physical first stops the walk", {0, 5, 6}, {{0, real1}, {5, real2}, {6, vm1}}, "005057112233", {0}},
      {"only virtual: the last one stands", {0, 1}, {{0, vm1}, {1, vm2}}, "005056C00008", {0, 1}},
      {"silent adapters are skipped", {0, 1, 2}, {{1, real2}}, "525400ABCDEF", {0, 1}},
      {"none answers", {0, 1}, {}, "", {0, 1}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> asked;
    const std::string chosen = net::ChooseAdapterAddress(c.adapters, [&](uint8_t number, AdapterAddress* address) {
      asked.push_back(number);
      const auto found = c.answering.find(number);
      if (found == c.answering.end()) return false;
      *address = found->second;
      return true;
    });
    EXPECT_EQ(chosen, c.expected) << c.name;
    EXPECT_EQ(asked, c.asked) << c.name;
  }
}

}  // namespace
