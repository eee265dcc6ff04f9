// Download throughput: our downloader against curl, both fetching the same large file from the
// same private nginx on 127.0.0.1 in one run. Prints the throughput of each and their ratio.
//
//   download_bench [MiB] [rounds] [WINDOWS_TESTS_DIR]
//       defaults: 256 MiB, 3 rounds; the best round of each counts. With the Windows build's tests
//       folder (for example build/windows/tests), the Windows build of our downloader
//       (download_once.exe) is measured under Wine as well.
//
// Our time is measured inside this process around IUrlDown::Download (socket set-up, request,
// header, body into "<target>.tmp", rename). curl's time is its own "time_total" for the same
// steps, so its process start-up is left out as ours is; its wall time with start-up is printed
// beside it. Under Wine the time is measured inside download_once.exe, so Wine's start-up is left
// out too. Every file is checked against the served one.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/crc32.h"
#include "base/strings.h"
#include "net/url_down.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string SourceDir() {
  if (const char* dir = std::getenv("NORV_SOURCE_DIR")) return dir;
  const std::string self = __FILE__;
  return self.substr(0, self.rfind("/bench/"));
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitForFile(const fs::path& path, int seconds) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (!fs::exists(path)) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

uint32_t FileCrc(const fs::path& path, uint64_t* size) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  uint32_t crc = 0;
  *size = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    crc = base::Crc32(crc, buffer.data(), static_cast<size_t>(got));
    *size += static_cast<uint64_t>(got);
  }
  return crc;
}

// Counts notifications the way the download page receives them, without drawing anything.
class CountingCallBack : public net::IDownCallBack {
 public:
  bool IsStop() override { return false; }
  void OnProgress(const char16_t*, int32_t, int32_t present) override {
    ++calls;
    last = present;
  }
  void OnBegin(const char16_t*, int32_t) override {}
  void OnEnd(const char16_t*, bool) override {}
  long calls = 0;
  int32_t last = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string wine_tests = argc > 3 ? fs::absolute(argv[3]).string() : std::string();
  if (!wine_tests.empty() && !fs::exists(fs::path(wine_tests) / "download_once.exe")) {
    std::fprintf(stderr, "download_bench: no download_once.exe in %s\n", wine_tests.c_str());
    return 2;
  }
  if (mib == 0 || mib > 2047) {
    std::fprintf(stderr, "download_bench: size must be 1 to 2047 MiB\n");
    return 2;
  }
  const fs::path work = fs::absolute("download-bench-work");
  fs::remove_all(work);
  fs::create_directories(work / "www");

