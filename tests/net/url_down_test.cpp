// The downloader against the scripted server: exact request bytes, redirects, status handling,
// resume, early ends, time-outs and malformed answers; the file left behind, the result code,
// the callback sequence and the log line. Then against a real nginx: a whole file behind a
// redirect, and a resume answered with a real 206 to the Range line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/strings.h"
#include "net/download_codes.h"
#include "net/url_down.h"
#include "platform/fs.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"
#include "test_servers.h"

namespace {

using net_test::ScriptServer;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::WriteBytes;
using Bytes = std::vector<unsigned char>;

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(x >> 24);
  }
  return bytes;
}

Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

std::string ExpectedRequest(const std::string& path, const std::string& host, const std::string& range = "") {
  return "GET " + path +
         " HTTP/1.1\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98; Velox )\r\n"
         "Host: " + host + "\r\nPragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n" +
         (range.empty() ? "" : "Range: bytes=" + range + "-\r\n") + "\r\n";
}

std::string Answer(const std::string& status, size_t length) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
         std::to_string(length) + "\r\n\r\n";
}

std::string Redirect(const std::string& location) {
  return "HTTP/1.1 302 Found\r\nContent-Location: /not-this\r\nLocation: " + location +
         "\r\nContent-Length: 0\r\n\r\n";
}

// Records the notifications in order; progress calls are counted into one event.
class Recorder : public net::IDownCallBack {
 public:
  bool IsStop() override {
    events.push_back("stop?");
    return false;
  }
  void OnProgress(const char16_t* path, int32_t total, int32_t present) override {
    if (progress.empty()) events.push_back("progress");
    progress_path = path;
    progress.push_back(present);
    progress_total = total;
  }
  void OnBegin(const char16_t* path, int32_t total) override {
    events.push_back("begin " + std::to_string(total));
    begin_path = path;
  }
  void OnEnd(const char16_t* path, bool success) override {
    events.push_back(std::string("end ") + (success ? "ok" : "failed"));
    end_path = path;
  }
  void Clear() { *this = Recorder(); }
  std::vector<std::string> events;
  std::vector<int32_t> progress;
  int32_t progress_total = -1;
  std::u16string begin_path, progress_path, end_path;
};

using Events = std::vector<std::string>;

class UrlDownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    down_.reset(net::CreateUrlDown(&recorder_));
    ASSERT_TRUE(down_);
    target_ = dir_.Join(u"BigFile.dat");
    temp_ = target_ + u".tmp";
  }
  uint32_t Get(const std::u16string& url, bool resume = false) {
    return down_->Download(url.c_str(), target_.c_str(), resume);
  }

  testing_support::ScratchDir dir_;
  testing_support::LogTail log_;
  Recorder recorder_;
  net::UrlDownPtr down_;
  std::u16string target_, temp_;
};

TEST_F(UrlDownTest, FetchesABodyWithTheExactRequestAndMovesItIntoPlace) {
  const Bytes body = Pattern(10000, 1);
  ScriptServer server("plain");
  server.PutFile("body", body);
  server.AddConnection().Send(Answer("200 OK", body.size())).SendFile("body", 0, body.size());
  ASSERT_TRUE(server.Start());
  const std::u16string url = server.Url("/pkg/BigFile.dat?v=2&x=%41");

  EXPECT_EQ(Get(u"  " + url + u" "), net::kDownOk);
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Request(1), ExpectedRequest("/pkg/BigFile.dat?v=2&x=%41", "127.0.0.1"));
  EXPECT_EQ(ReadBytes(target_), body);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_EQ(recorder_.events, (Events{"begin 10000", "progress", "end ok"}));
  EXPECT_GE(recorder_.progress.size(), 3u);  // at most 4096 bytes a block
  EXPECT_EQ(recorder_.progress.back(), 10000);
  EXPECT_EQ(recorder_.progress_total, 10000);
  EXPECT_EQ(recorder_.begin_path, temp_);
  EXPECT_EQ(recorder_.progress_path, temp_);
  EXPECT_EQ(recorder_.end_path, target_);
  EXPECT_NE(log_.Text().find("CUrlDown: " + base::Utf16ToUtf8(u"  " + url + u" ") + " to " +
                               base::Utf16ToUtf8(target_) + ", ret=0"),
            std::string::npos);
}

