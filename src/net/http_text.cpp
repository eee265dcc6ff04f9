#include "net/http_text.h"

#include <limits>

#include "base/strings.h"

namespace net {
namespace {

constexpr char kRequestFormatHead[] =
    "GET %s HTTP/1.1\r\n"
    "Accept: */*\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98; Velox )\r\n"
    "Host: %s\r\n"
    "Pragma: no-cache\r\n"
    "Cache-Control: no-cache\r\n"
    "Connection: close\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchesAt(std::string_view text, size_t pos, std::string_view label) {
  if (text.size() - pos < label.size()) return false;
  for (size_t i = 0; i < label.size(); ++i) {
    if (LowerAscii(text[pos + i]) != LowerAscii(label[i])) return false;
  }
  return true;
}

// Status line and fields alike start a line; a label inside another field's name
// ("Content-Location:" for "Location:") does not count.
size_t FindLabelAtLineStart(std::string_view header, std::string_view label) {
  for (size_t pos = 0; pos < header.size(); ++pos) {
    if (pos > 0 && header[pos - 1] != '\n') continue;
    if (MatchesAt(header, pos, label)) return pos;
  }
  return std::string_view::npos;
}

}  // namespace

uint32_t ParseUrl(std::u16string_view url, ParsedUrl* out) {
  *out = ParsedUrl();
  const std::u16string_view trimmed = base::TrimBlanks(url);
  const size_t scheme_end = trimmed.find(u"://");
  if (scheme_end == std::u16string_view::npos) return kDownBadUrl;
  const size_t host_start = scheme_end + 3;
  const size_t slash = trimmed.find(u'/', host_start);
  if (slash == std::u16string_view::npos) return kDownBadUrl;
  std::u16string_view host = trimmed.substr(host_start, slash - host_start);
  out->path = std::u16string(trimmed.substr(slash));
  const size_t question = out->path.find(u'?');
  if (question != std::u16string::npos) out->query = out->path.substr(question);
  const size_t colon = host.find(u':');
  if (colon != std::u16string_view::npos) {
    // Port digits are ASCII; anything else ends the number as atoi would.
    std::string digits;
    for (char16_t c : host.substr(colon + 1)) digits.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    out->port = ParseDecimal(digits);
    host = host.substr(0, colon);
  }
  out->host = std::u16string(host);
  return 0;
}

std::string BuildRequest(std::string_view ansi_path, std::string_view ansi_host, int32_t resume_offset) {
  std::string request;
  std::string_view head(kRequestFormatHead);
  // Only the two "%s" of the fixed text are placeholders; path and host are inserted as they are.
  const size_t first = head.find("%s");
  const size_t second = head.find("%s", first + 2);
  request.append(head.substr(0, first));
  request.append(ansi_path);
  request.append(head.substr(first + 2, second - first - 2));
  request.append(ansi_host);
  request.append(head.substr(second + 2));
  if (resume_offset >= 1) {
    request.append("Range: bytes=");
    request.append(std::to_string(resume_offset));
    request.append("-\r\n\r\n");
  } else {
    request.append("\r\n");
  }
  return request;
}

int32_t ResumeOffsetFor(uint64_t temp_size) {
  if (temp_size < kMinResumeBytes) return 0;
  const uint64_t offset = temp_size - kResumeOverlapBytes;
  if (offset > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<int32_t>(offset);
}

ResponseHeader::State ResponseHeader::Add(char byte) {
  if (state_ != State::kReading) return state_;
  if (text_.size() >= kMaxResponseHeaderBytes) {
    state_ = State::kTooLong;
    return state_;
  }
  text_.push_back(byte);
  const size_t n = text_.size();
  if (n >= 4 && text_.compare(n - 4, 4, "\r\n\r\n") == 0) state_ = State::kComplete;
  return state_;
}

void ResponseHeader::Clear() {
  text_.clear();
  state_ = State::kReading;
}

std::string_view HeaderValue(std::string_view header, std::string_view label, size_t skip) {
  const size_t at = FindLabelAtLineStart(header, label);
  if (at == std::string_view::npos) return {};
  size_t pos = at + label.size();
  pos = skip > header.size() - pos ? header.size() : pos + skip;
  while (pos < header.size() && IsBlank(header[pos])) ++pos;
  size_t end = pos;
  while (end < header.size() && !IsBlank(header[end]) && header[end] != '\r' && header[end] != '\n') ++end;
  return header.substr(pos, end - pos);
}

int32_t ParseDecimal(std::string_view text) { return base::ParseSaturatedInt32(text, IsBlank); }

int32_t StatusCode(std::string_view header) { return ParseDecimal(HeaderValue(header, "HTTP/1.", 1)); }

HeaderVerdict InterpretHeader(const ResponseHeader& header, const ParsedUrl& current, int32_t resume_offset) {
  HeaderVerdict verdict;
  if (header.state() == ResponseHeader::State::kTooLong) {
    verdict.result = kDownStatusBase;
    return verdict;
  }
  const std::string_view text = header.text();
  const int32_t status = StatusCode(text);
  switch (status) {
    case 301:
    case 302: {
      const std::u16string location = base::AsciiToUtf16(HeaderValue(text, "Location:"));
      if (location.empty()) {
        verdict.result = kDownBadRedirect;
      } else if (base::StartsWithIgnoreAsciiCase(location, u"http")) {
        verdict.new_url = location;
      } else {
        verdict.new_url = u"http://" + current.host + u":" + base::NumberToUtf16(current.port) + location +
                          current.query;
      }
      if (!verdict.new_url.empty()) verdict.result = kDownTooManyRedirects;
      return verdict;
    }
    case 206: {
      verdict.content_length = ParseDecimal(HeaderValue(text, "Content-Length:"));
      const int64_t total = static_cast<int64_t>(verdict.content_length) + resume_offset;
      verdict.total_size = total > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                       : static_cast<int32_t>(total);
      verdict.result = kDownOk;
      return verdict;
    }
    case 200:
      verdict.content_length = ParseDecimal(HeaderValue(text, "Content-Length:"));
      verdict.total_size = verdict.content_length;
      verdict.result = resume_offset > 0 ? kDownRestartBody : kDownOk;
      return verdict;
    default:
      verdict.result = kDownStatusBase + static_cast<uint32_t>(status);
      return verdict;
  }
}

}  // namespace net
