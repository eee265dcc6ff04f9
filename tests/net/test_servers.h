#pragma once
// The servers of the network tests, on 127.0.0.1 and stopped by the tests: a scripted server in a
// thread of the test program, which answers each connection with the bytes it was given (broken
// ones included) and keeps the requests, and a private nginx of the host (nginx_instance.sh),
// which Wine starts as a Unix program; Wine's sockets are the host's, so both builds reach it.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/strings.h"
#include "platform/socket.h"
#include "support/programs.h"
#include "support/scratch_dir.h"

namespace net_test {

#ifdef _WIN32
using Socket = SOCKET;
using SockLen = int;
inline void CloseSocket(Socket s) { closesocket(s); }
constexpr int kNoSignal = 0;
#else
using Socket = int;
using SockLen = socklen_t;
inline void CloseSocket(Socket s) { close(s); }
constexpr int kNoSignal = MSG_NOSIGNAL;  // a client that went away must not stop the test program
#endif

inline bool Readable(Socket s, int milliseconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &limit) > 0;
}

inline std::u16string LocalUrl(int port, const std::string& path) {
  return base::Utf8ToUtf16("http://127.0.0.1:" + std::to_string(port) + path);
}

// Listens from construction on; Serve answers one connection per answer, in order, each after
// reading its request up to the empty line (64 KiB or 5 seconds at most), then closes it.
class ScriptServer {
 public:
  ScriptServer() {
    platform::StartSockets();
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SockLen size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 8);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~ScriptServer() {
    stop_ = true;
    WaitDone();
    CloseSocket(listener_);
    platform::StopSockets();
  }

  // pause_ms: a pause after the first pause_after bytes of every answer.
  void Serve(std::vector<std::string> answers, size_t pause_after = std::string::npos, int pause_ms = 0) {
    thread_ = std::thread([=] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      for (const std::string& answer : answers) {
        while (!Readable(listener_, 50)) {
          if (stop_ || std::chrono::steady_clock::now() > deadline) return;
        }
        const Socket client = accept(listener_, nullptr, nullptr);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 && Readable(client, 5000)) {
          const int n = recv(client, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          request.append(buffer, static_cast<size_t>(n));
        }
        requests_.push_back(request);
        for (size_t sent = 0; sent < answer.size();) {
          if (sent == pause_after) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
          const size_t part = (sent < pause_after ? std::min(pause_after, answer.size()) : answer.size()) - sent;
          const int n = send(client, answer.data() + sent, static_cast<int>(std::min<size_t>(part, 65536)), kNoSignal);
          if (n <= 0) break;  // the client went away, as it may
          sent += static_cast<size_t>(n);
        }
        shutdown(client, 2);
        CloseSocket(client);
      }
    });
  }
  void WaitDone() {
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  std::u16string Url(const std::string& path) const { return LocalUrl(port_, path); }
  // The bytes received on each connection served; read after WaitDone.
  const std::vector<std::string>& requests() const { return requests_; }

 private:
  Socket listener_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<std::string> requests_;
};

// A port that was just free: nothing listens there.
inline int FreePort() {
  ScriptServer closed;
  return closed.port();
}

inline std::string SourceDir() {
  if (const char* dir = std::getenv("NORV_SOURCE_DIR")) return dir;
  const std::string self = __FILE__;  // a host path in both trees
  return self.substr(0, self.rfind("/tests/net/"));
}

// A private nginx serving the files put into it; "/moved" redirects to "/big.bin". It stops by
// itself after its lifetime should Stop never run.
class NginxInstance {
 public:
  NginxInstance() { std::filesystem::create_directories(testing_support::Native(dir_.Join(u"www"))); }
  ~NginxInstance() { Stop(); }

  void PutFile(const std::u16string& name, const std::string& bytes) {
    testing_support::WriteText(dir_.Join(u"www/" + name), bytes);
  }
  ::testing::AssertionResult Start(int lifetime_seconds) {
    const bool up = Run("start", std::to_string(lifetime_seconds), u"port", 30);
    started_ = true;
    if (!up) return ::testing::AssertionFailure() << "nginx did not start: " << Read(u"start.log");
    port_ = std::atoi(Read(u"port").c_str());
    return ::testing::AssertionSuccess();
  }
  void Stop() {
    if (started_) Run("stop", "", u"stopped", 20);
    started_ = false;
  }
  std::u16string Url(const std::string& path) const { return LocalUrl(port_, path); }
  // One line per request: status "range" bytes-sent "request line".
  std::string AccessLog() const { return Read(u"access.log"); }

 private:
  // Runs the script and waits for the file that reports its end.
  bool Run(const std::string& action, const std::string& argument, const std::u16string& reported, double seconds) {
    intptr_t child = -1;
    std::vector<std::string> argv = {"/bin/sh", SourceDir() + "/tests/net/nginx_instance.sh", action,
                                     testing_support::HostPath(dir_.path())};
    if (!argument.empty()) argv.push_back(argument);
    const bool done = testing_support::StartHostProgram(argv, &child) &&
                      testing_support::WaitFor([&] { return testing_support::Exists(dir_.Join(reported)); }, seconds);
    testing_support::ReapHostProgram(child, false);
    return done;
  }
  std::string Read(const std::u16string& name) const { return testing_support::ReadText(dir_.Join(name)); }

  testing_support::ScratchDir dir_;
  int port_ = 0;
  bool started_ = false;
};

}  // namespace net_test
