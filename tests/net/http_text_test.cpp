// The HTTP text rules on their own: URL parsing, the request block, the resume rule, header
// reading and interpretation.
#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"
#include "net/download_codes.h"
#include "net/http_text.h"

namespace {

using net::HeaderVerdict;
using net::ParsedUrl;
using net::ResponseHeader;

TEST(ParseUrl, SplitsHostPortPathAndQuery) {
  const struct {
    const char16_t* url;
    uint32_t result;
    const char16_t* host;
    int32_t port;
    const char16_t* path;
    const char16_t* query;
  } cases[] = {
      {u"http://example.com/a/b.dat", 0, u"example.com", 80, u"/a/b.dat", u""},
      {u"  http://h:8080/p?x=1&y=%20 ", 0, u"h", 8080, u"/p?x=1&y=%20", u"?x=1&y=%20"},
      {u"ftp://h:x9/a", 0, u"h", 0, u"/a", u""},  // scheme unchecked, port read like atoi
      {u"http://h:99999/a", 0, u"h", 99999, u"/a", u""},
      {u"http:///a", 0, u"", 80, u"/a", u""},
      {u"http://h", net::kDownBadUrl, u"", 80, u"", u""},
      {u"h/a", net::kDownBadUrl, u"", 80, u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::Utf16ToUtf8(c.url));
    ParsedUrl url;
    EXPECT_EQ(net::ParseUrl(c.url, &url), c.result);
    if (c.result != 0) continue;
    EXPECT_EQ(url.host, c.host);
    EXPECT_EQ(url.port, c.port);
    EXPECT_EQ(url.path, c.path);
    EXPECT_EQ(url.query, c.query);
  }
}

TEST(BuildRequest, IsTheFixedBlockWithAnOptionalRange) {
  const std::string head =
      "GET /a%20b?q=%s HTTP/1.1\r\nAccept: */*\r\n"
      "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98; Velox )\r\nHost: h%d\r\n"
      "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n";
  EXPECT_EQ(net::BuildRequest("/a%20b?q=%s", "h%d", 0), head + "\r\n");
  EXPECT_EQ(net::BuildRequest("/a%20b?q=%s", "h%d", 401408), head + "Range: bytes=401408-\r\n\r\n");
}

// The download tests resume from 409600 bytes on; here the largest offsets.
TEST(ResumeOffset, FetchesTheLast8KiBAgainWhileTheOffsetFitsTheRangeValue) {
  EXPECT_EQ(net::ResumeOffsetFor(2147483647ull + 8192), 2147483647);
  EXPECT_EQ(net::ResumeOffsetFor(2147483648ull + 8192), 0);  // would not fit the Range value
}

ResponseHeader Header(const std::string& text) {
  ResponseHeader header;
  for (char c : text) header.Add(c);
  return header;
}

TEST(ResponseHeader, StopsAtTheFirstEmptyLineAndAtItsBound) {
  ResponseHeader header = Header("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody");
  EXPECT_EQ(header.state(), ResponseHeader::State::kComplete);
  EXPECT_EQ(header.text(), "HTTP/1.1 200 OK\r\nA: b\r\n\r\n");

  EXPECT_EQ(Header("HTTP/1.1 200 OK\n\n").state(), ResponseHeader::State::kReading);
  const ResponseHeader longest = Header(std::string(net::kMaxResponseHeaderBytes - 4, 'a') + "\r\n\r\n");
  EXPECT_EQ(longest.state(), ResponseHeader::State::kComplete);
  const ResponseHeader too_long = Header(std::string(net::kMaxResponseHeaderBytes - 3, 'a') + "\r\n\r\n");
  EXPECT_EQ(too_long.state(), ResponseHeader::State::kTooLong);
  EXPECT_EQ(too_long.text().size(), net::kMaxResponseHeaderBytes);
}

TEST(HeaderValues, AreFoundAtLineStartsIgnoringCase) {
  const std::string header =
      "HTTP/1.1  206 Partial\r\nX-Content-Length: 7\r\ncontent-length:   12345 tail\r\n"
      "Content-Location: /wrong\r\nLOCATION:/right\r\nEmpty:\r\n\r\n";
  EXPECT_EQ(net::HeaderValue(header, "Content-Length:"), "12345");
  EXPECT_EQ(net::HeaderValue(header, "Location:"), "/right");
  EXPECT_EQ(net::HeaderValue(header, "Empty:"), "");
  EXPECT_EQ(net::HeaderValue(header, "Missing:"), "");
  EXPECT_EQ(net::StatusCode(header), 206);
  EXPECT_EQ(net::StatusCode("garbage"), 0);
  EXPECT_EQ(net::StatusCode("HTTP/1."), 0);

  EXPECT_EQ(net::ParseDecimal(" -42x"), -42);
  EXPECT_EQ(net::ParseDecimal("+7"), 7);
  EXPECT_EQ(net::ParseDecimal("99999999999999999999"), 2147483647);
  EXPECT_EQ(net::ParseDecimal("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(net::ParseDecimal("x1"), 0);
}

TEST(InterpretHeader, DecidesFromTheStatus) {
  ParsedUrl current;
  current.host = u"h";
  current.port = 81;
  current.path = u"/old?x";
  current.query = u"?x";
  const struct {
    const char* header;
    int32_t offset;
    uint32_t result;
    const char16_t* new_url;
    int32_t total;
    int32_t length;
  } cases[] = {
      {"HTTP/1.1 301 Moved\r\nLocation: hTTp://other:9/p?q\r\n\r\n", 0, net::kDownTooManyRedirects,
       u"hTTp://other:9/p?q", 0, 0},
      {"HTTP/1.1 301 Moved\r\n\r\n", 0, net::kDownBadRedirect, u"", 0, 0},
      {"HTTP/1.1 206 Partial\r\nContent-Length: 100\r\n\r\n", 401408, 0, u"", 401508, 100},
      {"HTTP/1.1 206 Partial\r\nContent-Length: 2147483000\r\n\r\n", 401408, 0, u"", 2147483647, 2147483000},
      {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", 5, net::kDownRestartBody, u"", 100, 100},
      {"HTTP/1.0 303 See Other\r\nLocation: /x\r\n\r\n", 0, 2303, u"", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const HeaderVerdict verdict = net::InterpretHeader(Header(c.header), current, c.offset);
    EXPECT_EQ(verdict.result, c.result);
    EXPECT_EQ(verdict.new_url, c.new_url);
    EXPECT_EQ(verdict.total_size, c.total);
    EXPECT_EQ(verdict.content_length, c.length);
  }
}

}  // namespace
