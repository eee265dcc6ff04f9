#include "net/url_down.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdarg>
#include <new>
#include <thread>

#include "app/log.h"
#include "base/format.h"
#include "base/strings.h"
#include "net/download_codes.h"
#include "net/http_text.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace net {
namespace {

constexpr uint32_t kDefaultTimeoutMs = 15000;
constexpr uint32_t kDefaultConnectTries = 3;
// The body arrives in receives of up to this size, each written at once: fewer calls into the
// socket and file layers, which cost most under Wine.
constexpr size_t kReceiveBytes = 256 * 1024;
// Progress is reported, and a stop asked for, once this many bytes arrived since the last time.
constexpr int64_t kProgressStepBytes = 64 * 1024;
constexpr auto kPauseAfterConnect = std::chrono::milliseconds(100);
// The last-error texts hold at most what the platform's 512-character buffer took.
constexpr size_t kMaxErrorTextChars = 511;

class CUrlDown final : public IUrlDown {
 public:
  // Null when the socket library cannot be started.
  static CUrlDown* Create(IDownCallBack* callback) {
    CUrlDown* down = new (std::nothrow) CUrlDown(callback);
    if (!down) return nullptr;
    if (platform::StartSockets() != 0) {
      // Destroyed without Release: the library was not started for it.
      delete down;
      return nullptr;
    }
    return down;
  }

  void Release() override {
    platform::StopSockets();
    delete this;
  }
  uint32_t Download(const char16_t* url, const char16_t* target_path, bool resume) override;
  uint32_t SetRecvTimeout(uint32_t milliseconds) override { return receive_timeout_ = milliseconds; }
  uint32_t SetSendTimeout(uint32_t milliseconds) override { return send_timeout_ = milliseconds; }
  uint32_t SetConnectTries(uint32_t count) override { return connect_tries_ = count; }
  int32_t SetExtra(const char16_t* text1, int32_t number, const char16_t* text2, const char16_t* text3) override {
    extra_text1_.clear();
    extra_text2_.clear();
    extra_text3_.clear();
    if (text1) extra_text1_ = text1;
    if (text2) extra_text2_ = text2;
    if (text3) extra_text3_ = text3;
    extra_number_ = number;
    return number;
  }

 private:
  explicit CUrlDown(IDownCallBack* callback) : callback_(callback) {}
  ~CUrlDown() = default;

  uint32_t Connect();
  uint32_t SendRequest();
  void ReadHeader();
  uint32_t ReceiveBody();
  void ReportProgress(int64_t received);
  void SetErrorText(const char16_t* format, ...);
  void SetErrorWithCode(const char16_t* text, uint32_t code);

