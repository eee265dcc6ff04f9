// Packed files and reduced gzip members, against bytes made here by hand or by zlib directly
// (never only by our own writer).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "package/packed_file.h"
#include "package/package_test_files.h"
#include "package/payload_test_bytes.h"
#include "support/scratch_dir.h"

namespace {

using namespace payload_test;
using package_test::Buf;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// Text and random bytes, the way real payloads mix them.
Buf MixedData(size_t size, uint32_t seed) {
  Buf out = package_test::Noise(size, seed);
  for (size_t i = 0; i < size; ++i) out[i] = (i / 200) % 3 ? static_cast<uint8_t>("Setup compose\r\n"[i % 15]) : out[i];
  return out;
}

struct Decoded {
  int code;
  uint32_t length;
  Buf output;
};
Decoded Decode(const Buf& member, uint32_t capacity) {
  Buf out(capacity + 1);
  uint32_t length = capacity;
  const int code = package::DecodeGzipMember(member.data(), static_cast<uint32_t>(member.size()), out.data(), &length);
  out.resize(code == package::kGzipDecoded ? length : 0);
  return {code, length, out};
}

// "hello" in a stored block, and "a" with the fixed codes, written out bit by bit.
const Buf kStoredHello = {0x1F, 0x8B, 0x08, 0x01, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e', 'l', 'l', 'o',
                          0x86, 0xA6, 0x10, 0x36, 0x05, 0x00, 0x00, 0x00};
const Buf kFixedA = {0x1F, 0x8B, 0x08, 0x4B, 0x04, 0x00, 0x43, 0xBE, 0xB7, 0xE8, 0x01, 0x00, 0x00, 0x00};

TEST(DecodeGzipMember, DecodesHandMadeAndZlibMembers) {
  std::vector<std::pair<Buf, Buf>> cases = {{kStoredHello, Bytes("hello")}, {kFixedA, Bytes("a")}};
  for (size_t size : {size_t{0}, size_t{1}, size_t{1000}, size_t{40000}, size_t{300000}}) {
    const Buf data = MixedData(size, static_cast<uint32_t>(size));
    cases.push_back({ReducedGzipMember(data), data});
  }
  for (const auto& [member, data] : cases) {
    // The capacity must cover both the input and the length field.
    Decoded d = Decode(member, static_cast<uint32_t>(std::max(data.size(), member.size())));
    EXPECT_EQ(d.code, 8) << data.size();
    EXPECT_EQ(d.output, data) << data.size();
  }
}

TEST(DecodeGzipMember, ResultCodesFollowTheChecksInOrder) {
  const Buf& hello = kStoredHello;
  Buf trailing = hello;
  trailing.push_back(0);
  Buf one_short(hello.begin(), hello.end() - 1);
  const Buf block_type_3 = {0x1F, 0x8B, 0x08, 0x07, 0, 0, 0, 0, 0, 0, 0, 0};
  // 1000 zeros decode to more than the length field and the capacity admit.
  const Buf zeros(1000, 0);
  const Buf overflow = MemberAround(RawDeflate(zeros), Crc32(zeros), 30);
  // A stream cut inside its data, trailer re-attached.
  const Buf long_data = MixedData(5000, 9);
  Buf cut = RawDeflate(long_data);
  cut.resize(cut.size() / 2);
  const Buf cut_member = MemberAround(cut, Crc32(long_data), 5000);

  const struct {
    const char* name;
    Buf input;
    uint32_t capacity;
    int code;
    uint32_t length_after;  // checked for code 0
  } cases[] = {
      {"capacity below input", hello, static_cast<uint32_t>(hello.size() - 1), -1, 0},
      {"wrong ID1", WithByte(hello, 0, 0x1E), 64, -2, 0},
      {"nothing", Buf{}, 0, -2, 0},
      {"length field above capacity", ReducedGzipMember(zeros), 100, 0, 1000},
      {"CRC altered", WithByte(hello, 13, 0x87), 64, -2, 0},
      {"length field altered", WithByte(hello, 17, 4), 64, -2, 0},
      {"byte after trailer", trailing, 64, -2, 0},
      {"one byte short", one_short, 0x10000, -2, 0},
      {"block type 3", block_type_3, 64, -2, 0},
      {"more output than capacity", overflow, 30, -2, 0},
      {"stream cut short", cut_member, 6000, -2, 0},
  };
  for (const auto& c : cases) {
    Decoded d = Decode(c.input, c.capacity);
    EXPECT_EQ(d.code, c.code) << c.name;
    if (c.code == 0) {
      EXPECT_EQ(d.length, c.length_after) << c.name;
    }
  }
}

class UnPackFile : public testing::Test {
 protected:
  uint32_t Unpack(const Buf& file_bytes) {
    testing_support::WriteBytes(source_, file_bytes);
    return package::ZQP_UnPackFile(source_.c_str(), destination_.c_str());
  }
  Buf Output() const { return testing_support::ReadBytes(destination_); }

