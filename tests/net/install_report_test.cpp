// Report URLs from formats in files, and the already-installed report against the scripted server.
#include <gmock/gmock.h>

#include <string>

#include "base/placeholder.h"
#include "base/strings.h"
#include "net/download_codes.h"
#include "net/install_report.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"
#include "test_servers.h"

namespace {

using net_test::ScriptServer;
using testing::HasSubstr;

TEST(Placeholders, OnlyTextPlaceholdersAreFilledAndEveryOtherPercentStays) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"http://h/r?a=%20&id=%s&b=%d%x%n%%s%", u"http://h/r?a=%20&id=ID&b=%d%x%n%%s%"},
      {u"%s/%s/%S", u"ID/%s/%S"},  // one value: the second placeholder stays as written
      {u"%", u"%"},
  };
  for (const auto& [format, expected] : cases) {
    EXPECT_EQ(base::SubstitutePlaceholders(format, {u"ID"}), expected) << base::Utf16ToUtf8(format);
  }
  EXPECT_EQ(base::SubstitutePlaceholders(u"%s-%s-%s", {u"a", u"%s"}), u"a-%s-%s");
  EXPECT_EQ(base::SubstitutePlaceholders(u"x%sy", {}), u"x%sy");
}

TEST(ReportUrls, CarryTheIdentifierAndForTheSetupReportFileAndOem) {
  EXPECT_EQ(net::SetupReportUrl(u"http://r/s.php?mid=%s&p=100%", u"ABC0", u"Setup.exe", u"oem7"),
            u"http://r/s.php?mid=ABC0&p=100%&File=Setup.exe&OEM=oem7");
  EXPECT_EQ(net::AlreadyInstalledResponseFile(u"C:\\t\\HavenClient\\", 4294967295u),
            u"C:\\t\\HavenClient\\\\norv_-1.tmp");
  EXPECT_EQ(net::SetupResponseFile(u"C:\\t\\HavenClient\\"), u"C:\\t\\HavenClient\\\\seturl.tmp");
}

TEST(AlreadyInstalledReport, SendsTheIdentifierAndKeepsTheAnswerInTheWorkFolder) {
  testing_support::ScratchDir work;
  testing_support::LogTail log;
  ScriptServer server;
  server.Serve({"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nthanks"});
  // The address is configuration: "%41" and "%d" in it are no placeholders.
  EXPECT_EQ(net::SendAlreadyInstalledReport(server.Url("/inst.php?mid=%s&c=%41%d"), u"ID7", work.path() + u"\\", 777),
            net::kDownOk);
  server.WaitDone();
  EXPECT_EQ(server.requests().at(0).substr(0, 40), "GET /inst.php?mid=ID7&c=%41%d HTTP/1.1\r\n");
  EXPECT_EQ(testing_support::ReadText(work.Join(u"norv_777.tmp")), "thanks");
  EXPECT_THAT(log.Text(), HasSubstr("setup callAlreadyInstance ok! url=" +
                                     base::Utf16ToUtf8(server.Url("/inst.php?mid=ID7")) + "&c=%41%d \r\n"));
}

// An empty format is still attempted; a refusing server gives the download code.
TEST(AlreadyInstalledReport, FailuresAreLoggedWithTheDownloadCode) {
  testing_support::ScratchDir work;
  const std::u16string refused = net_test::LocalUrl(net_test::FreePort(), "/x?id=");
  const struct {
    std::u16string format;
    uint32_t result;
    std::string logged_url;
    const char* code_line;
  } cases[] = {
      {u"", net::kDownMissingArgument, "", "modCode : 2 \r\n"},
      {refused + u"%s", net::kDownSendFailed, base::Utf16ToUtf8(refused) + "ID", "modCode : 3003 \r\n"},
  };
  for (const auto& c : cases) {
    testing_support::LogTail log;
    EXPECT_EQ(net::SendAlreadyInstalledReport(c.format, u"ID", work.path() + u"\\", 1), c.result);
    const std::string added = log.Text();
    EXPECT_THAT(added, HasSubstr("setup callAlreadyInstance failed, url=" + c.logged_url + " \r\n"));
    EXPECT_THAT(added, HasSubstr(c.code_line));
  }
}

}  // namespace