TEST_F(UrlDownTest, ReplacesAnExistingReadOnlyTargetAndServesSequentialCalls) {
  const Bytes first = Pattern(5000, 3), second = Pattern(7000, 4);
  WriteBytes(target_, Pattern(99, 5));
  std::filesystem::permissions(std::filesystem::path(target_), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  ScriptServer server("sequential");
  server.PutFile("first", first);
  server.PutFile("second", second);
  server.AddConnection().Send(Answer("200 OK", first.size())).SendFile("first", 0, first.size());
  server.AddConnection().Send(Answer("200 OK", second.size())).SendFile("second", 0, second.size());
  ASSERT_TRUE(server.Start());

  EXPECT_EQ(Get(server.Url("/a")), net::kDownOk);
  EXPECT_EQ(ReadBytes(target_), first);
  EXPECT_EQ(Get(server.Url("/b")), net::kDownOk);
  EXPECT_EQ(ReadBytes(target_), second);
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Request(2), ExpectedRequest("/b", "127.0.0.1"));
}

TEST_F(UrlDownTest, FollowsAbsoluteAndRelativeRedirects) {
  const Bytes body = Pattern(300, 2);
  ScriptServer server("redirects");
  server.PutFile("body", body);
  server.AddConnection().Send(Redirect("HTTP://127.0.0.1:{port}/second?y=1"));
  // Relative: host and port of the current URL, the old query appended.
  server.AddConnection().Send(Redirect("/third"));
  server.AddConnection().Send(Answer("200 OK", body.size())).SendFile("body", 0, body.size());
  ASSERT_TRUE(server.Start());

  EXPECT_EQ(Get(server.Url("/first?x=0")), net::kDownOk);
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Request(1), ExpectedRequest("/first?x=0", "127.0.0.1"));
  EXPECT_EQ(server.Request(2), ExpectedRequest("/second?y=1", "127.0.0.1"));
  EXPECT_EQ(server.Request(3), ExpectedRequest("/third?y=1", "127.0.0.1"));
  EXPECT_EQ(ReadBytes(target_), body);
  EXPECT_EQ(recorder_.events, (Events{"begin 300", "progress", "end ok"}));
  // The log names the URL that was finally fetched.
  EXPECT_NE(log_.Text().find("CUrlDown: " + base::Utf16ToUtf8(server.Url("/third?y=1")) + " to "),
            std::string::npos);
}

TEST_F(UrlDownTest, FollowsFourRedirectsAndRefusesTheFifth) {
  for (const int redirects : {4, 5}) {
    SCOPED_TRACE(redirects);
    recorder_.Clear();
    platform::DeleteFileAt(target_);
    const Bytes body = Pattern(100, 6);
    ScriptServer server("redirect-limit");
    server.PutFile("body", body);
    for (int i = 1; i <= redirects; ++i) server.AddConnection().Send(Redirect("/r" + std::to_string(i)));
    if (redirects == 4) server.AddConnection().Send(Answer("200 OK", body.size())).SendFile("body", 0, body.size());
    ASSERT_TRUE(server.Start());

    const uint32_t result = Get(server.Url("/r0"));
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.ServedConnections(), 5);
    if (redirects == 4) {
      EXPECT_EQ(result, net::kDownOk);
      EXPECT_EQ(server.Request(5), ExpectedRequest("/r4", "127.0.0.1"));
      EXPECT_EQ(ReadBytes(target_), body);
    } else {
      EXPECT_EQ(result, net::kDownTooManyRedirects);
      EXPECT_EQ(recorder_.events, (Events{"end failed"}));
      EXPECT_FALSE(Exists(target_));
      EXPECT_FALSE(Exists(temp_));
    }
  }
}

