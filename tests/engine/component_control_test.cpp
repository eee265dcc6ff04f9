// The work lists of the control phases, built from fields 10 and 11 of a run's entries.
#include <gtest/gtest.h>

#include <string>

#include "engine/component_control.h"
#include "engine_test_util.h"
#include "support/scratch_dir.h"

namespace {

using engine::FileState;
using engine::WorkListField;

// "compose:section:file/flags/order index;" per entry.
std::string Render(const engine::FileEntryList& list) {
  std::string out;
  for (const engine::FileEntry& e : list) {
    out += base::Utf16ToUtf8(e.compose_name + u":" + e.section_name + u":" + e.file_name) + "/" +
           std::to_string(e.work_flags) + "/" + std::to_string(e.order_index) + ";";
  }
  return out;
}

class WorkListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // An installed compose "Old" whose file the run does not carry.
    engine_test::WriteUtf16File(
        paths_.ComposeFilePath(u"Old", engine::ComposeLocation::kInstalled),
        "[Version]\nPath=OldDir\n[HaveSection]\nOld=Bin\n[Bin]\nold.dll=,,0,1,0,3,0,0,0,0,,,0,,0,0\n");
  }
  engine::FileEntryList Build(const engine::FileEntryList& run, WorkListField field) {
    return engine::BuildWorkList(run, field, paths_);
  }
  testing_support::ScratchDir dir_;
  engine::WorkPaths paths_{dir_.path()};
};

TEST_F(WorkListTest, ReferencesOfOneTwoAndThreePartsResolveInTheirCompose) {
  const engine::FileEntryList run = {
      engine_test::RunEntry(u"Core", u"Bin", u"a.exe", FileState::kChanged,
                            u"x.dll|b.dll|Lib:c.dll|Old:Bin:old.dll|Old:Bin:gone.dll"),
      engine_test::RunEntry(u"Core", u"Bin", u"b.dll", FileState::kNew),
      engine_test::RunEntry(u"Core", u"Lib", u"c.dll", FileState::kUnchanged, u"Bin:a.exe|a.exe"),
  };
  const engine::FileEntryList list = Build(run, WorkListField::kRegister);
  EXPECT_EQ(Render(list), "Core:Bin:b.dll/3/0;Core:Lib:c.dll/3/0;Old:Bin:old.dll/3/0;Core:Bin:a.exe/3/2;");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[2].compose_folder, u"OldDir");
  EXPECT_EQ(list[2].kind, 1u);
}

TEST_F(WorkListTest, FlagsFollowTheHoldersStateAndField) {
  struct Case {
    FileState state;
    uint32_t field4;
    WorkListField field;
    const char* list;
  } cases[] = {
      {FileState::kRemoved, 0, WorkListField::kStartStop, "Core:Bin:x.exe/32/0;"},
      {FileState::kChanged, 0, WorkListField::kStartStop, "Core:Bin:x.exe/48/0;"},
      {FileState::kRemoved, 0, WorkListField::kRegister, "Core:Bin:x.exe/2/0;"},
      {FileState::kNew, 0, WorkListField::kRegister, "Core:Bin:x.exe/1/0;"},
      {FileState::kUnchanged, 0, WorkListField::kRegister, "Core:Bin:x.exe/3/0;"},
      {FileState::kRemoved, engine::kFileRegisterFlags, WorkListField::kRegister, "Core:Bin:x.exe/0/0;"},
      {FileState::kChanged, engine::kFileRegisterFlags, WorkListField::kRegister, "Core:Bin:x.exe/1/0;"},
  };
  for (const Case& c : cases) {
    const engine::FileEntryList run = {engine_test::RunEntry(u"Core", u"Bin", u"x.exe", c.state, u"x.exe", u"x.exe", 0, c.field4)};
    EXPECT_EQ(Render(Build(run, c.field)), c.list);
  }
}

TEST_F(WorkListTest, TwoHoldersOfOneProgramGiveOneEntryWithTheUnionOfFlags) {
  const engine::FileEntryList run = {
      engine_test::RunEntry(u"Core", u"Bin", u"gone.dll", FileState::kRemoved, u"", u"CORE:bin:Agent.EXE"),
      engine_test::RunEntry(u"Core", u"Bin", u"agent.exe", FileState::kChanged, u"", u"agent.exe||"),
  };
  EXPECT_EQ(Render(Build(run, WorkListField::kStartStop)), "Core:Bin:agent.exe/48/0;");
}

}  // namespace