  // The served file: a fixed pseudo-random pattern.
  {
    std::ofstream out(work / "www" / "big.bin", std::ios::binary);
    std::vector<char> block(1 << 20);
    uint32_t x = 2463534242u;
    for (uint64_t i = 0; i < mib; ++i) {
      for (auto& b : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<char>(x);
      }
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  std::ofstream(work / "www" / "tiny.bin", std::ios::binary) << 'x';
  uint64_t expected_size = 0;
  const uint32_t expected_crc = FileCrc(work / "www" / "big.bin", &expected_size);

  const std::string script = SourceDir() + "/tests/net/nginx_instance.sh";
  if (Run("/bin/sh '" + script + "' start '" + work.string() + "' 900") != 0 || !WaitForFile(work / "port", 30)) {
    std::fprintf(stderr, "download_bench: nginx did not start\n");
    return 1;
  }
  std::string port;
  std::ifstream(work / "port") >> port;
  const std::string url = "http://127.0.0.1:" + port + "/big.bin";
  std::printf("download_bench: %llu MiB from nginx at %s, best of %d rounds\n",
              static_cast<unsigned long long>(mib), url.c_str(), rounds);

  double ours_best = 1e30, curl_best = 1e30, curl_wall_best = 1e30, wine_best = 1e30;
  bool ok = true;
  for (int round = 0; round < rounds && ok; ++round) {
    // Ours.
    const fs::path ours_file = work / "ours.bin";
    fs::remove(ours_file);
    CountingCallBack callback;
    net::UrlDownPtr down(net::CreateUrlDown(&callback));
    if (!down) return 1;
    const std::u16string wide_url = base::Utf8ToUtf16(url);
    const std::u16string wide_target = base::Utf8ToUtf16(ours_file.string());
    const auto start = Clock::now();
    const uint32_t result = down->Download(wide_url.c_str(), wide_target.c_str(), false);
    const double ours = std::chrono::duration<double>(Clock::now() - start).count();
    uint64_t size = 0;
    if (result != 0 || FileCrc(ours_file, &size) != expected_crc || size != expected_size) {
      std::fprintf(stderr, "download_bench: our download failed (result %u, %llu bytes)\n", result,
                   static_cast<unsigned long long>(size));
      ok = false;
      break;
    }
    ours_best = std::min(ours_best, ours);

    // curl, its own total time read from its output.
    const fs::path curl_file = work / "curl.bin";
    fs::remove(curl_file);
    const auto curl_start = Clock::now();
    FILE* pipe = popen(("curl -s -o '" + curl_file.string() + "' -w '%{time_total}' '" + url + "'").c_str(), "r");
    char text[64] = {};
    const size_t got = pipe ? std::fread(text, 1, sizeof text - 1, pipe) : 0;
    const int status = pipe ? pclose(pipe) : -1;
    const double curl_wall = std::chrono::duration<double>(Clock::now() - curl_start).count();
    text[got] = 0;
    const double curl_total = std::atof(text);
    if (status != 0 || curl_total <= 0 || FileCrc(curl_file, &size) != expected_crc || size != expected_size) {
      std::fprintf(stderr, "download_bench: curl failed\n");
      ok = false;
      break;
    }
    curl_best = std::min(curl_best, curl_total);
    std::printf("  round %d: ours %.3f s (%ld progress calls), curl %.3f s (%.3f s with start-up)\n", round + 1, ours,
                callback.calls, curl_total, curl_wall);

    if (!wine_tests.empty()) {
      const fs::path wine_file = work / "wine.bin";
      fs::remove(wine_file);
      const std::string command = "cd '" + wine_tests + "' && '" + SourceDir() +
                                  "/scripts/wine-run.sh' ./download_once.exe '" + url + "' 'Z:" + wine_file.string() +
                                  "' 2>/dev/null";
      FILE* wine = popen(command.c_str(), "r");
      char line[128] = {};
      const size_t read = wine ? std::fread(line, 1, sizeof line - 1, wine) : 0;
      const int wine_status = wine ? pclose(wine) : -1;
      line[read] = 0;
      unsigned wine_result = 1;
      double wine_seconds = 0;
      if (wine_status != 0 || std::sscanf(line, "%u %lf", &wine_result, &wine_seconds) != 2 || wine_result != 0 ||
          FileCrc(wine_file, &size) != expected_crc || size != expected_size) {
        std::fprintf(stderr, "download_bench: the download under Wine failed: %s\n", line);
        ok = false;
        break;
      }
      wine_best = std::min(wine_best, wine_seconds);
      std::printf("  round %d under Wine: ours %.3f s\n", round + 1, wine_seconds);
    }
    curl_wall_best = std::min(curl_wall_best, curl_wall);
  }
  // Our fixed cost per transfer (connecting and the pause after it, request, header), timed on a
  // one-byte file, to tell it from the body's throughput.
  double fixed_best = 1e30;
  const std::u16string tiny_url = base::Utf8ToUtf16(url.substr(0, url.rfind('/')) + "/tiny.bin");
  const std::u16string tiny_target = base::Utf8ToUtf16((work / "tiny.bin").string());
  for (int round = 0; round < rounds && ok; ++round) {
    net::UrlDownPtr down(net::CreateUrlDown(nullptr));
    const auto start = Clock::now();
    ok = down && down->Download(tiny_url.c_str(), tiny_target.c_str(), false) == 0;
    if (!ok) std::fprintf(stderr, "download_bench: the one-byte download failed\n");
    fixed_best = std::min(fixed_best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  Run("/bin/sh '" + script + "' stop '" + work.string() + "'");
  if (!ok) return 1;

  const double bytes = static_cast<double>(expected_size);
  std::printf("ours: %.1f MiB/s\n", bytes / ours_best / 1048576.0);
  std::printf("curl: %.1f MiB/s (%.1f MiB/s counting its start-up)\n", bytes / curl_best / 1048576.0,
              bytes / curl_wall_best / 1048576.0);
  std::printf("throughput ratio ours/curl: %.2f (%.2f against curl with start-up)\n", curl_best / ours_best,
              curl_wall_best / ours_best);
  std::printf("ours on a one-byte file: %.3f s; our body alone: %.1f MiB/s, %.2f of curl's total\n", fixed_best,
              bytes / (ours_best - fixed_best) / 1048576.0, curl_best / (ours_best - fixed_best));
  if (!wine_tests.empty()) {
    std::printf("ours under Wine: %.1f MiB/s; throughput ratio ours under Wine/curl: %.2f\n",
                bytes / wine_best / 1048576.0, curl_best / wine_best);
  }
  fs::remove_all(work);
  return 0;
}
