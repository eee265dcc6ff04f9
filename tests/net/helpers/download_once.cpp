// download_once URL TARGET: one IUrlDown::Download without resume, timed inside the process.
// Prints "<result code> <seconds>" on one line; exits 0 when the download succeeded. The download
// benchmark runs the Windows build of it under Wine, so that Wine's start-up stays out of the time.
#include <chrono>
#include <cstdio>

#include "base/strings.h"
#include "net/url_down.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_once URL TARGET\n");
    return 2;
  }
  net::UrlDownPtr down(net::CreateUrlDown(nullptr));
  if (!down) return 1;
  const std::u16string url = base::Utf8ToUtf16(argv[1]);
  const std::u16string target = base::Utf8ToUtf16(argv[2]);
  const auto start = std::chrono::steady_clock::now();
  const uint32_t result = down->Download(url.c_str(), target.c_str(), false);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%u %.6f\n", result, seconds);
  return result == 0 ? 0 : 1;
}
