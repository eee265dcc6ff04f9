#pragma once
// TCP client sockets over IPv4 for the downloader: Windows Sockets 2.2 on Windows, BSD sockets on
// the host. Failed calls leave the platform's socket error (WSAGetLastError, errno on the host)
// for LastSocketError().
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/unique_any.h"

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

// A move-only TCP socket. Closing keeps the socket error.
class TcpSocket {
 public:
  TcpSocket() = default;

  // An IPv4 stream socket; not open on failure.
  static TcpSocket Create();
  bool IsOpen() const { return static_cast<bool>(handle_); }
  void Close() { handle_.reset(); }

  // Time-outs of single receive and send calls; 0 waits without limit.
  bool SetReceiveTimeout(uint32_t milliseconds);
  bool SetSendTimeout(uint32_t milliseconds);
  bool Connect(const Ipv4Endpoint& endpoint);
  // One send call: the number of bytes the system took, or -1.
  int Send(const void* data, size_t size);
  // One receive call: bytes received, 0 when the peer closed, -1 on an error or a time-out.
  int Receive(void* buffer, size_t size);

 private:
  // The platform's socket as an integer (a SOCKET on Windows, a descriptor on the host); the
  // platform's socket layer closes it and keeps the socket error (WSAGetLastError, errno).
  struct HandleTraits {
    using Handle = intptr_t;
    static Handle Invalid() { return -1; }
    static bool IsValid(Handle h) { return h != -1; }
    static void Close(Handle h);
    static uint32_t SaveError();
    static void RestoreError(uint32_t error);
  };
  explicit TcpSocket(intptr_t handle) : handle_(handle) {}
  base::UniqueAny<HandleTraits> handle_;
};

}  // namespace platform
