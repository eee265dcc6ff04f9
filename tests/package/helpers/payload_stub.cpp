// A small program that tests stamp with a payload. Without arguments it only proves that it still
// runs (exit code 7). With "prepare TEMP RESULT" it makes TEMP the system temporary folder and
// takes its own payload out the way the setup program does (skin part, download address, package),
// writing what it got to RESULT as UTF-8 lines "key=value"; exit code 0 when the skin was prepared.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/strings.h"
#include "package/payload.h"
#include "platform/system.h"

#ifdef _WIN32
#include <stdlib.h>
#endif

namespace {

bool UseTempFolder(const std::string& folder) {
#ifdef _WIN32
  const std::u16string wide = base::Utf8ToUtf16(folder);
  const wchar_t* value = reinterpret_cast<const wchar_t*>(wide.c_str());
  return _wputenv_s(L"TMP", value) == 0 && _wputenv_s(L"TEMP", value) == 0;
#else
  return setenv("TMPDIR", folder.c_str(), 1) == 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("payload stub running\n");
    return 7;
  }
  if (std::string(argv[1]) != "prepare" || argc != 4) return 2;
  if (!UseTempFolder(argv[2])) return 3;
  std::u16string url;
  const std::u16string skin = package::PrepareSkinPart(&url);
  const bool has_package = package::HasPackagePart(platform::ModuleFilePath());
  const std::u16string big = has_package ? package::ExtractBigFile() : u"";
  std::FILE* out = std::fopen(argv[3], "wb");
  if (!out) return 4;
  std::fprintf(out, "skin=%s\nurl=%s\nhas_package=%d\nbig=%s\n", base::Utf16ToUtf8(skin).c_str(),
               base::Utf16ToUtf8(url).c_str(), has_package ? 1 : 0,
               base::Utf16ToUtf8(big).c_str());
  std::fclose(out);
  return skin.empty() ? 1 : 0;
}
