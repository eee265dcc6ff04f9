// Packed files and reduced gzip members, against bytes made here by hand or by zlib directly
// (never only by our own writer).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "package/packed_file.h"
#include "support/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::ScratchDir;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void PutU32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Raw DEFLATE straight from zlib.
Bytes RawDeflate(const Bytes& data, int level = 6) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())));
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

uint32_t ZlibCrc(const Bytes& data) { return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))); }

// 1F 8B 08, the DEFLATE stream, CRC-32 and length.
Bytes Member(const Bytes& deflated, uint32_t crc, uint32_t length) {
  Bytes m = {0x1F, 0x8B, 0x08};
  m.insert(m.end(), deflated.begin(), deflated.end());
  PutU32(&m, crc);
  PutU32(&m, length);
  return m;
}
Bytes MemberOf(const Bytes& data) { return Member(RawDeflate(data), ZlibCrc(data), static_cast<uint32_t>(data.size())); }

// The 32-byte header, then the member.
Bytes PackedFile(const Bytes& member, uint32_t hint, int member_length_delta = 0) {
  Bytes f = {'Q', 'Z', 'P', 'M'};
  PutU32(&f, 0);
  PutU32(&f, static_cast<uint32_t>(static_cast<int64_t>(member.size()) + member_length_delta));
  PutU32(&f, 0);
  PutU32(&f, hint);
  PutU32(&f, 0);
  PutU32(&f, 0);
  PutU32(&f, 0);
  f.insert(f.end(), member.begin(), member.end());
  return f;
}

// Text and random bytes, the way real payloads mix them.
Bytes MixedData(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  const std::string words[] = {"Setup ", "compose ", "NorvClient ", "\r\n", "install.ini "};
  while (out.size() < size) {
    if (rng() % 3 == 0) {
      for (int i = 0; i < 200 && out.size() < size; ++i) out.push_back(static_cast<uint8_t>(rng()));
    } else {
      const std::string& w = words[rng() % 5];
      for (char c : w) {
        if (out.size() < size) out.push_back(static_cast<uint8_t>(c));
      }
    }
  }
  return out;
}

struct Decoded {
  int code;
  uint32_t length;
  Bytes output;
};
Decoded Decode(const Bytes& member, uint32_t capacity) {
  Bytes out(capacity + 1);
  uint32_t length = capacity;
  const int code = package::DecodeGzipMember(member.data(), static_cast<uint32_t>(member.size()), out.data(), &length);
  out.resize(code == package::kGzipDecoded ? length : 0);
  return {code, length, out};
}

// "hello" in a stored block, and "a" with the fixed codes, written out bit by bit.
const Bytes kStoredHello = {0x1F, 0x8B, 0x08, 0x01, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e', 'l', 'l', 'o',
                            0x86, 0xA6, 0x10, 0x36, 0x05, 0x00, 0x00, 0x00};
const Bytes kFixedA = {0x1F, 0x8B, 0x08, 0x4B, 0x04, 0x00, 0x43, 0xBE, 0xB7, 0xE8, 0x01, 0x00, 0x00, 0x00};

TEST(DecodeGzipMember, DecodesHandMadeReferenceMembers) {
  Decoded hello = Decode(kStoredHello, 64);
  EXPECT_EQ(hello.code, 8);
  EXPECT_EQ(hello.output, Text("hello"));
  Decoded a = Decode(kFixedA, static_cast<uint32_t>(kFixedA.size()));
  EXPECT_EQ(a.code, 8);
  EXPECT_EQ(a.output, Text("a"));
}

TEST(DecodeGzipMember, DecodesZlibStreamsOfEverySize) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{1000}, size_t{40000}, size_t{300000}}) {
    const Bytes data = MixedData(size, static_cast<uint32_t>(size));
    const Bytes member = MemberOf(data);
    // The capacity must cover both the input and the length field.
    const uint32_t capacity = static_cast<uint32_t>(std::max(data.size(), member.size()));
    Decoded d = Decode(member, capacity);
    EXPECT_EQ(d.code, 8) << size;
    EXPECT_EQ(d.output, data) << size;
  }
}

