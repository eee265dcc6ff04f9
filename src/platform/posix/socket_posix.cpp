// Host body of the socket layer: BSD sockets; errors are errno values.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace platform {
namespace {
thread_local uint32_t g_last_error = 0;

bool Fail() {
  g_last_error = static_cast<uint32_t>(errno);
  return false;
}

int AsFd(intptr_t handle) { return static_cast<int>(handle); }

bool SetTimeout(intptr_t handle, int option, uint32_t milliseconds) {
  timeval value;
  value.tv_sec = static_cast<time_t>(milliseconds / 1000);
  value.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  return setsockopt(AsFd(handle), SOL_SOCKET, option, &value, sizeof value) == 0 || Fail();
}
}  // namespace

int StartSockets() { return 0; }
void StopSockets() {}

uint32_t LastSocketError() { return g_last_error; }

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
    sockaddr_in in;
    std::memcpy(&in, entry->ai_addr, sizeof in);
    out->address = ntohl(in.sin_addr.s_addr);
    out->port = ntohs(in.sin_port);
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
  std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  out->address = ntohl(address.s_addr);
  out->port = port;
  return true;
}

TcpSocket TcpSocket::Create() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Fail();
    return TcpSocket();
  }
  return TcpSocket(fd);
}

void TcpSocket::HandleTraits::Close(Handle h) { ::close(AsFd(h)); }
uint32_t TcpSocket::HandleTraits::SaveError() { return static_cast<uint32_t>(errno); }
void TcpSocket::HandleTraits::RestoreError(uint32_t error) { errno = static_cast<int>(error); }

bool TcpSocket::SetReceiveTimeout(uint32_t milliseconds) {
  return SetTimeout(handle_.get(), SO_RCVTIMEO, milliseconds);
}
bool TcpSocket::SetSendTimeout(uint32_t milliseconds) { return SetTimeout(handle_.get(), SO_SNDTIMEO, milliseconds); }

bool TcpSocket::Connect(const Ipv4Endpoint& endpoint) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  int result;
  do {
    result = connect(AsFd(handle_.get()), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  return result == 0 || Fail();
}

int TcpSocket::Send(const void* data, size_t size) {
  if (size > INT_MAX) size = INT_MAX;
  ssize_t sent;
  do {
    sent = send(AsFd(handle_.get()), data, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) {
    Fail();
    return -1;
  }
  return static_cast<int>(sent);
}

int TcpSocket::Receive(void* buffer, size_t size) {
  if (size > INT_MAX) size = INT_MAX;
  ssize_t got;
  do {
    got = recv(AsFd(handle_.get()), buffer, size, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    Fail();
    return -1;
  }
  return static_cast<int>(got);
}

}  // namespace platform
