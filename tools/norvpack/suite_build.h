#pragma once
// Turns a suite folder (suite_load.h) into a finished setup file: computes the fields a person
// should not type (file sizes and checksums, each compose's "Size" and "FileSize", the product
// end marker when the suite asks for it), writes the descriptions as UTF-16, packs the files
// whose lines say so, builds the resource archives, writes the package container ("FIX_" records
// for n = 0 and 1, "CNI-", "COM-", the group "SetupSkinPart2") and the skin part (a packed
// container of kind 3 with the group "SetupSkinPart1" and the download address), and stamps
// both onto the setup program. The same inputs always give the same bytes.
//
// With a compose list the package is a compose packet instead (kind 1): no product records, the
// list in the header (a packet install installs exactly the composes of its list), the "CNI-"
// and "COM-" records of the listed composes only (not their parents or resources: a packet
// install creates no compose beyond its list), and "SetupSkinPart2", which the install worker
// extracts from any package.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "suite_text.h"

namespace norvpack {

struct SuiteBuildOptions {
  std::u16string suite_dir;
  std::vector<uint8_t> stub;    // the setup program's image, which becomes the head of the file
  bool download_only = false;   // no part 2: the wizard downloads the package
  std::u16string download_url;  // replaces suite.ini's DownloadUrl when not empty
  std::u16string packet_composes;  // comma-separated: build a compose packet of these composes
  // Receives one line per finished step, for a progress display; may be empty.
  std::function<void(const std::string&)> report;
};

struct SuiteBuildOutput {
  std::vector<uint8_t> setup_file;
  std::vector<uint8_t> package;    // the package container: part 2, or the file to serve
  std::vector<uint8_t> skin_part;  // part 1, as stamped
  size_t file_count = 0;           // compose files carried
};

// False with the first problem of the suite, or the step that failed.
bool BuildSuite(const SuiteBuildOptions& options, SuiteBuildOutput* output, SuiteError* error);

}  // namespace norvpack
