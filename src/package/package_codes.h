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

}  // namespace package