TEST_F(UrlDownTest, EndsOnStatusesItDoesNotTakeAndOnAnswersWithoutStatus) {
  struct Case {
    const char* name;
    std::string answer;
    uint32_t result;
  };
  const std::string long_header = "HTTP/1.1 200 OK\r\n" + std::string(70000, 'X') + "\r\n\r\nbody";
  const std::vector<Case> cases = {
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!", 2404},
      {"500 lower case", "http/1.0 500 Oops\r\n\r\n", 2500},
      {"304", "HTTP/1.1 304 Not Modified\r\n\r\n", 2304},
      {"redirect without location", "HTTP/1.1 301 Moved\r\nContent-Location: /x\r\n\r\n", net::kDownBadRedirect},
      {"garbage", "SSH-2.0-OpenSSH_9.2\r\nwhatever\r\n\r\n", 2000},
      {"closed at once", "", 2000},
      {"header cut short", "HTTP/1.1 200 OK\r\nContent-Len", 0},
      {"oversized header", long_header, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder_.Clear();
    ScriptServer server("status");
    server.AddConnection().Send(c.answer);
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(Get(server.Url("/s")), c.result);
    ASSERT_TRUE(server.WaitDone());
    if (c.result == 0) {
      // A header that ends with the connection still counts; the 200 with no body gives an empty file.
      EXPECT_EQ(recorder_.events, (Events{"begin 0", "end ok"}));
      EXPECT_EQ(ReadBytes(target_), Bytes());
      platform::DeleteFileAt(target_);
    } else {
      EXPECT_EQ(recorder_.events, (Events{"end failed"}));
      EXPECT_FALSE(Exists(target_));
      EXPECT_FALSE(Exists(temp_));
      EXPECT_NE(log_.Text().find("to " + base::Utf16ToUtf8(target_) + ", ret=" + std::to_string(c.result)),
                std::string::npos);
    }
  }
}

TEST_F(UrlDownTest, ResumesATemporaryFileOfAtLeast409600BytesAndRefetchesItsLast8KiB) {
  const Bytes full = Pattern(600000, 7);
  // The temporary file holds the first 409600 bytes, its last 8 KiB damaged.
  Bytes partial = Slice(full, 0, 409600);
  std::fill(partial.end() - 8192, partial.end(), 0);
  WriteBytes(temp_, partial);
  ScriptServer server("resume");
  server.PutFile("full", full);
  server.AddConnection()
      .Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 401408-599999/600000\r\nContent-Length: " +
            std::to_string(600000 - 401408) + "\r\n\r\n")
      .SendFile("full", 401408, 600000);
  ASSERT_TRUE(server.Start());

  EXPECT_EQ(Get(server.Url("/big"), true), net::kDownOk);
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Request(1), ExpectedRequest("/big", "127.0.0.1", "401408"));
  EXPECT_EQ(ReadBytes(target_), full);
  EXPECT_EQ(recorder_.events, (Events{"begin 600000", "progress", "end ok"}));
  ASSERT_FALSE(recorder_.progress.empty());
  EXPECT_GT(recorder_.progress.front(), 401408);
  EXPECT_LE(recorder_.progress.front(), 401408 + 4096);
  EXPECT_EQ(recorder_.progress.back(), 600000);
}

// A temporary file below 409600 bytes, or a call without resume, starts afresh; a server that
// ignores the Range line has the file written from byte 0 and cut at its end; a failed resumed
// transfer keeps the temporary file for the next attempt.
TEST_F(UrlDownTest, StartsAfreshKeepsOrRestartsTheTemporaryFile) {
  struct Case {
    size_t temp_size;
    bool resume;
    const char* range;
    std::string answer;
    uint32_t result;
  };
  const Bytes body = Pattern(1000, 8);
  const Case cases[] = {
      {409599, true, "", Answer("200 OK", body.size()), net::kDownOk},
      {409600, false, "", Answer("200 OK", body.size()), net::kDownOk},
      {500000, true, "491808", Answer("200 OK", body.size()), net::kDownOk},
      {409600, true, "401408", "HTTP/1.1 404 Not Found\r\n\r\n", 2404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.temp_size);
    recorder_.Clear();
    platform::DeleteFileAt(target_);
    const Bytes partial = Pattern(c.temp_size, 9);
    WriteBytes(temp_, partial);
    ScriptServer server("fresh");
    server.PutFile("body", body);
    server.AddConnection().Send(c.answer).SendFile("body", 0, c.result == 0 ? body.size() : 0);
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(Get(server.Url("/f"), c.resume), c.result);
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Request(1), ExpectedRequest("/f", "127.0.0.1", c.range));
    if (c.result == 0) {
      EXPECT_EQ(ReadBytes(target_), body);
      ASSERT_FALSE(recorder_.progress.empty());
      EXPECT_EQ(recorder_.progress.back(), 1000);
    } else {
      EXPECT_EQ(ReadBytes(temp_), partial);
      EXPECT_FALSE(Exists(target_));
      EXPECT_EQ(recorder_.events, (Events{"end failed"}));
    }
  }
}

TEST_F(UrlDownTest, KeepsWhatArrivedWhenTheConnectionClosesEarlyOrTimesOut) {
  const Bytes body = Pattern(10000, 13);
  {
    ScriptServer server("early-close");
    server.PutFile("body", body);
    server.AddConnection().Send(Answer("200 OK", body.size())).SendFile("body", 0, 3000);
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(Get(server.Url("/e")), net::kDownOk);
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(ReadBytes(target_), Slice(body, 0, 3000));
  }
  {
    recorder_.Clear();
    EXPECT_EQ(down_->SetRecvTimeout(600), 600u);
    ScriptServer server("time-out");
    server.PutFile("body", body);
    // Bytes sent after the pause must not arrive: the receive has given up by then.
    server.AddConnection()
        .Send(Answer("200 OK", body.size()))
        .SendFile("body", 0, 100)
        .Sleep(3)
        .SendFile("body", 100, body.size());
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(Get(server.Url("/t")), net::kDownOk);
    EXPECT_EQ(ReadBytes(target_), Slice(body, 0, 100));
    EXPECT_EQ(recorder_.events, (Events{"begin 10000", "progress", "end ok"}));
    ASSERT_TRUE(server.WaitDone());
  }
}

