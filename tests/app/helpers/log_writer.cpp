// Writes log entries as its command line asks, so that tests can watch a fresh process's log:
//   --api N / --mod N     codes for the next entry (then back to 0)
//   --text S              LogText
//   --two A B             LogText2
//   --three A B C         LogText3
//   --narrow S            WriteLog
//   --narrow3 A B C       WriteLog3
//   --format              LogFormat with a fixed format and arguments
//   --format-long N       LogFormat of a text of N 'x' characters
//   --fill N              grows this program's own log file to N bytes with '.' characters
//   --race N S            N threads make their first call with S at the same moment
// Arguments are ASCII; "\uXXXX" (wide texts only) stands for a UTF-16 unit, "<null>" for a null
// text, "#N" (wide texts only) for the string resource with identifier N.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace {

bool IsNull(const char* arg) { return std::strcmp(arg, "<null>") == 0; }

// "\uXXXX" (four hexadecimal digits) stands for one UTF-16 unit; everything else is taken as is.
std::u16string Wide(const char* arg) {
  std::u16string out;
  for (size_t i = 0; arg[i];) {
    if (arg[i] == '\\' && arg[i + 1] == 'u' && std::strspn(arg + i + 2, "0123456789abcdefABCDEF") >= 4) {
      out.push_back(static_cast<char16_t>(std::strtoul(std::string(arg + i + 2, 4).c_str(), nullptr, 16)));
      i += 6;
    } else {
      out.push_back(static_cast<unsigned char>(arg[i++]));
    }
  }
  return out;
}

// Keeps converted texts alive while a call uses them; null stays null.
struct WideArg {
  explicit WideArg(const char* arg)
      : null(IsNull(arg)),
        resource(arg[0] == '#' ? std::strtoul(arg + 1, nullptr, 0) : 0),
        text(null ? std::u16string() : Wide(arg)) {}
  const char16_t* get() const {
    if (resource) return reinterpret_cast<const char16_t*>(resource);
    return null ? nullptr : text.c_str();
  }
  bool null;
  uintptr_t resource;
  std::u16string text;
};
const char* Narrow(const char* arg) { return IsNull(arg) ? nullptr : arg; }

std::u16string OwnLogPath() {
  const std::u16string module = platform::ModuleFilePath();
  const size_t separator = module.find_last_of(u"\\/");
  return platform::WindowsDirectory() + u"\\NorvLog\\" + module.substr(separator + 1) + u".log";
}

bool Fill(uint64_t target) {
  platform::File file = platform::File::Open(OwnLogPath(), platform::FileAccess::kReadWrite,
                                             platform::FileDisposition::kOpenAlways);
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size) || !file.SeekToEnd()) return false;
  if (size >= target) return true;
  const std::string dots(static_cast<size_t>(target - size), '.');
  return file.Write(dots.data(), dots.size());
}

void Race(int threads, const std::u16string& text) {
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) {
    workers.emplace_back([&] {
      ready.fetch_add(1);
      while (!go.load()) {
      }
      app::LogText(text.c_str());
    });
  }
  while (ready.load() < threads) std::this_thread::yield();
  go.store(true);
  for (auto& t : workers) t.join();
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t api = 0;
  int32_t mod = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string op = argv[i];
    auto need = [&](int n) {
      if (i + n >= argc) std::exit(2);
    };
    if (op == "--api") {
      need(1);
      api = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
      continue;
    }
    if (op == "--mod") {
      need(1);
      mod = static_cast<int32_t>(std::strtol(argv[++i], nullptr, 0));
      continue;
    }
    if (op == "--text") {
      need(1);
      WideArg a(argv[++i]);
      app::LogText(a.get(), api, mod);
    } else if (op == "--two") {
      need(2);
      WideArg a(argv[i + 1]), b(argv[i + 2]);
      i += 2;
      app::LogText2(a.get(), b.get(), api, mod);
    } else if (op == "--three") {
      need(3);
      WideArg a(argv[i + 1]), b(argv[i + 2]), c(argv[i + 3]);
      i += 3;
      app::LogText3(a.get(), b.get(), c.get());
    } else if (op == "--narrow") {
      need(1);
      app::WriteLog(Narrow(argv[++i]), api, mod);
    } else if (op == "--narrow3") {
      need(3);
      app::WriteLog3(Narrow(argv[i + 1]), Narrow(argv[i + 2]), Narrow(argv[i + 3]));
      i += 3;
    } else if (op == "--format") {
      app::LogFormat(u"msg,%s,%d,0x%08x,%hs,%5.1f", u"name", -7, 255u, "narrow");
    } else if (op == "--format-long") {
      need(1);
      const std::u16string text(std::strtoul(argv[++i], nullptr, 0), u'x');
      app::LogFormat(u"%s", text.c_str());
    } else if (op == "--fill") {
      need(1);
      if (!Fill(std::strtoull(argv[++i], nullptr, 0))) return 3;
    } else if (op == "--race") {
      need(2);
      const int threads = std::atoi(argv[i + 1]);
      const std::u16string text = Wide(argv[i + 2]);
      i += 2;
      Race(threads, text);
    } else {
      return 2;
    }
    api = 0;
    mod = 0;
  }
  return 0;
}
