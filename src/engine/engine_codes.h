#pragma once
// Result codes of the install engine. Every engine operation returns 0 for success or one of
// these; codes of the package layer (package/package_codes.h) are passed through unchanged.
#include <cstdint>

namespace engine {

constexpr uint32_t kOk = 0;
constexpr uint32_t kStoppedByUser = 1;
constexpr uint32_t kNullArgument = 2;  // a null (or, for names, empty where stated) argument

// Descriptions (product.h, compose.h).
constexpr uint32_t kComposeAllocFailed = 8;        // a compose cannot be allocated
constexpr uint32_t kDescriptionLoadFailed = 18;    // a description file cannot be loaded
constexpr uint32_t kNoHaveSection = 20;            // compose file without "HaveSection"
constexpr uint32_t kEmptyHaveSection = 21;         // "HaveSection" has no keys
constexpr uint32_t kBadFileSection = 23;           // missing file section, malformed file line,
                                                   // a file twice in one compose
constexpr uint32_t kNoComposeList = 300;           // no list given and "HaveCompose"/"All" empty

// Integrity checks (integrity_check.h).
constexpr uint32_t kCheckStringMissing = 301;      // product file: "End"/"CheckString" absent
constexpr uint32_t kCheckStringWrong = 302;        // product file: marker is not "CheckFileOKEnd"
constexpr uint32_t kComposeSizeMismatch = 303;     // compose file: "FileSize" differs from the size
constexpr uint32_t kProductIniLoadFailed = 304;    // product file cannot be loaded
constexpr uint32_t kComposeIniLoadFailed = 305;    // compose file cannot be loaded

// Change detection (change_detect.h).
constexpr uint32_t kComposeFileMissing = 5;        // a file of a compose was not found when
                                                   // measuring (counted as checksum 0, size 0)
constexpr uint32_t kOwnerNotSet = 32;              // installed paths asked for before the
                                                   // compose was linked to the installed-state
                                                   // store

// Install data source (data_obtain.h); the integrity checks' codes come through
// ObtainProductIni and ObtainComposeIni unchanged.
constexpr uint32_t kDataOk = 0;
constexpr uint32_t kDataNullArgument = 2;        // null package path, name, entry or target
constexpr uint32_t kDataNoContainerObject = 15;  // no container object can be made
constexpr uint32_t kDataNotAContainer = 16;      // the package file does not open as a container
constexpr uint32_t kDataNoPackage = 25;          // no package is loaded
constexpr uint32_t kDataProductIniMissing = 26;  // "FIX_<product>_1" missing or not extracted
constexpr uint32_t kDataComposeIniMissing = 27;  // "CNI-<compose>" missing or not extracted
constexpr uint32_t kDataUnsafeName = 28;         // a file name from a description would lead out of
                                                 // the Temp folder
constexpr uint32_t kDataPackageMissing = 41;     // the package file does not exist

// File placement (file_operator.h); when a packed file does not unpack, the unpacker's code
// (package::kUnpack*) ends the run unchanged.
constexpr uint32_t kNoFileList = 40;                // the file operator was given no file list
constexpr uint32_t kPlaceSourceMissing = 106;       // the file to place is not there
constexpr uint32_t kPlaceRestartMoveFailed = 110;   // a file in use could not be scheduled for
                                                    // replacement at the next restart

}  // namespace engine