TEST(DecodeGzipMember, ResultCodesFollowTheChecksInOrder) {
  const Bytes hello = kStoredHello;
  auto with = [&](size_t index, uint8_t value) {
    Bytes m = hello;
    m[index] = value;
    return m;
  };
  Bytes trailing = hello;
  trailing.push_back(0);
  Bytes one_short(hello.begin(), hello.end() - 1);
  Bytes bad_stored_length = with(6, 0xFB);  // NLEN no longer the complement of LEN
  const Bytes block_type_3 = {0x1F, 0x8B, 0x08, 0x07, 0, 0, 0, 0, 0, 0, 0, 0};
  // 1000 zeros decode to more than the length field and the capacity admit.
  const Bytes zeros(1000, 0);
  const Bytes overflow = Member(RawDeflate(zeros), ZlibCrc(zeros), 30);
  const Bytes zeros_member = Member(RawDeflate(zeros), ZlibCrc(zeros), 1000);
  // A stream cut inside its data, trailer re-attached.
  const Bytes long_data = MixedData(5000, 9);
  Bytes cut = RawDeflate(long_data);
  cut.resize(cut.size() / 2);
  const Bytes cut_member = Member(cut, ZlibCrc(long_data), 5000);

  struct Case {
    const char* name;
    Bytes input;
    uint32_t capacity;
    int code;
    uint32_t length_after;  // checked for code 0
  } cases[] = {
      {"capacity below input", hello, static_cast<uint32_t>(hello.size() - 1), -1, 0},
      {"wrong ID1", with(0, 0x1E), 64, -2, 0},
      {"wrong ID2", with(1, 0x8C), 64, -2, 0},
      {"wrong method", with(2, 9), 64, -2, 0},
      {"two bytes", Bytes{0x1F, 0x8B}, 64, -2, 0},
      {"nothing", Bytes{}, 0, -2, 0},
      {"six bytes", Bytes{0x1F, 0x8B, 0x08, 0x03, 0x00, 0x00}, 64, -2, 0},
      {"length field above capacity", zeros_member, 100, 0, 1000},
      {"CRC altered", with(13, 0x87), 64, -2, 0},
      {"length field altered", with(17, 4), 64, -2, 0},
      {"byte after trailer", trailing, 64, -2, 0},
      {"one byte short", one_short, 0x10000, -2, 0},
      {"stored length mismatch", bad_stored_length, 64, -2, 0},
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

TEST(DecodeGzipMember, TooSmallBufferReportsTheLengthForTheRetry) {
  const Bytes data(100000, 'x');
  const Bytes member = MemberOf(data);
  Decoded first = Decode(member, static_cast<uint32_t>(member.size()));
  ASSERT_EQ(first.code, 0);
  ASSERT_EQ(first.length, 100000u);
  Decoded second = Decode(member, first.length);
  EXPECT_EQ(second.code, 8);
  EXPECT_EQ(second.output, data);
}

TEST(DecodeGzipMember, FlippedBytesGiveAFailureCodeOrTheRightData) {
  const Bytes data = MixedData(3000, 4);
  const Bytes member = MemberOf(data);
  std::mt19937 rng(7);
  for (size_t i = 0; i < member.size() + 300; ++i) {
    Bytes damaged = member;
    const size_t at = i < member.size() ? i : rng() % member.size();
    damaged[at] ^= static_cast<uint8_t>(i < member.size() ? 0x01 << (i % 8) : (rng() | 1));
    Decoded d = Decode(damaged, 4000);
    if (d.code == 8) {
      EXPECT_EQ(d.output, data) << "flip at " << at;
    } else {
      EXPECT_TRUE(d.code == -2 || d.code == 0) << "flip at " << at << " gave " << d.code;
    }
  }
}

class UnPackFile : public testing::Test {
 protected:
  uint32_t Unpack(const Bytes& file_bytes) {
    testing_support::WriteBytes(source_, file_bytes);
    return package::ZQP_UnPackFile(source_.c_str(), destination_.c_str());
  }
  Bytes Output() const { return testing_support::ReadBytes(destination_); }

  ScratchDir dir_;
  std::u16string source_ = dir_.Join(u"in.zqp");
  std::u16string destination_ = dir_.Join(u"out.bin");
};

TEST_F(UnPackFile, UnpacksWhateverTheHintSays) {
  const Bytes data = MixedData(50000, 1);
  const Bytes member = MemberOf(data);
  // Exact, zero (L + F is too small for zeros, the retry takes over), larger than the data, absurd.
  for (uint32_t hint : {50000u, 0u, 900000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(Unpack(PackedFile(member, hint)), 0u) << hint;
    EXPECT_EQ(Output(), data) << hint;
  }
  const Bytes zeros(300000, 0);
  EXPECT_EQ(Unpack(PackedFile(MemberOf(zeros), 0)), 0u);
  EXPECT_EQ(Output(), zeros);
}

TEST_F(UnPackFile, EmptyDataUnpacksToAnEmptyFile) {
  EXPECT_EQ(Unpack(PackedFile(MemberOf({}), 0)), 0u);
  EXPECT_TRUE(testing_support::Exists(destination_));
  EXPECT_TRUE(Output().empty());
}

TEST_F(UnPackFile, ReplacesAnExistingDestination) {
  testing_support::WriteText(destination_, std::string(5000, 'z'));
  EXPECT_EQ(Unpack(PackedFile(kStoredHello, 5)), 0u);
  EXPECT_EQ(Output(), Text("hello"));
}

TEST_F(UnPackFile, ResultCodes) {
  const Bytes good = PackedFile(kStoredHello, 5);
  Bytes wrong_magic = good;
  wrong_magic[3] = 'N';
  Bytes cut(good.begin(), good.end() - 1);
  Bytes crc_altered = good;
  crc_altered[32 + 13] ^= 0x40;
  Bytes with_tail = kStoredHello;
  with_tail.push_back(0);
  // A standard gzip member (flags, time, extra flags, OS byte) is not a reduced one.
  Bytes gzip_member;
  {
    const Bytes data = Text("standard gzip member");
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    gzip_member.resize(256);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = gzip_member.data();
    zs.avail_out = 256;
    deflate(&zs, Z_FINISH);
    gzip_member.resize(zs.total_out);
    deflateEnd(&zs);
  }
  // A trailer that claims 4 GiB from a member of a few bytes: refused before any allocation.
  const Bytes liar = Member(RawDeflate(Text("x")), ZlibCrc(Text("x")), 0xFFFFFF00u);

  struct Case {
    const char* name;
    Bytes file;
    uint32_t code;
  } cases[] = {
      {"good", good, 0},
      {"member length one more", PackedFile(kStoredHello, 5, +1), 46},
      {"member length one less", PackedFile(kStoredHello, 5, -1), 46},
      {"wrong magic", wrong_magic, 46},
      {"shorter than the header", Bytes(good.begin(), good.begin() + 31), 46},
      {"truncated by one byte", cut, 46},
      {"CRC altered", crc_altered, 45},
      {"byte after the member", PackedFile(with_tail, 5), 45},
      {"standard gzip member", PackedFile(gzip_member, 20), 45},
      {"absurd length field", PackedFile(liar, 0), 45},
      {"empty file", Bytes{}, 42},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Unpack(c.file), c.code) << c.name;
  }
  EXPECT_EQ(package::ZQP_UnPackFile(dir_.Join(u"missing.zqp").c_str(), destination_.c_str()), 42u);
  EXPECT_EQ(package::ZQP_UnPackFile(nullptr, destination_.c_str()), 42u);
}

TEST_F(UnPackFile, DestinationInAMissingFolderIs43AndCreatesNothing) {
  testing_support::WriteBytes(source_, PackedFile(kStoredHello, 5));
  const std::u16string folder = dir_.Join(u"no-such-folder");
  const std::u16string target = folder + u"/out.bin";
  EXPECT_EQ(package::ZQP_UnPackFile(source_.c_str(), target.c_str()), 43u);
  EXPECT_FALSE(testing_support::Exists(folder));
}

TEST(PackBytes, WritesTheHeaderAndAMemberThatZlibReadsBack) {
  const Bytes data = MixedData(70000, 3);
  Bytes packed;
  ASSERT_TRUE(package::PackBytes(data.data(), data.size(), &packed));
  ASSERT_GT(packed.size(), 32u + 11u);
  const Bytes expected_header = {'Q', 'Z', 'P', 'M', 0, 0, 0, 0};
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 8), expected_header);
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(packed[at] | (packed[at + 1] << 8) | (packed[at + 2] << 16) |
                                 (static_cast<uint32_t>(packed[at + 3]) << 24));
  };
  EXPECT_EQ(u32(8), packed.size() - 32);
  EXPECT_EQ(u32(12), 0u);
  EXPECT_EQ(u32(16), data.size());
  EXPECT_EQ(u32(20), 0u);
  EXPECT_EQ(u32(24), 0u);
  EXPECT_EQ(u32(28), 0u);
  EXPECT_EQ(packed[32], 0x1F);
  EXPECT_EQ(packed[33], 0x8B);
  EXPECT_EQ(packed[34], 0x08);
  EXPECT_EQ(u32(packed.size() - 8), ZlibCrc(data));
  EXPECT_EQ(u32(packed.size() - 4), data.size());

  // zlib alone, from offset 35, finds the stream end exactly where the trailer begins.
  Bytes out(data.size() + 1);
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

  Bytes again;
  ASSERT_TRUE(package::PackBytes(data.data(), data.size(), &again));
  EXPECT_EQ(again, packed);
}

