#pragma once
// TCP client sockets over IPv4 for the downloader: Windows Sockets 2.2 on Windows, BSD sockets on
// the host. Failed calls leave the platform's socket error (WSAGetLastError, errno on the host)
// for LastSocketError().
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Starts the socket library (WSAStartup 2.2); returns 0 or the library's error code. Every
// successful start is paired with one StopSockets. The host needs no start and returns 0.
int StartSockets();
void StopSockets();

uint32_t LastSocketError();

// An IPv4 address and port, both in host order.
struct Ipv4Endpoint {
  uint32_t address = 0;
  uint16_t port = 0;
};

// getaddrinfo for IPv4 stream sockets over TCP with the port as decimal text; the first address
// found. Returns 0 or getaddrinfo's code.
int ResolveWithGetAddrInfo(const std::string& ansi_host, const std::string& port_text, Ipv4Endpoint* out);
// gethostbyname's first address, with the given port. False when the name is not found.
bool ResolveWithGetHostByName(const std::string& ansi_host, uint16_t port, Ipv4Endpoint* out);

// A move-only TCP socket.
class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // An IPv4 stream socket; not open on failure.
  static TcpSocket Create();
  bool IsOpen() const { return handle_ != kInvalid; }
  void Close();

  // Time-outs of single receive and send calls; 0 waits without limit.
  bool SetReceiveTimeout(uint32_t milliseconds);
  bool SetSendTimeout(uint32_t milliseconds);
  bool Connect(const Ipv4Endpoint& endpoint);
  // One send call: the number of bytes the system took, or -1.
  int Send(const void* data, size_t size);
  // One receive call: bytes received, 0 when the peer closed, -1 on an error or a time-out.
  int Receive(void* buffer, size_t size);

 private:
  static constexpr intptr_t kInvalid = -1;
  explicit TcpSocket(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalid;
};

}  // namespace platform
