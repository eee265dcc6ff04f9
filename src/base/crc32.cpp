#include "base/crc32.h"

#include <zlib.h>

#include <climits>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define NORV_CRC32_FOLDING 1
#endif

namespace base {
namespace crc32_internal {

uint32_t Portable(uint32_t crc, const void* data, size_t size) {
  const Bytef* p = static_cast<const Bytef*>(data);
  uLong value = crc;
  while (size > 0) {
    const uInt chunk = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
    value = crc32(value, p, chunk);
    p += chunk;
    size -= chunk;
  }
  return static_cast<uint32_t>(value);
}

#if NORV_CRC32_FOLDING
namespace {

// The data is a polynomial over GF(2) whose first bit is the highest term, and the CRC register is
// the data times x^32 modulo P (0x04C11DB7, kept bit-reversed as 0xEDB88320). Folding replaces a
// 128-bit lane A followed by D bits with a value congruent to A * x^D mod P, XORed into the lane
// D bits later; only the last lane then needs a real reduction.
//
// In a lane loaded little-endian, bit k stands for x^(127-k). A 64-bit half h (bit i: x^(63-i))
// times a constant c whose bit j stands for x^(64-j) gives bit k of the carry-less product for
// x^(127-k), the lane's own layout. x^N mod P is stored as x * (x^(N-1) mod P), which has no
// x^0 term and so fits in 64 bits.
constexpr uint64_t FoldConstant(unsigned n) {
  uint32_t r = 0x80000000u;  // x^0, bit-reversed
  for (unsigned i = 0; i + 1 < n; ++i) r = (r >> 1) ^ ((r & 1) ? 0xEDB88320u : 0);
  return static_cast<uint64_t>(r) << 32;
}

// Low half of a lane is multiplied by x^(D+64), high half by x^D.
template <unsigned kDistance>
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldConstants() {
  constexpr uint64_t kLow = FoldConstant(kDistance + 64), kHigh = FoldConstant(kDistance);
  return _mm_set_epi64x(static_cast<long long>(kHigh), static_cast<long long>(kLow));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i lane, __m128i constants, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

__attribute__((target("pclmul,sse4.1"))) uint32_t Folding(uint32_t crc, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  // Below four lanes the setup costs more than it saves.
  if (size < 64) return Portable(crc, p, size);

  // The register, inverted as zlib keeps it, is the same as XORing it into the first four bytes.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  p += 64;
  size -= 64;

  // Four independent lanes hide the multiplier's latency.
  const __m128i by512 = FoldConstants<512>();
  while (size >= 64) {
    x0 = Fold(x0, by512, Load(p));
    x1 = Fold(x1, by512, Load(p + 16));
    x2 = Fold(x2, by512, Load(p + 32));
    x3 = Fold(x3, by512, Load(p + 48));
    p += 64;
    size -= 64;
  }
  const __m128i by128 = FoldConstants<128>();
  __m128i x = Fold(Fold(Fold(x0, by128, x1), by128, x2), by128, x3);
  while (size >= 16) {
    x = Fold(x, by128, Load(p));
    p += 16;
    size -= 16;
  }

  // The last lane through the table code from a zero register gives the register itself.
  alignas(16) uint8_t lane[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(lane), x);
  const uint32_t reg = ~Portable(0xFFFFFFFFu, lane, sizeof lane);
  return Portable(~reg, p, size);
}

bool HasFolding() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
}
#else
uint32_t Folding(uint32_t crc, const void* data, size_t size) { return Portable(crc, data, size); }
bool HasFolding() { return false; }
#endif

}  // namespace crc32_internal

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  static const bool folding = crc32_internal::HasFolding();
  return folding ? crc32_internal::Folding(crc, data, size) : crc32_internal::Portable(crc, data, size);
}
}  // namespace base