TEST_F(UrlDownTest, UrlsThatCannotBeParsedEndWithoutEndNotificationOrLogEntry) {
  struct Case {
    const char16_t* url;
    const char16_t* target;
    uint32_t result;
  };
  const std::u16string target = target_;
  for (const Case& c : {Case{u"http://127.0.0.1", target.c_str(), net::kDownBadUrl},
                        Case{u"127.0.0.1/x", target.c_str(), net::kDownBadUrl},
                        Case{nullptr, target.c_str(), net::kDownMissingArgument},
                        Case{u"http://127.0.0.1/x", nullptr, net::kDownMissingArgument},
                        Case{u"http://127.0.0.1/x", u"", net::kDownMissingArgument}}) {
    EXPECT_EQ(down_->Download(c.url, c.target, false), c.result);
  }
  EXPECT_TRUE(recorder_.events.empty());
  EXPECT_EQ(log_.Text().find("CUrlDown: http://127.0.0.1 to"), std::string::npos);
}

TEST_F(UrlDownTest, ARefusedConnectionSurfacesAsASendFailure) {
  // A port that was just free: nothing listens there.
  ScriptServer server("refused");
  ASSERT_TRUE(server.Start(1));
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(down_->SetConnectTries(2), 2u);
  EXPECT_EQ(Get(server.Url("/x")), net::kDownSendFailed);
  EXPECT_EQ(recorder_.events, (Events{"end failed"}));
  EXPECT_FALSE(Exists(temp_));
}

constexpr size_t kNginxFileSize = 3 * 1048576 + 123;

// One nginx for all its tests, serving a 3 MiB file; stopped when the program ends.
struct SharedNginx {
  SharedNginx() : content(Pattern(kNginxFileSize, 14)), nginx("nginx") {
    nginx.PutFile("big.bin", content);
    started = nginx.Start(300);
  }
  Bytes content;
  net_test::NginxInstance nginx;
  bool started = false;
};

class UrlDownNginxTest : public UrlDownTest {
 protected:
  void SetUp() override {
    static SharedNginx shared;
    ASSERT_TRUE(shared.started) << "nginx could not be started";
    nginx_ = &shared.nginx;
    content_ = &shared.content;
    UrlDownTest::SetUp();
  }
  net_test::NginxInstance* nginx_ = nullptr;
  const Bytes* content_ = nullptr;
};

TEST_F(UrlDownNginxTest, FetchesTheWholeFileAndFollowsItsRedirect) {
  EXPECT_EQ(Get(nginx_->Url("/moved"), true), net::kDownOk);
  EXPECT_EQ(ReadBytes(target_), *content_);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_EQ(recorder_.events, (Events{"begin " + std::to_string(kNginxFileSize), "progress", "end ok"}));
  EXPECT_EQ(recorder_.progress.back(), static_cast<int32_t>(kNginxFileSize));
  const std::string log = nginx_->AccessLog();
  EXPECT_NE(log.find("301 \"-\""), std::string::npos) << log;
  EXPECT_NE(log.find("200 \"-\" " + std::to_string(kNginxFileSize) + " \"GET /big.bin HTTP/1.1\""), std::string::npos)
      << log;
}

TEST_F(UrlDownNginxTest, ResumesWithARealRangeAnswer) {
  // A broken earlier attempt: one million bytes, the last 8 KiB of them damaged.
  Bytes partial(content_->begin(), content_->begin() + 1000000);
  std::fill(partial.end() - 8192, partial.end(), 0xEE);
  WriteBytes(temp_, partial);

  EXPECT_EQ(Get(nginx_->Url("/big.bin"), true), net::kDownOk);
  EXPECT_EQ(ReadBytes(target_), *content_);
  const int32_t offset = 1000000 - 8192;
  EXPECT_EQ(recorder_.events, (Events{"begin " + std::to_string(kNginxFileSize), "progress", "end ok"}));
  ASSERT_FALSE(recorder_.progress.empty());
  EXPECT_GT(recorder_.progress.front(), offset);
  EXPECT_LE(recorder_.progress.front(), offset + 4096);
  EXPECT_EQ(recorder_.progress.back(), static_cast<int32_t>(kNginxFileSize));
  const std::string log = nginx_->AccessLog();
  EXPECT_NE(log.find("206 \"bytes=" + std::to_string(offset) + "-\" " + std::to_string(kNginxFileSize - offset) +
                     " \"GET /big.bin HTTP/1.1\""),
            std::string::npos)
      << log;
}

}  // namespace
