// The downloader against the scripted server: the request on the wire, redirects, status handling,
// resume, early ends, time-outs and malformed answers; the file left behind, the result code,
// the callback sequence and the log line. Then against a real nginx: a whole file behind a
// redirect, and a resume answered with a real 206 to the Range line.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/strings.h"
#include "net/download_codes.h"
#include "net/http_text.h"
#include "net/url_down.h"
#include "package/package_test_files.h"
#include "platform/fs.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"
#include "test_servers.h"

namespace {

using net_test::ScriptServer;
using testing::HasSubstr;
using testing_support::Exists;
using testing_support::ReadText;
using Events = std::vector<std::string>;

std::string Pattern(size_t size, uint32_t seed) {
  const package_test::Buf bytes = package_test::Noise(size, seed);
  return std::string(bytes.begin(), bytes.end());
}

std::string Ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

std::string Redirect(const std::string& location) {
  return "HTTP/1.1 302 Found\r\nContent-Location: /not-this\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

std::string Request(const std::string& path, int32_t offset = 0) {
  return net::BuildRequest(path, "127.0.0.1", offset);
}

// Records the notifications in order; progress calls are counted into one event.
class Recorder : public net::IDownCallBack {
 public:
  bool IsStop() override { return stop_after && progress.size() >= stop_after; }
  void OnProgress(const char16_t* path, int32_t total, int32_t present) override {
    if (progress.empty()) events.push_back("progress");
    paths.push_back(path);
    progress.push_back(present);
  }
  void OnBegin(const char16_t* path, int32_t total) override {
    events.push_back("begin " + std::to_string(total));
    paths.push_back(path);
  }
  void OnEnd(const char16_t* path, bool success) override {
    events.push_back(std::string("end ") + (success ? "ok" : "failed"));
    paths.push_back(path);
  }
  // Reports come once 64 KiB or more arrived since the last one, and the last gives the full size.
  void ExpectSpacedReports(int32_t start, int32_t full) const {
    ASSERT_FALSE(progress.empty());
    for (size_t i = 0; i + 1 < progress.size(); start = progress[i++]) EXPECT_GE(progress[i] - start, 65536) << i;
    EXPECT_EQ(progress.back(), full);
  }
  std::vector<std::string> events;
  std::vector<int32_t> progress;
  std::vector<std::u16string> paths;
  size_t stop_after = 0;  // IsStop answers true once this many reports came
};

class UrlDownTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void Reset() {
    recorder_ = Recorder();
    down_.reset(net::CreateUrlDown(&recorder_));
    ASSERT_TRUE(down_);
    platform::DeleteFileAt(target_);
  }
  uint32_t Get(const std::u16string& url, bool resume = false) {
    return down_->Download(url.c_str(), target_.c_str(), resume);
  }

  testing_support::ScratchDir dir_;
  testing_support::LogTail log_;
  Recorder recorder_;
  net::UrlDownPtr down_;
  std::u16string target_ = dir_.Join(u"BigFile.dat"), temp_ = target_ + u".tmp";
};

TEST_F(UrlDownTest, AStopEndsTheTransferAndKeepsWhatArrivedForAResume) {
  const std::string body = Pattern(1000000, 3);
  ScriptServer server;
  server.Serve({Ok(body)});
  recorder_.stop_after = 1;
  EXPECT_EQ(Get(server.Url("/BigFile.dat")), net::kDownStopped);
  EXPECT_FALSE(Exists(target_));
  const std::string kept = ReadText(temp_);
  EXPECT_EQ(kept.size(), static_cast<size_t>(recorder_.progress.back()));
  EXPECT_LT(kept.size(), body.size());
  EXPECT_EQ(kept, body.substr(0, kept.size()));
  EXPECT_EQ(recorder_.events.back(), "end failed");
}

TEST_F(UrlDownTest, FetchesABodyWithTheRequestAndMovesItIntoPlace) {
  const std::string body = Pattern(10000, 1);
  ScriptServer server;
  server.Serve({Ok(body)});
  const std::u16string url = u"  " + server.Url("/pkg/BigFile.dat?v=2&x=%41") + u" ";
  EXPECT_EQ(Get(url), net::kDownOk);
  server.WaitDone();
  EXPECT_EQ(server.requests(), Events{Request("/pkg/BigFile.dat?v=2&x=%41")});
  EXPECT_EQ(ReadText(target_), body);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_EQ(recorder_.events, (Events{"begin 10000", "progress", "end ok"}));
  EXPECT_EQ(recorder_.progress, std::vector<int32_t>{10000});  // under 64 KiB: one report at the end
  EXPECT_EQ(recorder_.paths.front(), temp_);
  EXPECT_EQ(recorder_.paths.back(), target_);
  EXPECT_THAT(log_.Text(),
              HasSubstr("CUrlDown: " + base::Utf16ToUtf8(url) + " to " + base::Utf16ToUtf8(target_) + ", ret=0"));
}

TEST_F(UrlDownTest, ReplacesAnExistingReadOnlyTargetAndServesSequentialCalls) {
  testing_support::WriteText(target_, "old");
  std::filesystem::permissions(testing_support::Native(target_), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  ScriptServer server;
  server.Serve({Ok("first") + "bytes past its length", Ok("second")});
  EXPECT_EQ(Get(server.Url("/a")), net::kDownOk);
  EXPECT_EQ(ReadText(target_), "first");
  EXPECT_EQ(Get(server.Url("/b")), net::kDownOk);
  EXPECT_EQ(ReadText(target_), "second");
}

// A relative redirect keeps host and port of the current URL and appends the old query.
TEST_F(UrlDownTest, FollowsFourAbsoluteOrRelativeRedirectsAndRefusesTheFifth) {
  for (const int redirects : {4, 5}) {
    Reset();
    ScriptServer server;
    std::vector<std::string> answers = {Redirect("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/r1?y=1")};
    for (int i = 2; i <= redirects; ++i) answers.push_back(Redirect("/r" + std::to_string(i)));
    if (redirects == 4) answers.push_back(Ok("body"));
    server.Serve(answers);
    EXPECT_EQ(Get(server.Url("/r0?x=0")), redirects == 4 ? net::kDownOk : net::kDownTooManyRedirects) << redirects;
    server.WaitDone();
    EXPECT_FALSE(Exists(temp_));
    if (redirects == 5) {
      EXPECT_EQ(recorder_.events, Events{"end failed"});
      EXPECT_FALSE(Exists(target_));
      continue;
    }
    EXPECT_EQ(server.requests(), (Events{Request("/r0?x=0"), Request("/r1?y=1"), Request("/r2?y=1"),
                                         Request("/r3?y=1"), Request("/r4?y=1")}));
    EXPECT_EQ(ReadText(target_), "body");
    EXPECT_EQ(recorder_.events, (Events{"begin 4", "progress", "end ok"}));
    // The log names the URL that was finally fetched.
    EXPECT_THAT(log_.Text(), HasSubstr("CUrlDown: " + base::Utf16ToUtf8(server.Url("/r4?y=1")) + " to "));
  }
}

TEST_F(UrlDownTest, EndsOnStatusesItDoesNotTakeAndOnAnswersWithoutStatus) {
  const struct {
    const char* name;
    std::string answer;
    uint32_t result;
  } cases[] = {
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!", 2404},
      {"500 lower case", "http/1.0 500 Oops\r\n\r\n", 2500},
      {"garbage", "SSH-2.0-OpenSSH_9.2\r\nwhatever\r\n\r\n", 2000},
      {"closed at once", "", 2000},
      {"oversized header", "HTTP/1.1 200 OK\r\n" + std::string(70000, 'X') + "\r\n\r\nbody", 2000},
      // A header that ends with the connection still counts: a 200 without a body.
      {"header cut short", "HTTP/1.1 200 OK\r\nContent-Len", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    ScriptServer server;
    server.Serve({c.answer});
    EXPECT_EQ(Get(server.Url("/s")), c.result);
    EXPECT_EQ(recorder_.events, (c.result ? Events{"end failed"} : Events{"begin 0", "end ok"}));
    EXPECT_EQ(Exists(target_), c.result == 0);
    EXPECT_FALSE(Exists(temp_));
    EXPECT_THAT(log_.Text(), HasSubstr("to " + base::Utf16ToUtf8(target_) + ", ret=" + std::to_string(c.result)));
  }
}

// Resuming needs a temporary file of at least 409600 bytes and a call that asks for it; the last
// 8 KiB are fetched again. A server that ignores the Range line has the file written from byte 0
// and cut at its end; a failed resumed transfer keeps the temporary file for the next attempt.
TEST_F(UrlDownTest, ResumesStartsAfreshOrKeepsTheTemporaryFile) {
  const std::string body = Pattern(1000, 8);
  const struct {
    size_t temp_size;
    bool resume;
    int32_t range;
    std::string answer;
    uint32_t result;
  } cases[] = {
      {409599, true, 0, Ok(body), net::kDownOk},
      {409600, false, 0, Ok(body), net::kDownOk},
      {500000, true, 491808, Ok(body), net::kDownOk},
      {409600, true, 401408, "HTTP/1.1 404 Not Found\r\n\r\n", 2404},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.temp_size);
    Reset();
    const std::string partial = Pattern(c.temp_size, 9);
    testing_support::WriteText(temp_, partial);
    ScriptServer server;
    server.Serve({c.answer});
    EXPECT_EQ(Get(server.Url("/f"), c.resume), c.result);
    server.WaitDone();
    EXPECT_EQ(server.requests(), Events{Request("/f", c.range)});
    EXPECT_EQ(ReadText(target_), c.result ? "" : body);
    EXPECT_EQ(ReadText(temp_), c.result ? partial : "");
  }
}

// A body cut short is a failed download, never a complete file: what arrived stays in the
// temporary file for a resume.
TEST_F(UrlDownTest, KeepsWhatArrivedForAResumeWhenTheConnectionClosesEarlyOrTimesOut) {
  const std::string body = Pattern(10000, 13);
  {
    ScriptServer server;
    server.Serve({Ok(body).substr(0, Ok(body).size() - 7000)});
    EXPECT_EQ(Get(server.Url("/e")), net::kDownIncomplete);
    EXPECT_FALSE(Exists(target_));
    EXPECT_EQ(ReadText(temp_), body.substr(0, 3000));
  }
  Reset();
  EXPECT_EQ(down_->SetRecvTimeout(600), 600u);
  ScriptServer server;
  // Bytes sent after the pause must not arrive: the receive has given up by then.
  server.Serve({Ok(body)}, Ok(body).size() - body.size() + 100, 3000);
  EXPECT_EQ(Get(server.Url("/t")), net::kDownIncomplete);
  EXPECT_EQ(ReadText(temp_), body.substr(0, 100));
  EXPECT_EQ(recorder_.events, (Events{"begin 10000", "progress", "end failed"}));
}

TEST_F(UrlDownTest, UrlsThatCannotBeParsedEndWithoutEndNotificationOrLogEntry) {
  const struct {
    const char16_t* url;
    const char16_t* target;
    uint32_t result;
  } cases[] = {{u"http://127.0.0.1", target_.c_str(), net::kDownBadUrl},
               {nullptr, target_.c_str(), net::kDownMissingArgument},
               {u"http://127.0.0.1/x", u"", net::kDownMissingArgument}};
  for (const auto& c : cases) EXPECT_EQ(down_->Download(c.url, c.target, false), c.result);
  EXPECT_TRUE(recorder_.events.empty());
  EXPECT_EQ(log_.Text().find("CUrlDown: http://127.0.0.1 to"), std::string::npos);
}

TEST_F(UrlDownTest, ARefusedConnectionSurfacesAsASendFailure) {
  EXPECT_EQ(down_->SetConnectTries(2), 2u);
  EXPECT_EQ(Get(net_test::LocalUrl(net_test::FreePort(), "/x")), net::kDownSendFailed);
  EXPECT_EQ(recorder_.events, (Events{"end failed"}));
  EXPECT_FALSE(Exists(temp_));
}

constexpr size_t kNginxFileSize = 3 * 1048576 + 123;

// One nginx for all its tests, serving a 3 MiB file; stopped when the program ends.
class UrlDownNginxTest : public UrlDownTest {
 protected:
  void SetUp() override {
    static const std::string content = Pattern(kNginxFileSize, 14);
    static net_test::NginxInstance nginx;
    static const ::testing::AssertionResult started = (nginx.PutFile(u"big.bin", content), nginx.Start(300));
    ASSERT_TRUE(started);
    nginx_ = &nginx;
    content_ = &content;
    UrlDownTest::SetUp();
  }
  net_test::NginxInstance* nginx_ = nullptr;
  const std::string* content_ = nullptr;
};

TEST_F(UrlDownNginxTest, FetchesTheWholeFileAndFollowsItsRedirect) {
  EXPECT_EQ(Get(nginx_->Url("/moved"), true), net::kDownOk);
  EXPECT_EQ(ReadText(target_), *content_);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_EQ(recorder_.events, (Events{"begin " + std::to_string(kNginxFileSize), "progress", "end ok"}));
  recorder_.ExpectSpacedReports(0, kNginxFileSize);
  const std::string log = nginx_->AccessLog();
  EXPECT_THAT(log, HasSubstr("301 \"-\""));
  EXPECT_THAT(log, HasSubstr("200 \"-\" " + std::to_string(kNginxFileSize) + " \"GET /big.bin HTTP/1.1\""));
}

TEST_F(UrlDownNginxTest, ResumesWithARealRangeAnswer) {
  // A broken earlier attempt: one million bytes, the last 8 KiB of them damaged.
  std::string partial = content_->substr(0, 1000000);
  std::fill(partial.end() - 8192, partial.end(), '\xEE');
  testing_support::WriteText(temp_, partial);
  EXPECT_EQ(Get(nginx_->Url("/big.bin"), true), net::kDownOk);
  EXPECT_EQ(ReadText(target_), *content_);
  const int32_t offset = 1000000 - 8192;
  EXPECT_EQ(recorder_.events, (Events{"begin " + std::to_string(kNginxFileSize), "progress", "end ok"}));
  recorder_.ExpectSpacedReports(offset, kNginxFileSize);
  const std::string log = nginx_->AccessLog();
  EXPECT_THAT(log, HasSubstr("206 \"bytes=" + std::to_string(offset) + "-\" " +
                             std::to_string(kNginxFileSize - offset) + " \"GET /big.bin HTTP/1.1\""));
}

}  // namespace
