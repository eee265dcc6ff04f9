// The downloader against a real nginx: a whole file, a redirect, a missing file, and a resume
// answered with a real 206 to the Range line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/download_codes.h"
#include "net/url_down.h"
#include "support/scratch_dir.h"
#include "test_servers.h"

namespace {

using Bytes = std::vector<unsigned char>;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

constexpr size_t kFileSize = 3 * 1048576 + 123;

Bytes BigFile() {
  Bytes bytes(kFileSize);
  uint32_t x = 12345;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<unsigned char>(x);
  }
  return bytes;
}

class Progress : public net::IDownCallBack {
 public:
  bool IsStop() override { return false; }
  void OnProgress(const char16_t*, int32_t total, int32_t present) override {
    if (first_present < 0) first_present = present;
    last_present = present;
    last_total = total;
  }
  void OnBegin(const char16_t*, int32_t total) override { begin_total = total; }
  void OnEnd(const char16_t*, bool success) override { ends.push_back(success); }
  int32_t begin_total = -1, first_present = -1, last_present = -1, last_total = -1;
  std::vector<bool> ends;
};

class UrlDownNginxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    content_ = new Bytes(BigFile());
    nginx_ = new net_test::NginxInstance("nginx");
    nginx_->PutFile("big.bin", *content_);
    started_ = nginx_->Start(300);
  }
  static void TearDownTestSuite() {
    delete nginx_;
    delete content_;
  }
  void SetUp() override {
    ASSERT_TRUE(started_) << "nginx could not be started";
    down_.reset(net::CreateUrlDown(&progress_));
    ASSERT_TRUE(down_);
    target_ = dir_.Join(u"BigFile.dat");
    temp_ = target_ + u".tmp";
  }
  static std::string LogLines() { return nginx_->AccessLog(); }

  static Bytes* content_;
  static net_test::NginxInstance* nginx_;
  static bool started_;
  testing_support::ScratchDir dir_;
  Progress progress_;
  net::UrlDownPtr down_;
  std::u16string target_, temp_;
};
Bytes* UrlDownNginxTest::content_ = nullptr;
net_test::NginxInstance* UrlDownNginxTest::nginx_ = nullptr;
bool UrlDownNginxTest::started_ = false;

TEST_F(UrlDownNginxTest, FetchesTheWholeFileAndFollowsItsRedirect) {
  EXPECT_EQ(down_->Download(nginx_->Url("/moved").c_str(), target_.c_str(), true), net::kDownOk);
  EXPECT_EQ(ReadBytes(target_), *content_);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_EQ(progress_.begin_total, static_cast<int32_t>(kFileSize));
  EXPECT_EQ(progress_.last_present, static_cast<int32_t>(kFileSize));
  EXPECT_EQ(progress_.ends, std::vector<bool>{true});
  const std::string log = LogLines();
  EXPECT_NE(log.find("301 \"-\""), std::string::npos) << log;
  EXPECT_NE(log.find("200 \"-\" " + std::to_string(kFileSize) + " \"GET /big.bin HTTP/1.1\""), std::string::npos)
      << log;
}

TEST_F(UrlDownNginxTest, ResumesWithARealRangeAnswer) {
  // A broken earlier attempt: one million bytes, the last 8 KiB of them damaged.
  Bytes partial(content_->begin(), content_->begin() + 1000000);
  std::fill(partial.end() - 8192, partial.end(), 0xEE);
  WriteBytes(temp_, partial);

  EXPECT_EQ(down_->Download(nginx_->Url("/big.bin").c_str(), target_.c_str(), true), net::kDownOk);
  EXPECT_EQ(ReadBytes(target_), *content_);
  const int32_t offset = 1000000 - 8192;
  EXPECT_EQ(progress_.begin_total, static_cast<int32_t>(kFileSize));
  EXPECT_GT(progress_.first_present, offset);
  EXPECT_LE(progress_.first_present, offset + 4096);
  EXPECT_EQ(progress_.last_present, static_cast<int32_t>(kFileSize));
  const std::string log = LogLines();
  EXPECT_NE(log.find("206 \"bytes=" + std::to_string(offset) + "-\" " + std::to_string(kFileSize - offset) +
                     " \"GET /big.bin HTTP/1.1\""),
            std::string::npos)
      << log;
}

TEST_F(UrlDownNginxTest, AMissingFileIs2404AndLeavesNoFile) {
  EXPECT_EQ(down_->Download(nginx_->Url("/none.bin").c_str(), target_.c_str(), false), 2404u);
  EXPECT_FALSE(Exists(target_));
  EXPECT_FALSE(Exists(temp_));
  EXPECT_EQ(progress_.ends, std::vector<bool>{false});
  EXPECT_EQ(progress_.begin_total, -1);
}

}  // namespace
