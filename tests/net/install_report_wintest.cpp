// The two reports as the program sends them on Windows: format, machine identifier, program file
// name and the "OEM" registry text; response files in the working folder; log lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/folders.h"
#include "base/strings.h"
#include "engine/local_install.h"
#include "net/install_report.h"
#include "net/machine_id.h"
#include "platform/registry.h"
#include "support/log_tail.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"
#include "test_servers.h"

namespace {

using net_test::ScriptServer;

constexpr char16_t kClientKey[] = u"Software\\NorvClient";

// Sets (or with null removes) a value under the client key; the old one comes back at the end of
// the scope. Other test programs may share the prefix, so a value is changed only for as long as
// a test needs it.
class ScopedClientValue : public testing_support::SavedRegistryValue {
 public:
  ScopedClientValue(const char16_t* name, const char16_t* value) : SavedRegistryValue(kClientKey, name) {
    if (value) {
      Set(value);
    } else {
      Remove();
    }
  }
};

std::u16string WorkFolderResponse(const char16_t* name) {
  std::filesystem::create_directories(std::filesystem::path(app::GetTempWorkDir()));
  return app::GetTempWorkDir() + u"\\" + name;
}

TEST(SetupReport, AppendsTheProgramFileAndTheOemText) {
  struct Case {
    const char16_t* oem;  // null: no value
    std::string expected_tail;
  };
  const std::string id = base::Utf16ToUtf8(net::GetMachineId());
  for (const Case& c : {Case{u"partner 7", "&OEM=partner 7"}, Case{nullptr, "&OEM="}}) {
    ScopedClientValue oem(u"OEM", c.oem);
    const std::u16string response = WorkFolderResponse(u"seturl.tmp");
    std::filesystem::remove(std::filesystem::path(response));
    ScriptServer server("setup-report");
    server.AddConnection().Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    ASSERT_TRUE(server.Start());
    testing_support::LogTail log;

    net::SendSetupReport(server.Url("/done.php?mid=%s").c_str());
    ASSERT_TRUE(server.WaitDone());
    // The OEM text goes into the request line as it stands, blank included.
    const std::string path = "/done.php?mid=" + id + "&File=net_tests.exe" + c.expected_tail;
    EXPECT_EQ(server.Request(1).substr(0, server.Request(1).find("\r\n")), "GET " + path + " HTTP/1.1");
    EXPECT_EQ(testing_support::ReadBytes(response), std::vector<unsigned char>({'o', 'k'}));
    EXPECT_NE(log.Text().find("setup call ok! url=http://127.0.0.1:" + std::to_string(server.port()) + path +
                                         " \r\n"),
              std::string::npos);
  }
}

TEST(SetupReport, AnEmptyFormatSendsNothingAndLogsNothing) {
  testing_support::LogTail log;
  net::SendSetupReport(u"");
  net::SendSetupReport(nullptr);
  EXPECT_EQ(log.Text(), "");
}

TEST(SetupReport, AFailedTransferIsLoggedWithItsCode) {
  ScriptServer server("setup-404");
  server.AddConnection().Send("HTTP/1.1 404 Not Found\r\n\r\n");
  ASSERT_TRUE(server.Start());
  testing_support::LogTail log;
  net::SendSetupReport(server.Url("/gone?mid=%s").c_str());
  ASSERT_TRUE(server.WaitDone());
  const std::string added = log.Text();
  EXPECT_NE(added.find("setup call failed, url=" + base::Utf16ToUtf8(server.Url("/gone?mid="))), std::string::npos)
      << added;
  EXPECT_NE(added.find("modCode : 2404 \r\n"), std::string::npos) << added;
}

TEST(AlreadyInstalledReport, TakesUrl25FromTheInstalledInformationFile) {
  testing_support::ScratchDir install;
  std::filesystem::create_directories(std::filesystem::path(install.Join(u"ProgData")));
  ScriptServer server("url25");
  server.AddConnection().Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  ASSERT_TRUE(server.Start());
  testing_support::WriteText(install.Join(u"ProgData\\norvInfo.dat"),
                             "[Url]\r\nurl24=http://wrong/\r\nurl25 = " + base::Utf16ToUtf8(server.Url("/a.php?m=%s")) +
                                 "\r\n");
  {
    // The install folder is read once and cached; the registry value is put back at once.
    ScopedClientValue path(u"InstallPath", install.path().c_str());
    app::ResetInstallDirCacheForTesting();
    ASSERT_EQ(app::GetInstallDir(), install.path() + u"\\");
  }
  WorkFolderResponse(u"");
  testing_support::LogTail log;
  net::callAlreadyInstance();
  app::ResetInstallDirCacheForTesting();
  ASSERT_TRUE(server.WaitDone());
  const std::string url = base::Utf16ToUtf8(server.Url("/a.php?m=")) + base::Utf16ToUtf8(net::GetMachineId());
  EXPECT_NE(server.Request(1).find("GET /a.php?m=" + base::Utf16ToUtf8(net::GetMachineId()) + " HTTP/1.1"),
            std::string::npos);
  EXPECT_NE(log.Text().find("setup callAlreadyInstance ok! url=" + url + " \r\n"), std::string::npos);
}

}  // namespace
