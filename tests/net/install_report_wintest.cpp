// The two reports as the program sends them on Windows: format, machine identifier, program file
// name and the "OEM" registry text; response files in the working folder; log lines.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>

#include "app/folders.h"
#include "app/suite_key.h"
#include "base/strings.h"
#include "net/install_report.h"
#include "net/machine_id.h"
#include "support/log_tail.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"
#include "test_servers.h"

namespace {

using net_test::ScriptServer;
using testing::HasSubstr;
using testing_support::LogTail;
using testing_support::SavedRegistryValue;

std::string FirstLine(const std::string& text) { return text.substr(0, text.find("\r\n")); }

TEST(SetupReport, AppendsTheProgramFileAndTheOemText) {
  const std::string id = base::Utf16ToUtf8(net::GetMachineId());
  const std::u16string response = app::GetTempWorkDir() + u"\\seturl.tmp";
  std::filesystem::create_directories(std::filesystem::path(app::GetTempWorkDir()));
  for (const char16_t* oem : {u"partner 7", static_cast<const char16_t*>(nullptr)}) {
    // Other test programs may share the prefix: the value is changed only while the test needs it.
    const SavedRegistryValue saved(app::kSuiteKey, u"OEM");
    if (oem) {
      saved.Set(oem);
    } else {
      saved.Remove();
    }
    std::filesystem::remove(std::filesystem::path(response));
    ScriptServer server;
    server.Serve({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"});
    LogTail log;
    net::SendSetupReport(server.Url("/done.php?mid=%s").c_str());
    server.WaitDone();
    // The OEM text goes into the request line as it stands, blank included.
    const std::string path = "/done.php?mid=" + id + "&File=net_tests.exe&OEM=" + (oem ? "partner 7" : "");
    EXPECT_EQ(FirstLine(server.requests().at(0)), "GET " + path + " HTTP/1.1");
    EXPECT_EQ(testing_support::ReadText(response), "ok");
    EXPECT_THAT(log.Text(),
                HasSubstr("setup call ok! url=http://127.0.0.1:" + std::to_string(server.port()) + path + " \r\n"));
  }
}

TEST(SetupReport, AnEmptyFormatSendsNothingAndAFailedTransferIsLoggedWithItsCode) {
  LogTail log;
  net::SendSetupReport(u"");
  net::SendSetupReport(nullptr);
  EXPECT_EQ(log.Text(), "");
  ScriptServer server;
  server.Serve({"HTTP/1.1 404 Not Found\r\n\r\n"});
  net::SendSetupReport(server.Url("/gone?mid=%s").c_str());
  const std::string added = log.Text();
  EXPECT_THAT(added, HasSubstr("setup call failed, url=" + base::Utf16ToUtf8(server.Url("/gone?mid="))));
  EXPECT_THAT(added, HasSubstr("modCode : 2404 \r\n"));
}

TEST(AlreadyInstalledReport, TakesUrl25FromTheInstalledInformationFile) {
  testing_support::ScratchDir install;
  std::filesystem::create_directories(std::filesystem::path(install.Join(u"ProgData")));
  ScriptServer server;
  server.Serve({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"});
  testing_support::WriteText(install.Join(u"ProgData\\norvInfo.dat"),
                             "[Url]\r\nurl24=http://wrong/\r\nurl25 = " + base::Utf16ToUtf8(server.Url("/a.php?m=%s")) +
                                 "\r\n");
  {
    // The install folder is read once and cached; the registry value is put back at once.
    const SavedRegistryValue saved(app::kSuiteKey, u"InstallPath");
    saved.Set(install.path());
    app::ResetInstallDirCacheForTesting();
    ASSERT_EQ(app::GetInstallDir(), install.path() + u"\\");
  }
  std::filesystem::create_directories(std::filesystem::path(app::GetTempWorkDir()));
  LogTail log;
  net::callAlreadyInstance();
  app::ResetInstallDirCacheForTesting();
  server.WaitDone();
  const std::string id = base::Utf16ToUtf8(net::GetMachineId());
  EXPECT_EQ(FirstLine(server.requests().at(0)), "GET /a.php?m=" + id + " HTTP/1.1");
  EXPECT_THAT(log.Text(), HasSubstr("setup callAlreadyInstance ok! url=" + base::Utf16ToUtf8(server.Url("/a.php?m=")) +
                                     id + " \r\n"));
}

}  // namespace
