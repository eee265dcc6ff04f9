// Response headers and redirect targets from a server: the header is fed byte by byte as the
// downloader reads it, interpreted, and a redirect target is parsed as the next URL.
#include <cstddef>
#include <cstdint>

#include "net/download_codes.h"
#include "net/http_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  net::ResponseHeader header;
  for (size_t i = 0; i < size && header.state() == net::ResponseHeader::State::kReading; ++i) {
    header.Add(static_cast<char>(data[i]));
  }
  net::ParsedUrl current;
  current.host = u"h";
  current.port = 81;
  current.path = u"/p?q";
  current.query = u"?q";
  const int32_t offset = size > 0 && (data[0] & 1) ? 401408 : 0;
  const net::HeaderVerdict verdict = net::InterpretHeader(header, current, offset);
  if (verdict.result == net::kDownTooManyRedirects) {
    net::ParsedUrl next;
    net::ParseUrl(verdict.new_url, &next);
  }
  return 0;
}
