#pragma once
// The text side of the downloader's HTTP/1.1 exchange, kept apart from the sockets: URL parsing,
// the request block, the response header (read byte by byte, bounded) and its interpretation,
// and the resume rule for a temporary file left by an earlier attempt. Everything the server
// sends is untrusted: values are bounded views into the received header, numbers saturate.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/download_codes.h"

namespace net {

struct ParsedUrl {
  std::u16string host;   // without the port
  std::u16string path;   // from the first "/" after the host to the end, query included
  std::u16string query;  // from the first "?" of the path to the end; empty when none
  int32_t port = 80;
};

// "scheme://host[:port]/path[?query]", blanks trimmed at both ends. The scheme is not checked,
// and a URL needs a path ("http://h" fails, "http://h/" asks for "/"). The port is the decimal
// number after the first ":" of the host part, read like atoi. Returns 0 or kDownBadUrl.
uint32_t ParseUrl(std::u16string_view url, ParsedUrl* out);

// The request block as sent; host and path are already in the ANSI code page. A Range line asks
// for everything from resume_offset on when the offset is at least 1.
std::string BuildRequest(std::string_view ansi_path, std::string_view ansi_host, int32_t resume_offset);

// A temporary file of at least kMinResumeBytes is resumed: its last kResumeOverlapBytes are
// fetched again, since a broken transfer may have left a damaged tail.
constexpr uint64_t kMinResumeBytes = 409600;
constexpr uint64_t kResumeOverlapBytes = 8192;
// The offset to resume from, or 0 when the file is to be fetched from its start (it is too
// small, or so large that the offset would not fit the signed 32-bit Range value).
int32_t ResumeOffsetFor(uint64_t temp_size);

// A response header larger than this ends the transfer as if no status line had come.
constexpr size_t kMaxResponseHeaderBytes = 64 * 1024;

// Collects the header one received byte at a time, up to and including the first empty line.
class ResponseHeader {
 public:
  enum class State { kReading, kComplete, kTooLong };
  // Takes one byte; returns the state after it. Bytes given after the end are ignored.
  State Add(char byte);
  State state() const { return state_; }
  const std::string& text() const { return text_; }
  void Clear();

 private:
  std::string text_;
  State state_ = State::kReading;
};

// The value after a label at the start of a header line, found ignoring ASCII case: skip more
// characters after the label, then blanks; the value runs to the next blank, CR, LF or the end.
// Empty when the label is absent.
std::string_view HeaderValue(std::string_view header, std::string_view label, size_t skip = 0);
// Signed decimal like atoi: optional blanks and sign, digits up to the first other character;
// saturates at the 32-bit bounds. 0 when there are no digits.
int32_t ParseDecimal(std::string_view text);
// The status: the number after "HTTP/1." and one more character; 0 without a status line.
int32_t StatusCode(std::string_view header);

// What a complete header means for the transfer.
struct HeaderVerdict {
  // kDownOk: receive the body at the current offset. kDownTooManyRedirects: follow new_url.
  // kDownRestartBody: the server ignored the range, receive the body from offset 0.
  // kDownBadRedirect, or kDownStatusBase + status: end the transfer.
  uint32_t result = 0;
  std::u16string new_url;
  int32_t total_size = 0;      // expected size of the complete file (200 and 206)
  int32_t content_length = 0;  // this answer's body length, 0 when not given
};
HeaderVerdict InterpretHeader(const ResponseHeader& header, const ParsedUrl& current, int32_t resume_offset);

}  // namespace net
