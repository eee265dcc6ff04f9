// The work lists of the control phases, built from fields 10 and 11 of a run's entries, and the
// machine type read from an image before a DLL is loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/component_control.h"
#include "engine/pe_machine.h"
#include "engine_test_util.h"
#include "support/scratch_dir.h"

namespace {

using engine::FileEntry;
using engine::FileState;

FileEntry Entry(const char16_t* compose, const char16_t* section, const char16_t* file, FileState state,
                const char16_t* registers = u"", const char16_t* programs = u"", uint32_t flags = 0) {
  return engine_test::RunEntry(compose, section, file, state, registers, programs, 0, flags);
}

struct Expected {
  const char16_t* compose;
  const char16_t* section;
  const char16_t* file;
  uint32_t work_flags;
  uint32_t order_index;
};

void ExpectList(const engine::FileEntryList& list, const std::vector<Expected>& expected) {
  ASSERT_EQ(list.size(), expected.size());
  for (size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list[i].compose_name, expected[i].compose);
    EXPECT_EQ(list[i].section_name, expected[i].section);
    EXPECT_EQ(list[i].file_name, expected[i].file);
    EXPECT_EQ(list[i].work_flags, expected[i].work_flags);
    EXPECT_EQ(list[i].order_index, expected[i].order_index);
  }
}

class WorkListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // An installed compose "Old" whose file the run does not carry.
    engine_test::WriteDescription(
        paths_.ComposeFilePath(u"Old", engine::ComposeLocation::kInstalled),
        "[Version]\nPath=OldDir\n[HaveSection]\nOld=Bin\n[Bin]\nold.dll=,,0,1,0,3,0,0,0,0,,,0,,0,0\n");
  }
  testing_support::ScratchDir dir_;
  engine::WorkPaths paths_{dir_.path()};
};

TEST_F(WorkListTest, ReferencesOfOneTwoAndThreePartsResolveInTheirCompose) {
  const engine::FileEntryList run = {
      Entry(u"Core", u"Bin", u"a.exe", FileState::kChanged, u"b.dll|Lib:c.dll|Old:Bin:old.dll|Old:Bin:gone.dll"),
      Entry(u"Core", u"Bin", u"b.dll", FileState::kNew),
      Entry(u"Core", u"Lib", u"c.dll", FileState::kUnchanged),
  };
  const engine::FileEntryList list = engine::BuildWorkList(run, engine::WorkListField::kRegister, paths_);
  ExpectList(list, {{u"Core", u"Bin", u"b.dll", 0x3, 0}, {u"Core", u"Lib", u"c.dll", 0x3, 0}, {u"Old", u"Bin", u"old.dll", 0x3, 0}});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2].compose_folder, u"OldDir");
  EXPECT_EQ(list[2].kind, 1u);
}

TEST_F(WorkListTest, FlagsFollowTheHoldersStateAndField) {
  struct Case {
    FileState state;
    uint32_t field4;
    engine::WorkListField field;
    uint32_t flags;
  } cases[] = {
      {FileState::kRemoved, 0, engine::WorkListField::kStartStop, 0x20},
      {FileState::kChanged, 0, engine::WorkListField::kStartStop, 0x30},
      {FileState::kRemoved, 0, engine::WorkListField::kRegister, 0x2},
      {FileState::kNew, 0, engine::WorkListField::kRegister, 0x1},
      {FileState::kUnchanged, 0, engine::WorkListField::kRegister, 0x3},
      {FileState::kRemoved, engine::kFileRegisterFlags, engine::WorkListField::kRegister, 0},
      {FileState::kChanged, engine::kFileRegisterFlags, engine::WorkListField::kRegister, 0x1},
  };
  for (const Case& c : cases) {
    const engine::FileEntryList run = {Entry(u"Core", u"Bin", u"x.exe", c.state, u"x.exe", u"x.exe", c.field4)};
    ExpectList(engine::BuildWorkList(run, c.field, paths_), {{u"Core", u"Bin", u"x.exe", c.flags, 0}});
  }
}

TEST_F(WorkListTest, TwoHoldersOfOneProgramGiveOneEntryWithTheUnionOfFlags) {
  const engine::FileEntryList run = {
      Entry(u"Core", u"Bin", u"gone.dll", FileState::kRemoved, u"", u"CORE:bin:Agent.EXE"),
      Entry(u"Core", u"Bin", u"agent.exe", FileState::kChanged, u"", u"agent.exe||"),
  };
  ExpectList(engine::BuildWorkList(run, engine::WorkListField::kStartStop, paths_),
             {{u"Core", u"Bin", u"agent.exe", 0x30, 0}});
}

TEST(PeMachineTest, ReadsTheMachineOnlyFromAWellFormedHeader) {
  auto image = [](uint32_t pe_offset, uint16_t machine, size_t size) {
    std::vector<uint8_t> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<uint8_t>(pe_offset >> (8 * i));
    if (pe_offset + 6 <= size) {
      bytes[pe_offset] = 'P';
      bytes[pe_offset + 1] = 'E';
      bytes[pe_offset + 4] = static_cast<uint8_t>(machine);
      bytes[pe_offset + 5] = static_cast<uint8_t>(machine >> 8);
    }
    return bytes;
  };
  struct Case {
    std::vector<uint8_t> bytes;
    uint16_t machine;
  } cases[] = {
      {image(0x80, engine::kPeMachineAmd64, 0x200), engine::kPeMachineAmd64},
      {image(0x80, engine::kPeMachineX86, 0x200), engine::kPeMachineX86},
      {image(0x1FC, engine::kPeMachineX86, 0x200), 0},         // header cut short
      {image(0xFFFFFFF0u, engine::kPeMachineX86, 0x200), 0},  // offset beyond the data
      {std::vector<uint8_t>(0x200, 0), 0},                     // no "MZ"
      {std::vector<uint8_t>{'M', 'Z'}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::ReadPeMachine(c.bytes.data(), c.bytes.size()), c.machine);
}

}  // namespace
