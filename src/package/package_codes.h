#pragma once
// Result codes of the package subsystem, in one place. Callers pass them through unchanged.
#include <cstdint>

namespace package {

// ZQP_UnPackFile (packed file on disk to a file).
constexpr uint32_t kUnpackOk = 0;
constexpr uint32_t kUnpackSourceUnreadable = 42;       // no name, cannot be opened, or empty
constexpr uint32_t kUnpackDestinationUnwritable = 43;  // WriteWholeFile failed
constexpr uint32_t kUnpackDecodeFailed = 45;           // any decoder failure after the retry
constexpr uint32_t kUnpackNotPacked = 46;              // wrong magic or member length field

// DecodeGzipMember (reduced gzip member, memory to memory).
constexpr int kGzipDecoded = 8;                  // the output length holds the bytes produced
constexpr int kGzipOutputTooSmall = 0;           // the output length holds the length required
constexpr int kGzipOutputSmallerThanInput = -1;  // nothing was done
constexpr int kGzipFormatError = -2;             // any format, check or capacity failure

// Install data source (data_obtain.h); the integrity checks' codes (engine/engine_codes.h) come
// through ObtainProductIni and ObtainComposeIni unchanged.
constexpr uint32_t kDataOk = 0;
constexpr uint32_t kDataNullArgument = 2;        // null package path, name, entry or target
constexpr uint32_t kDataNoContainerObject = 15;  // no container object can be made
constexpr uint32_t kDataNotAContainer = 16;      // the package file does not open as a container
constexpr uint32_t kDataNoPackage = 25;          // no package is loaded
constexpr uint32_t kDataProductIniMissing = 26;  // "FIX_<product>_1" missing or not extracted
constexpr uint32_t kDataComposeIniMissing = 27;  // "CNI-<compose>" missing or not extracted
constexpr uint32_t kDataPackageMissing = 41;     // the package file does not exist

}  // namespace package
