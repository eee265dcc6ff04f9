#pragma once
// The HTTP downloader: one URL into one file over a plain TCP socket with a hand-written
// HTTP/1.1 GET. No HTTPS, chunked decoding, proxies or compression. The body is streamed into
// "<target>.tmp", which is moved into place at the end; a temporary file of at least 409600
// bytes left by an earlier attempt is resumed (see http_text.h). Result codes: download_codes.h.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/socket.h"

namespace net {

// Progress and end notifications, called on the thread that runs Download.
class IDownCallBack {
 public:
  // Asked after every receive of the body: true ends the transfer with kDownStopped, keeping
  // what arrived for a later resume.
  virtual bool IsStop() = 0;
  // Once 64 KiB or more arrived since the last report, and at the end of the body:
  // bytes_present = resume offset + bytes received so far.
  virtual void OnProgress(const char16_t* temp_path, int32_t total_size, int32_t bytes_present) = 0;
  // Once before the body, with the expected size of the complete file (0 when unknown).
  virtual void OnBegin(const char16_t* temp_path, int32_t total_size) = 0;
  // At the end of every Download except those that end with kDownMissingArgument or kDownBadUrl.
  virtual void OnEnd(const char16_t* target_path, bool success) = 0;

 protected:
  ~IDownCallBack() = default;
};

class IUrlDown {
 public:
  // Stops this object's use of the socket library and destroys the object.
  virtual void Release() = 0;
  // Fetches url into target_path; resume allows continuing a large enough "<target>.tmp".
  // Returns a code of download_codes.h; writes "CUrlDown: <url> to <target>, ret=<code>" to the
  // log unless the URL is missing or cannot be parsed.
  virtual uint32_t Download(const char16_t* url, const char16_t* target_path, bool resume) = 0;
  // Each setter affects the following transfers and returns the value.
  virtual uint32_t SetRecvTimeout(uint32_t milliseconds) = 0;
  virtual uint32_t SetSendTimeout(uint32_t milliseconds) = 0;
  virtual uint32_t SetConnectTries(uint32_t count) = 0;
  // Stores the four values for interface compatibility; the transfer does not use them.
  virtual int32_t SetExtra(const char16_t* text1, int32_t number, const char16_t* text2, const char16_t* text3) = 0;

 protected:
  ~IUrlDown() = default;
};

// A downloader with time-outs of 15000 ms and 3 connect attempts, or null when the socket
// library cannot be started. callback may be null.
IUrlDown* CreateUrlDown(IDownCallBack* callback);

struct UrlDownReleaser {
  void operator()(IUrlDown* down) const {
    if (down) down->Release();
  }
};
using UrlDownPtr = std::unique_ptr<IUrlDown, UrlDownReleaser>;

}  // namespace net