  IDownCallBack* callback_;
  std::u16string url_;
  std::u16string temp_path_;
  ResponseHeader header_;
  std::u16string last_error_;
  ParsedUrl parsed_;
  std::u16string extra_text1_, extra_text2_, extra_text3_;
  int32_t extra_number_ = 0;
  platform::TcpSocket socket_;
  int32_t total_size_ = 0;
  int32_t content_length_ = 0;
  uint32_t receive_timeout_ = kDefaultTimeoutMs;
  uint32_t send_timeout_ = kDefaultTimeoutMs;
  uint32_t connect_tries_ = kDefaultConnectTries;
  int32_t resume_offset_ = 0;
  // Part of the object, which is always on the heap: one allocation for all its transfers.
  std::array<char, kReceiveBytes> buffer_;
};

void CUrlDown::SetErrorText(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  last_error_ = base::FormatV(kMaxErrorTextChars, format, args);
  va_end(args);
}

void CUrlDown::SetErrorWithCode(const char16_t* text, uint32_t code) {
  SetErrorText(u"%s : %d", text, static_cast<int>(code));
}

uint32_t CUrlDown::Connect() {
  socket_ = platform::TcpSocket::Create();
  if (!socket_.IsOpen()) {
    SetErrorWithCode(u"error, socket(AF_INET,SOCK_STREAM,0) WSAGetLastError=", platform::LastSocketError());
    return kDownNoSocket;
  }
  socket_.SetReceiveTimeout(receive_timeout_);
  socket_.SetSendTimeout(send_timeout_);

  const std::string host = platform::ToAnsi(parsed_.host);
  // The port was read like atoi; the socket takes its low 16 bits, as a 16-bit field would.
  const uint16_t port = static_cast<uint16_t>(parsed_.port);
  platform::Ipv4Endpoint endpoint;
  const int lookup = platform::ResolveWithGetAddrInfo(host, std::to_string(parsed_.port), &endpoint);
  if (lookup != 0) {
    SetErrorText(u"error, getaddrinfo() failed ret=%d.\n", lookup);
    if (!platform::ResolveWithGetHostByName(host, port, &endpoint)) {
      SetErrorWithCode(u"error, gethostbyname return null, WSAGetLastError=", platform::LastSocketError());
      return kDownCannotResolve;
    }
  }

  for (uint32_t attempt = 1; attempt <= connect_tries_; ++attempt) {
    const bool connected = socket_.Connect(endpoint);
    const uint32_t error = connected ? 0 : platform::LastSocketError();
    std::this_thread::sleep_for(kPauseAfterConnect);
    if (connected) return kDownOk;
    SetErrorText(u"msg ,connect %s error,try %d WSAGetLastError=%d", parsed_.host.c_str(), static_cast<int>(attempt),
                 static_cast<int>(error));
  }
  SetErrorText(u"error , connect failed ,ret=%d ,WSAGetLastError= : %d", -1,
               static_cast<int>(platform::LastSocketError()));
  // A refused connection is not reported here: the send on the unconnected socket fails.
  return kDownOk;
}

uint32_t CUrlDown::SendRequest() {
  const std::string request =
      BuildRequest(platform::ToAnsi(parsed_.path), platform::ToAnsi(parsed_.host), resume_offset_);
  const int sent = socket_.Send(request.data(), request.size());
  if (sent < 0) {
    SetErrorText(u"error, send data ,WSAGetLastError=%d", static_cast<int>(platform::LastSocketError()));
    return kDownSendFailed;
  }
  if (static_cast<size_t>(sent) < request.size()) {
    SetErrorText(u"warning , send data ret len is less ,need send =%d ,real send=%d", static_cast<int>(request.size()),
                 sent);
  }
  return kDownOk;
}

// Byte by byte, so that no body byte is taken with the header.
void CUrlDown::ReadHeader() {
  header_.Clear();
  char byte = 0;
  while (header_.state() == ResponseHeader::State::kReading) {
    if (socket_.Receive(&byte, 1) != 1) return;
    header_.Add(byte);
  }
}

void CUrlDown::ReportProgress(int64_t received) {
  if (!callback_) return;
  const int64_t present = resume_offset_ + received;
  callback_->OnProgress(temp_path_.c_str(), total_size_,
                        present > INT32_MAX ? INT32_MAX : static_cast<int32_t>(present));
}

uint32_t CUrlDown::ReceiveBody() {
  platform::File file = platform::File::Open(temp_path_, platform::FileAccess::kReadWrite,
                                             platform::FileDisposition::kOpenAlways, platform::FileShare::kReadWrite);
  if (!file.IsOpen()) return kDownCannotOpenTemp;
  if (callback_) callback_->OnBegin(temp_path_.c_str(), total_size_);
  if (!file.SeekTo(static_cast<uint64_t>(resume_offset_))) return kDownSeekFailed;

  uint32_t result = kDownOk;
  int64_t received = 0, reported = 0;
  for (;;) {
    // Never past this answer's own length: bytes after it are no part of the file.
    const size_t want = content_length_ > 0
                            ? std::min(buffer_.size(), static_cast<size_t>(content_length_ - received))
                            : buffer_.size();
    const int got = socket_.Receive(buffer_.data(), want);
    if (got <= 0) break;  // closed, failed or timed out: whatever arrived is kept
    if (!file.Write(buffer_.data(), static_cast<size_t>(got))) {
      result = kDownWriteFailed;
      break;
    }
    received += got;
    // The body of this answer is complete once its own length has arrived, also when it
    // continues a file from a resume offset.
    if (content_length_ > 0 && received >= content_length_) break;
    if (received - reported >= kProgressStepBytes) {
      ReportProgress(received);
      reported = received;
    }
    // A page that is closing asks the transfer to end, after every receive so that a slow link
    // stops as soon as a fast one; what arrived stays for a resume.
    if (callback_ && callback_->IsStop()) {
      result = kDownStopped;
      break;
    }
  }
  // However the body ends, the last report gives everything that was written.
  if (received > reported) ReportProgress(received);
  // A connection that ends before the announced length has arrived is no complete file: it
  // stays the temporary file, for a later resume.
  if (result == kDownOk && content_length_ > 0 && received < content_length_) result = kDownIncomplete;
  if (!file.TruncateHere()) result = kDownWriteFailed;
  return result;
}

uint32_t CUrlDown::Download(const char16_t* url, const char16_t* target_path, bool resume) {
  if (!url || !*url || !target_path || !*target_path) return kDownMissingArgument;
  resume_offset_ = 0;
  url_ = url;
  const std::u16string target(target_path);
  temp_path_ = target + u".tmp";

  int32_t offset = 0;
  if (resume) {
    uint64_t size = 0;
    platform::File existing =
        platform::File::Open(temp_path_, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
    if (!existing.IsOpen() || !existing.Size(&size)) size = 0;
    offset = ResumeOffsetFor(size);
  }
  if (offset == 0 && platform::PathExists(temp_path_)) {
    platform::SetNormalAttributes(temp_path_);
    platform::DeleteFileAt(temp_path_);
  }
  resume_offset_ = offset;

  uint32_t result = ParseUrl(url_, &parsed_);
  if (result != kDownOk) return result;

  bool failed = false;
  int redirects = 0;
  for (;;) {
    result = Connect();
    if (result != kDownOk) {
      failed = true;
      break;
    }
    result = SendRequest();
    if (result != kDownOk) {
      failed = true;
      break;
    }
    ReadHeader();
    const HeaderVerdict verdict = InterpretHeader(header_, parsed_, resume_offset_);
    total_size_ = verdict.total_size;
    content_length_ = verdict.content_length;
    result = verdict.result;
    if (result != kDownTooManyRedirects) break;
    if (++redirects == 5) {
      failed = true;
      break;
    }
    socket_.Close();
    url_ = verdict.new_url;
    const uint32_t parsed = ParseUrl(url_, &parsed_);
    if (parsed != kDownOk) return parsed;
  }

  bool body_received = false;
  if (!failed) {
    if (result == kDownRestartBody) {
      resume_offset_ = 0;
      result = ReceiveBody();
      body_received = true;
    } else if (result == kDownOk) {
      result = ReceiveBody();
      body_received = true;
    }
  }
  if (body_received && result == kDownOk) {
    if (platform::PathExists(target)) {
      platform::SetNormalAttributes(target);
      platform::DeleteFileAt(target);
    }
    if (!platform::MoveFileReplacing(temp_path_, target)) result = kDownRenameFailed;
  }

  app::LogFormat(u"CUrlDown: %s to %s, ret=%d", url_.c_str(), target.c_str(), static_cast<int>(result));
  if (callback_) callback_->OnEnd(target.c_str(), result == kDownOk);
  socket_.Close();
  return result;
}

}  // namespace

IUrlDown* CreateUrlDown(IDownCallBack* callback) { return CUrlDown::Create(callback); }

}  // namespace net
