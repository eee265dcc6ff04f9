// The uninstall entry points of a compose's DLLs under Wine, with the stand-in COM DLL (whose
// UnInstall asks for a restart) and the faulting DLL.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/strings.h"
#include "engine/compose_removal.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"

namespace {

class UninstallComposeDllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_.install_dir = dir_.path() + u"\\";
    CreateDirectoryW(reinterpret_cast<const wchar_t*>(dir_.Join(u"CoreDir").c_str()), nullptr);
    ASSERT_TRUE(engine_test::PlaceStandin(u"NorvCom.dll", dir_.Join(u"CoreDir\\NorvCom.dll")));
    ASSERT_TRUE(engine_test::PlaceStandin(u"NorvFault.dll", dir_.Join(u"CoreDir\\NorvFault.dll")));
    ASSERT_TRUE(engine_test::PlaceStandin(u"NorvCom.dll", dir_.Join(u"CoreDir\\NorvCom32.dll")));
    engine_test::MarkImageAs32Bit(dir_.Join(u"CoreDir\\NorvCom32.dll"));
    compose_.name = u"Core";
    compose_.folder = u"CoreDir";
  }
  void Describe(const std::string& uninstall_section) {
    const std::vector<unsigned char> bytes = testing_support::Utf16Bytes(base::Utf8ToUtf16("[Version]\nPath=CoreDir\n" + uninstall_section));
    ASSERT_TRUE(compose_.ini.ParseBuffer(bytes.data(), bytes.size()));
  }
  testing_support::ScratchDir dir_;
  engine::TargetFolders folders_;
  engine::Compose compose_{engine::WorkPaths(dir_.path())};
};

TEST_F(UninstallComposeDllTest, EntryPointsAreCalledInOrderAndFailuresPassedOver) {
  struct Case {
    const char* section;
    bool restart;
    std::vector<std::string> log_lines;
  } cases[] = {
      {"", false, {}},
      {"[Uninstall]\nmissing.dll=\nNorvCom.dll=\n", true,
       {"waring: uninstall compose dll ", "missing.dll LoadLibraryEx error!", "NorvCom.dll ok,restart=1 "}},
      {"[Uninstall]\nNorvFault.dll=\nNorvCom.dll=Nowhere\n", false,
       {"catch error UninstallDll", "GetProcAddress is null, function name=Nowhere "}},
      {"[Uninstall]\nNorvCom32.dll=\n", false, {"NorvCom32.dll is a 32-bit dll, passed over"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    Describe(c.section);
    testing_support::LogTail log;
    bool restart = false;
    engine::UninstallComposeDll(compose_, folders_, &restart);
    EXPECT_EQ(restart, c.restart);
    for (const std::string& line : c.log_lines) EXPECT_NE(log.Text().find(line), std::string::npos) << line;
    if (c.log_lines.empty()) {
      EXPECT_EQ(log.Text().find("uninstall compose dll"), std::string::npos);
    }
  }
}

}  // namespace