  ScratchDir dir_;
  std::u16string source_ = dir_.Join(u"in.zqp");
  std::u16string destination_ = dir_.Join(u"out.bin");
};

TEST_F(UnPackFile, UnpacksWhateverTheHintSays) {
  const Buf data = MixedData(50000, 1);
  const Buf zeros(300000, 0);
  const Buf empty;
  // Exact, zero (L + F is too small for zeros, the retry takes over), beyond the bound.
  const std::pair<Buf, uint32_t> cases[] = {{data, 50000u}, {data, 0u}, {data, 0xFFFFFFFFu}, {zeros, 0u}, {empty, 0u}};
  // An existing, longer destination is replaced.
  testing_support::WriteText(destination_, std::string(400000, 'z'));
  for (const auto& [content, hint] : cases) {
    EXPECT_EQ(Unpack(PackedAround(ReducedGzipMember(content), hint)), 0u) << hint;
    EXPECT_TRUE(testing_support::Exists(destination_));
    EXPECT_EQ(Output(), content) << content.size() << " bytes, hint " << hint;
  }
}

TEST_F(UnPackFile, ResultCodes) {
  const Buf good = PackedAround(kStoredHello, 5);
  // A member the decoder refuses (its own cases above) gives 45; so does a standard gzip member
  // (flags, time, extra flags, OS byte), which is not a reduced one.
  const Buf standard_text = Bytes("standard gzip member");
  Buf gzip_member = MemberAround(RawDeflate(standard_text), Crc32(standard_text), 20);
  gzip_member.insert(gzip_member.begin() + 3, {0, 0, 0, 0, 0, 0, 0x03});
  // A trailer that claims 4 GiB from a member of a few bytes: refused before any allocation.
  const Buf liar = MemberAround(RawDeflate(Bytes("x")), Crc32(Bytes("x")), 0xFFFFFF00u);

  const struct {
    const char* name;
    Buf file;
    uint32_t code;
  } cases[] = {
      {"good", good, 0},
      {"member length one more", PackedAround(kStoredHello, 5, +1), 46},
      {"wrong magic", WithByte(good, 3, 'N'), 46},
      {"shorter than the header", Buf(good.begin(), good.begin() + 31), 46},
      {"standard gzip member", PackedAround(gzip_member, 20), 45},
      {"absurd length field", PackedAround(liar, 0), 45},
      {"empty file", Buf{}, 42},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Unpack(c.file), c.code) << c.name;
  }
  EXPECT_EQ(package::ZQP_UnPackFile(dir_.Join(u"missing.zqp").c_str(), destination_.c_str()), 42u);
  EXPECT_EQ(package::ZQP_UnPackFile(nullptr, destination_.c_str()), 42u);

  // A destination in a missing folder: 43, and the folder is not made.
  const std::u16string folder = dir_.Join(u"no-such-folder");
  WriteBytes(source_, good);
  EXPECT_EQ(package::ZQP_UnPackFile(source_.c_str(), (folder + u"/out.bin").c_str()), 43u);
  EXPECT_FALSE(testing_support::Exists(folder));
}

TEST(PackBytes, WritesTheHeaderAndAMemberThatZlibReadsBack) {
  const Buf data = MixedData(70000, 3);
  Buf packed;
  uint64_t reported = 0;
  ASSERT_TRUE(package::PackBytes(data.data(), data.size(), &packed, [&](uint64_t done) { reported = done; }));
  EXPECT_EQ(reported, data.size());
  ASSERT_GT(packed.size(), 32u + 11u);
  // The header as the hand-made writer lays it out, the member framed by 1F 8B 08 and its trailer.
  const Buf member(packed.begin() + 32, packed.end());
  EXPECT_EQ(packed, PackedAround(member, static_cast<uint32_t>(data.size())));
  const Buf frame = MemberAround({}, Crc32(data), static_cast<uint32_t>(data.size()));
  EXPECT_EQ(Buf(member.begin(), member.begin() + 3), Buf(frame.begin(), frame.begin() + 3));
  EXPECT_EQ(Buf(member.end() - 8, member.end()), Buf(frame.begin() + 3, frame.end()));

  // zlib alone, from offset 35, finds the stream end exactly where the trailer begins.
  Buf out(data.size() + 1);
  z_stream zs{};
  inflateInit2(&zs, -15);
  zs.next_in = packed.data() + 35;
  zs.avail_in = static_cast<uInt>(packed.size() - 35);
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(zs.avail_in, 8u);
  out.resize(zs.total_out);
  inflateEnd(&zs);
  EXPECT_EQ(out, data);

  Buf again;
  ASSERT_TRUE(package::PackBytes(data.data(), data.size(), &again));
  EXPECT_EQ(again, packed);
}

TEST(MaxDecodedLength, BoundsTheExpansionOfDeflate) {
  // 258 bytes per two bits is the best DEFLATE can do; zlib's best stays below the bound.
  const Buf zeros(4000000, 0);
  const Buf member = ReducedGzipMember(zeros);
  EXPECT_GE(package::MaxDecodedLength(member.size()), zeros.size());
  EXPECT_EQ(package::MaxDecodedLength(uint64_t{1} << 30), 0xFFFFFFFFu);
}

}  // namespace
