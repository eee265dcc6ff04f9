#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace platform {
namespace {
SOCKET AsSocket(intptr_t handle) { return static_cast<SOCKET>(handle); }
int ClampedLength(size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }
}  // namespace

int StartSockets() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data);
}

void StopSockets() { WSACleanup(); }

uint32_t LastSocketError() { return static_cast<uint32_t>(WSAGetLastError()); }

int ResolveWithGetAddrInfo(const std::string& ansi_host, const std::string& port_text, Ipv4Endpoint* out) {
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(ansi_host.c_str(), port_text.c_str(), &hints, &found);
  if (result != 0) return result;
  int status = EAI_NONAME;
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
    out->address = ntohl(in->sin_addr.s_addr);
    out->port = ntohs(in->sin_port);
    status = 0;
    break;
  }
  freeaddrinfo(found);
  return status;
}

bool ResolveWithGetHostByName(const std::string& ansi_host, uint16_t port, Ipv4Endpoint* out) {
  const hostent* entry = gethostbyname(ansi_host.c_str());
  if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list ||
      !entry->h_addr_list[0]) {
    return false;
  }
  in_addr address;
  memcpy(&address, entry->h_addr_list[0], sizeof address);
  out->address = ntohl(address.s_addr);
  out->port = port;
  return true;
}

TcpSocket TcpSocket::Create() {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return TcpSocket();
  return TcpSocket(static_cast<intptr_t>(s));
}

void TcpSocket::HandleTraits::Close(Handle h) { closesocket(AsSocket(h)); }
uint32_t TcpSocket::HandleTraits::SaveError() { return static_cast<uint32_t>(WSAGetLastError()); }
void TcpSocket::HandleTraits::RestoreError(uint32_t error) { WSASetLastError(static_cast<int>(error)); }

bool TcpSocket::SetReceiveTimeout(uint32_t milliseconds) {
  const DWORD value = milliseconds;
  return setsockopt(AsSocket(handle_.get()), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                    sizeof value) == 0;
}

bool TcpSocket::SetSendTimeout(uint32_t milliseconds) {
  const DWORD value = milliseconds;
  return setsockopt(AsSocket(handle_.get()), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value),
                    sizeof value) == 0;
}

bool TcpSocket::Connect(const Ipv4Endpoint& endpoint) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return connect(AsSocket(handle_.get()), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int TcpSocket::Send(const void* data, size_t size) {
  const int sent = send(AsSocket(handle_.get()), static_cast<const char*>(data), ClampedLength(size), 0);
  return sent == SOCKET_ERROR ? -1 : sent;
}

int TcpSocket::Receive(void* buffer, size_t size) {
  const int got = recv(AsSocket(handle_.get()), static_cast<char*>(buffer), ClampedLength(size), 0);
  return got == SOCKET_ERROR ? -1 : got;
}

}  // namespace platform
