#pragma once
// Host-side servers for the network tests, started and stopped by the tests themselves: the
// scripted server (http_script_server.py) and an nginx instance (nginx_instance.sh), both on
// 127.0.0.1. The Windows tests run under Wine, whose sockets are the host's, so the same host
// programs serve both builds. Under Wine a Unix program is started through CreateProcess, which
// hands back no handle: every server therefore reports its port through a file and stops by
// itself (after its script, or at its deadline), and nginx is stopped by a second run of its
// script. Work folders live under the test's working folder (the build tree), which Wine sees
// on drive Z:, so one path serves both sides.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/strings.h"
#include "support/scratch_dir.h"

namespace net_test {

namespace fs = std::filesystem;

// The Unix path of a path under the test's working folder ("Z:\a\b" under Wine).
inline std::string UnixPath(const fs::path& path) {
  std::string text = fs::absolute(path).u8string();
#ifdef _WIN32
  if (text.size() >= 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':') text = text.substr(2);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
#endif
  return text;
}

// A host path as the test program opens it.
inline fs::path LocalPath(const std::string& unix_path) {
#ifdef _WIN32
  return fs::u8path("Z:" + unix_path);
#else
  return fs::u8path(unix_path);
#endif
}

// Starts a host program without waiting for it. On the host the child is remembered so that it
// can be reaped; under Wine there is nothing to remember.
inline bool StartHostProgram(const std::vector<std::string>& argv, intptr_t* child) {
  *child = -1;
#ifdef _WIN32
  std::string command;
  for (const std::string& arg : argv) {
    if (!command.empty()) command.push_back(' ');
    command += "\"" + arg + "\"";
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  return true;
#else
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  *child = pid;
  return true;
#endif
}

inline void ReapHostProgram(intptr_t child, bool kill_first) {
#ifndef _WIN32
  if (child <= 0) return;
  if (kill_first) kill(static_cast<pid_t>(child), SIGTERM);
  int status = 0;
  waitpid(static_cast<pid_t>(child), &status, 0);
#else
  (void)child;
  (void)kill_first;
#endif
}

inline std::string Python() {
  for (const char* candidate : {"/usr/bin/python3", "/usr/local/bin/python3"}) {
    std::error_code ec;
    if (fs::exists(LocalPath(candidate), ec)) return candidate;
  }
  return "/usr/bin/python3";
}

inline std::string SourceDir() {
  if (const char* dir = std::getenv("NORV_SOURCE_DIR")) return dir;
  // Built on the host, so this file's own path is a host path in both trees.
  const std::string self = __FILE__;
  return self.substr(0, self.rfind("/tests/net/"));
}

inline bool WaitForFile(const fs::path& path, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  std::error_code ec;
  while (!fs::exists(path, ec)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

inline std::string ReadFileText(const fs::path& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path.u16string());
  return std::string(bytes.begin(), bytes.end());
}

// A fresh folder under the working folder, removed at the end.
class WorkFolder {
 public:
  explicit WorkFolder(const std::string& name) {
    static int counter = 0;
    path_ = fs::current_path() / "net-work" /
            (name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
             std::to_string(counter++));
    fs::create_directories(path_);
  }
  ~WorkFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Escapes text for a JSON string, one character per byte (the server sends it as Latin-1).
inline std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

// A server in its own work folder that reports its port through the file "port" there.
class LocalServer {
 public:
  int port() const { return port_; }
  std::u16string Url(const std::string& path) const {
    return base::Utf8ToUtf16("http://127.0.0.1:" + std::to_string(port_) + path);
  }

 protected:
  explicit LocalServer(const std::string& name) : folder_(name) {}
  bool ReadPort(std::chrono::seconds limit) {
    if (!WaitForFile(folder_.path() / "port", limit)) return false;
    port_ = std::stoi(ReadFileText(folder_.path() / "port"));
    return true;
  }
  WorkFolder folder_;
  int port_ = 0;
};

// One scripted server run: connections are described first, then Start() launches the server,
// which serves them in order and exits.
class ScriptServer : public LocalServer {
 public:
  class Connection {
   public:
    Connection& Send(const std::string& bytes) { return Add("{\"send\": " + JsonString(bytes) + "}"); }
    Connection& SendFile(const std::string& name, size_t start, size_t end) {
      return Add("{\"send_file\": " + JsonString(name) + ", \"start\": " + std::to_string(start) +
                 ", \"end\": " + std::to_string(end) + "}");
    }
    Connection& Sleep(double seconds) { return Add("{\"sleep\": " + std::to_string(seconds) + "}"); }
    std::string Json() const {
      std::string out = "{\"steps\": [";
      for (size_t i = 0; i < steps_.size(); ++i) out += (i ? ", " : "") + steps_[i];
      return out + "]}";
    }

   private:
    Connection& Add(std::string step) {
      steps_.push_back(std::move(step));
      return *this;
    }
    std::vector<std::string> steps_;
  };

  explicit ScriptServer(const std::string& name) : LocalServer(name) {}
  ~ScriptServer() {
    if (started_ && !WaitDone()) ReapHostProgram(child_, true);
  }

  Connection& AddConnection() {
    connections_.emplace_back();
    return connections_.back();
  }
  // A file in the server's folder for SendFile.
  void PutFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    testing_support::WriteBytes((folder_.path() / name).u16string(), bytes);
  }

  // Launches the server and waits for its port. deadline_seconds bounds the server's whole life.
  ::testing::AssertionResult Start(double deadline_seconds = 30) {
    std::string json = "{\"connections\": [";
    for (size_t i = 0; i < connections_.size(); ++i) json += (i ? ", " : "") + connections_[i].Json();
    json += "]}";
    testing_support::WriteText((folder_.path() / "script.json").u16string(), json);
    const std::string script = SourceDir() + "/tests/net/http_script_server.py";
    if (!StartHostProgram({Python(), script, UnixPath(folder_.path()), std::to_string(deadline_seconds)}, &child_)) {
      return ::testing::AssertionFailure() << "cannot start " << script;
    }
    started_ = true;
    if (!ReadPort(std::chrono::seconds(20))) {
      return ::testing::AssertionFailure() << "the scripted server did not report its port";
    }
    return ::testing::AssertionSuccess();
  }

  // Waits until the server has served its script and exited.
  bool WaitDone() {
    if (!started_) return true;
    if (!WaitForFile(folder_.path() / "done", std::chrono::seconds(40))) return false;
    ReapHostProgram(child_, false);
    started_ = false;
    return true;
  }

  // The bytes the server received on its n-th connection (from 1); empty when there was none.
  std::string Request(int n) const {
    const fs::path file = folder_.path() / ("request-" + std::to_string(n) + ".bin");
    std::error_code ec;
    return fs::exists(file, ec) ? ReadFileText(file) : std::string();
  }
  int ServedConnections() const { return std::stoi("0" + ReadFileText(folder_.path() / "done")); }

 private:
  std::deque<Connection> connections_;
  intptr_t child_ = -1;
  bool started_ = false;
};

// A private nginx (Debian's) serving the files put into it, stopped at the end of the test.
class NginxInstance : public LocalServer {
 public:
  explicit NginxInstance(const std::string& name) : LocalServer(name) {
    fs::create_directories(folder_.path() / "www");
  }
  ~NginxInstance() { Stop(); }

  void PutFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    testing_support::WriteBytes((folder_.path() / "www" / name).u16string(), bytes);
  }

  // lifetime_seconds: the instance stops by itself after this, should Stop never run.
  ::testing::AssertionResult Start(int lifetime_seconds = 300) {
    intptr_t child = -1;
    if (!StartHostProgram({"/bin/sh", Script(), "start", UnixPath(folder_.path()), std::to_string(lifetime_seconds)},
                          &child)) {
      return ::testing::AssertionFailure() << "cannot start " << Script();
    }
    started_ = true;
    const bool up = ReadPort(std::chrono::seconds(30));
    ReapHostProgram(child, false);
    if (!up) {
      return ::testing::AssertionFailure() << "nginx did not start: " << ReadFileText(folder_.path() / "start.log");
    }
    return ::testing::AssertionSuccess();
  }

  void Stop() {
    if (!started_) return;
    started_ = false;
    intptr_t child = -1;
    if (!StartHostProgram({"/bin/sh", Script(), "stop", UnixPath(folder_.path())}, &child)) return;
    WaitForFile(folder_.path() / "stopped", std::chrono::seconds(20));
    ReapHostProgram(child, false);
  }

  // One line per request: status "range" bytes-sent "request line".
  std::string AccessLog() const { return ReadFileText(folder_.path() / "access.log"); }

 private:
  static std::string Script() { return SourceDir() + "/tests/net/nginx_instance.sh"; }
  bool started_ = false;
};

}  // namespace net_test
