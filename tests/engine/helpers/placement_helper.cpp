// A second process for the placement tests (arguments in UTF-8; the tests pass ASCII paths):
//   hold MARKER [FILE]   opens FILE for reading without write or delete sharing, writes MARKER
//                        and sleeps a minute: a file in use, and its own image in use
//   place SOURCE TARGET FIELD7 FIELD8
//                        places SOURCE at TARGET as the run's one new plain file; the exit code
//                        is the result * 2 + RestartNeeded, which no earlier step has set
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "base/path.h"
#include "base/strings.h"
#include "engine/file_operator.h"
#include "engine/restart_needed.h"
#include "package/file_utils.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hold" && argc >= 3) {
    platform::File held;
    if (argc > 3) held = platform::File::Open(base::Utf8ToUtf16(argv[3]), platform::FileAccess::kRead,
                                              platform::FileDisposition::kOpenExisting, platform::FileShare::kRead);
    if (argc > 3 && !held.IsOpen()) return 3;
    if (!package::WriteWholeFile(base::Utf8ToUtf16(argv[2]).c_str(), "held", 4, false)) return 4;
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
  }
  if (mode != "place" || argc != 6) return 2;
  engine::FileEntryList files(1);
  engine::FileEntry& entry = files[0];
  entry.extracted_path = base::Utf8ToUtf16(argv[2]);
  entry.full_path = base::Utf8ToUtf16(argv[3]);
  entry.file_name = std::u16string(base::FileNamePart(entry.full_path));
  entry.state = engine::FileState::kNew;
  entry.rename_if_locked = std::atoi(argv[4]);
  entry.needs_restart = std::atoi(argv[5]);
  engine::FileOperator placer{engine::WorkPaths(base::ParentPart(entry.full_path))};
  placer.SetFileList(&files);
  return static_cast<int>(placer.PlaceFiles(100) * 2 + engine::RestartNeeded());
}
