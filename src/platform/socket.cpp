// The socket's ownership, shared by both platforms; the system calls live in the platform bodies.
#include "platform/socket.h"

namespace platform {

TcpSocket::~TcpSocket() { Close(); }
TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }
TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

}  // namespace platform
