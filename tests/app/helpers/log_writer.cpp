// Writes log entries as its command line asks, so that tests can watch a fresh process's log:
//   --api N / --mod N     codes for the next entry (then back to 0)
//   --text S / --two A B / --three A B C     LogText, LogText2, LogText3
//   --narrow S / --narrow3 A B C             WriteLog, WriteLog3
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
#include "base/path.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace {

bool IsNull(const char* arg) { return std::strcmp(arg, "<null>") == 0; }

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

// Keeps a converted text alive while a call uses it.
struct WideArg {
  explicit WideArg(const char* arg)
      : null(IsNull(arg)), resource(arg[0] == '#' ? std::strtoul(arg + 1, nullptr, 0) : 0), text(Wide(arg)) {}
  const char16_t* get() const {
    if (resource) return reinterpret_cast<const char16_t*>(resource);
    return null ? nullptr : text.c_str();
  }
  bool null;
  uintptr_t resource;
  std::u16string text;
};
const char* Narrow(const char* arg) { return IsNull(arg) ? nullptr : arg; }

bool Fill(uint64_t target) {
  const std::u16string log = platform::WindowsDirectory() + u"\\NorvLog\\" +
                             std::u16string(base::FileNamePart(platform::ModuleFilePath())) + u".log";
  platform::File file =
      platform::File::Open(log, platform::FileAccess::kReadWrite, platform::FileDisposition::kOpenAlways);
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size) || !file.SeekToEnd()) return false;
  const std::string dots(size < target ? static_cast<size_t>(target - size) : 0, '.');
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

int Arguments(const std::string& op) {
  if (op == "--format") return 0;
  if (op == "--two" || op == "--race") return 2;
  if (op == "--three" || op == "--narrow3") return 3;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t api = 0;
  int32_t mod = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string op = argv[i];
    const int needed = Arguments(op);
    if (i + needed >= argc) return 2;
    const char* a = argv[i + 1];
    const char* b = needed > 1 ? argv[i + 2] : nullptr;
    const char* c = needed > 2 ? argv[i + 3] : nullptr;
    i += needed;
    if (op == "--api") {
      api = static_cast<uint32_t>(std::strtoul(a, nullptr, 0));
      continue;
    }
    if (op == "--mod") {
      mod = static_cast<int32_t>(std::strtol(a, nullptr, 0));
      continue;
    }
    if (op == "--text") {
      app::LogText(WideArg(a).get(), api, mod);
    } else if (op == "--two") {
      app::LogText2(WideArg(a).get(), WideArg(b).get(), api, mod);
    } else if (op == "--three") {
      app::LogText3(WideArg(a).get(), WideArg(b).get(), WideArg(c).get());
    } else if (op == "--narrow") {
      app::WriteLog(Narrow(a), api, mod);
    } else if (op == "--narrow3") {
      app::WriteLog3(Narrow(a), Narrow(b), Narrow(c));
    } else if (op == "--format") {
      app::LogFormat(u"msg,%s,%d,0x%08x,%hs,%5.1f", u"name", -7, 255u, "narrow");
    } else if (op == "--format-long") {
      app::LogFormat(u"%s", std::u16string(std::strtoul(a, nullptr, 0), u'x').c_str());
    } else if (op == "--fill") {
      if (!Fill(std::strtoull(a, nullptr, 0))) return 3;
    } else if (op == "--race") {
      Race(std::atoi(a), Wide(b));
    } else {
      return 2;
    }
    api = 0;
    mod = 0;
  }
  return 0;
}