TEST(PackBytes, WhatItWritesTheInstallerUnpacks) {
  ScratchDir dir;
  for (size_t size : {size_t{0}, size_t{1}, size_t{65536}, size_t{1200000}}) {
    const Bytes data = MixedData(size, 11);
    Bytes packed;
    uint64_t reported = 0;
    ASSERT_TRUE(package::PackBytes(data.data(), data.size(), &packed, [&](uint64_t done) { reported = done; }));
    EXPECT_EQ(reported, size);
    testing_support::WriteBytes(dir.Join(u"p.zqp"), packed);
    EXPECT_EQ(package::ZQP_UnPackFile(dir.Join(u"p.zqp").c_str(), dir.Join(u"p.bin").c_str()), 0u);
    EXPECT_EQ(testing_support::ReadBytes(dir.Join(u"p.bin")), data) << size;
  }
}

TEST(MaxDecodedLength, BoundsTheExpansionOfDeflate) {
  // 258 bytes per two bits is the best DEFLATE can do; zlib's best stays below the bound.
  const Bytes zeros(4000000, 0);
  const Bytes member = MemberOf(zeros);
  EXPECT_GE(package::MaxDecodedLength(member.size()), zeros.size());
  EXPECT_EQ(package::MaxDecodedLength(uint64_t{1} << 30), 0xFFFFFFFFu);
}

}  // namespace
