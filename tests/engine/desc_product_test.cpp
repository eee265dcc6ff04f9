// Loading product descriptions: the compose closure, explicit lists, attributes, OS selection,
// Type 1 composes and the result codes, from hand-written UTF-16 files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/strings.h"
#include "engine_test_util.h"
#include "engine/engine_codes.h"
#include "engine/product.h"
#include "support/scratch_dir.h"

namespace engine {
namespace {

using engine_test::WriteUtf16File;

std::string U8(const std::u16string& text) { return base::Utf16ToUtf8(text); }

std::vector<std::string> Names(const Product& product) {
  std::vector<std::string> names;
  for (const auto& compose : product.composes) names.push_back(U8(compose->name));
  return names;
}

const char kComposeFiles[] =
    "[Version]\nCurVersion=3\nPath=Client\n[HaveSection]\nMain=Files\n"
    "[Files]\nmain.exe=,,0,2,0,1,0,0,0,0,,,0,,10,0\n";

class DescProduct : public testing::Test {
 protected:
  std::u16string ProductPath(const std::u16string& name) { return dir_.Join(name + u".out"); }
  std::u16string WriteProduct(const std::string& text) {
    const std::u16string path = ProductPath(u"Norv");
    WriteUtf16File(path, text);
    return path;
  }
  uint32_t Load(const std::string& text, const char16_t* list = nullptr, uint32_t flags = 0,
                ComposeLocation location = ComposeLocation::kSource) {
    return product_.LoadProduct(WriteProduct(text).c_str(), location, list, flags);
  }

  testing_support::ScratchDir dir_;
  WorkPaths paths_{dir_.path()};
  Product product_{paths_};
};

TEST_F(DescProduct, ClosureFollowsParentsAndResourcesOnce) {
  const std::u16string path = WriteProduct(
      "[Version]\nProductID=7\nCurrentVer=12\nConflict=Old client\n"
      "[HaveCompose]\nAll=Main,Lang,main,,Plugin\n"
      "[Main]\nParent=Base\nResource=Res1,,Res2\n"
      "[Base]\nParent=Base\n"
      "[Res1]\nParent=ResParent\nResource=NotFollowed\n"
      "[ResParent]\nParent=\"\"\n"
      "[Res2]\n"
      "[Lang]\nParent=LangHead\n"
      "[LangHead]\nLangGroup=1\n"
      "[Plugin]\nParent=Res2\n"
      "[NotFollowed]\n");
  ASSERT_EQ(product_.LoadProduct(path.c_str(), ComposeLocation::kSource, nullptr, 0), kOk);
  EXPECT_EQ(Names(product_), (std::vector<std::string>{"Main", "Base", "Res1", "ResParent", "Res2", "Lang",
                                                       "LangHead", "Plugin"}));
  EXPECT_EQ(product_.name, u"Norv");
  EXPECT_EQ(product_.product_id, 7);
  EXPECT_EQ(product_.current_ver, 12);
  EXPECT_EQ(product_.conflict, u"Old client");
  EXPECT_EQ(product_.compose_list, u"");
  EXPECT_EQ(product_.FindCompose(u"lang")->flags & kComposeParentLangGroup, kComposeParentLangGroup);
  EXPECT_EQ(product_.FindCompose(u"Main")->flags & kComposeParentLangGroup, 0u);
  EXPECT_EQ(product_.FindCompose(u"Main")->file_path, paths_.ComposeFilePath(u"Main", ComposeLocation::kSource));
}

// Parent cycles end the chain; names are cut to 63 characters before they are compared; an
// explicit list is used as given, without the closure.
TEST_F(DescProduct, ComposeNamesOfCyclesLongNamesAndExplicitLists) {
  const std::string x63(63, 'X');
  const struct {
    std::string text;
    const char16_t* list;
    std::vector<std::string> names;
  } cases[] = {
      {"[HaveCompose]\nAll=A,C\n[A]\nParent=B\n[B]\nParent=a\n[C]\nParent=D\n[D]\nParent=E\n[E]\nParent=D\n",
       nullptr, {"A", "B", "C", "D", "E"}},
      {"[HaveCompose]\nAll=" + x63 + "Y," + x63 + "Z\n", nullptr, {x63}},
      {"[HaveCompose]\nAll=Main\n[Main]\nResource=Res\n[Plugin]\nParent=Main\n[Res]\n", u"Plugin,,Main,",
       {"Plugin", "Main"}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Load(c.text, c.list), kOk) << c.text;
    EXPECT_EQ(Names(product_), c.names) << c.text;
  }
  EXPECT_EQ(product_.compose_list, u"Plugin,,Main,");
}

TEST_F(DescProduct, ADottedNameSharesTheDescriptionOfItsPrefix) {
  ASSERT_EQ(Load("[HaveCompose]\nAll=Ghost,Core.x64\n[Core.x64]\nType=0\nUpdate=1\n"), kOk);
  ASSERT_EQ(Names(product_), (std::vector<std::string>{"Ghost", "Core"}));  // no section needed
  const Compose& core = *product_.composes[1];
  EXPECT_EQ(core.attributes.name, u"Core.x64");
  EXPECT_EQ(core.attributes.update, 1u);
  EXPECT_EQ(core.file_path, paths_.ComposeFilePath(u"Core", ComposeLocation::kSource));
}

TEST_F(DescProduct, Attributes) {
  const std::string long_title(300, 't');
  const std::string long_detail = std::string(600, 'd');
  ASSERT_EQ(Load(
      "[HaveCompose]\nAll=Main\n"
      "[Main]\nType=2\nUpdate=1\nBase=2\nHide=3\nLangGroup=4\nNewShow=5\nMustUpdate=6\nSupportOS=0\n"
      "Parent=\nDepends=Other 2.0\nResource=\n"
      "Title0804=主程序\nTitle0409=" + long_title + "\nTitle000A=Principal\n"
      "Detail0804=第一行||第二行\nDetail0409=a||||b|||c\nDetail000A=" + long_detail + "\n"), kOk);
  ASSERT_EQ(product_.composes.size(), 1u);
  const ComposeAttributes& a = product_.composes[0]->attributes;
  EXPECT_EQ((std::vector<uint32_t>{a.type, a.update, a.base, a.hide, a.lang_group, a.new_show, a.must_update}),
            (std::vector<uint32_t>{2, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(a.depends, u"Other 2.0");
  EXPECT_EQ(a.name, u"Main");
  EXPECT_EQ(U8(a.texts[0].title), "主程序");
  EXPECT_EQ(U8(a.texts[1].title), std::string(255, 't'));
  EXPECT_EQ(U8(a.texts[4].title), "Principal");
  EXPECT_EQ(U8(a.texts[0].detail), "第一行\r\n第二行");
  EXPECT_EQ(U8(a.texts[1].detail), "a\r\n\r\nb\r\n|c");
  EXPECT_EQ(a.texts[2].detail, u"");
  EXPECT_EQ(U8(a.texts[4].detail), std::string(511, 'd'));
  EXPECT_EQ(product_.composes[0]->language, 0x0804);
}

TEST_F(DescProduct, OsSelection) {
  const std::u16string path = WriteProduct(
      "[HaveCompose]\nAll=Any,Zero,Nt6,Win64,All,Garbage\n"
      "[Any]\n[Zero]\nSupportOS=0\n[Nt6]\nSupportOS=1000000\n[Win64]\nSupportOS=400\n"
      "[All]\nSupportOS=FFFFFFFF\n[Garbage]\nSupportOS=XYZ\n");
  product_.system_os_mask = kOsNt6 | kOsNtFamily;
  ASSERT_EQ(product_.LoadProduct(path.c_str(), ComposeLocation::kSource, nullptr, 0), kOk);
  EXPECT_EQ(Names(product_), (std::vector<std::string>{"Any", "Zero", "Nt6", "All", "Garbage"}));

  product_.system_os_mask = kOsWin64;
  ASSERT_EQ(product_.LoadProduct(path.c_str(), ComposeLocation::kSource, nullptr, 0), kOk);
  EXPECT_EQ(Names(product_), (std::vector<std::string>{"Any", "Zero", "Win64", "All", "Garbage"}));

  // By default the running system decides: a 64-bit Windows drops the NT 6.x-only compose, and so
  // does the host, which is no Windows at all.
  Product running(paths_);
  EXPECT_EQ(running.system_os_mask, GetOsMask());
  ASSERT_EQ(running.LoadProduct(path.c_str(), ComposeLocation::kSource, nullptr, 0), kOk);
  EXPECT_EQ(running.FindCompose(u"Nt6"), nullptr);
#ifdef _WIN32
  EXPECT_NE(running.FindCompose(u"Win64"), nullptr);
#else
  EXPECT_EQ(running.FindCompose(u"Win64"), nullptr);
#endif
}

TEST_F(DescProduct, TypeOneComposesLoadTheirFilesOnRequest) {
  const std::u16string path = WriteProduct("[HaveCompose]\nAll=Main,Plain\n[Main]\nType=1\n[Plain]\n");
  WriteUtf16File(paths_.ComposeFilePath(u"Main", ComposeLocation::kInstalled), kComposeFiles);

  ASSERT_EQ(product_.LoadProduct(path.c_str(), ComposeLocation::kInstalled, nullptr, 0), kOk);
  ASSERT_EQ(product_.composes.size(), 2u);
  EXPECT_EQ(product_.composes[0]->location, ComposeLocation::kInstalled);
  EXPECT_TRUE(product_.composes[0]->entries.empty());
  EXPECT_EQ(product_.composes[1]->location, ComposeLocation::kSource);

  ASSERT_EQ(product_.LoadProduct(path.c_str(), ComposeLocation::kInstalled, nullptr, kLoadComposeFiles), kOk);
  ASSERT_EQ(product_.composes.size(), 2u);
  ASSERT_EQ(product_.composes[0]->entries.size(), 1u);
  EXPECT_EQ(product_.composes[0]->entries[0].file_name, u"main.exe");
  EXPECT_EQ(product_.composes[0]->cur_version, 3u);
  EXPECT_TRUE(product_.composes[1]->entries.empty());  // Type 0 files are the caller's to load
}

TEST_F(DescProduct, TypeOneWithoutDescriptionFailsTheLoad) {
  EXPECT_EQ(Load("[HaveCompose]\nAll=First,Missing,Last\n[Missing]\nType=1\n", nullptr, kLoadComposeFiles,
                 ComposeLocation::kInstalled),
            kDescriptionLoadFailed);
  EXPECT_EQ(Names(product_), (std::vector<std::string>{"First"}));
}

TEST_F(DescProduct, ResultCodes) {
  EXPECT_EQ(product_.LoadProduct(nullptr, ComposeLocation::kSource, nullptr, 0), kNullArgument);
  EXPECT_EQ(product_.LoadProduct(ProductPath(u"missing").c_str(), ComposeLocation::kSource, nullptr, 0),
            kDescriptionLoadFailed);
  const struct {
    const char* text;
    uint32_t code;
  } cases[] = {
      {"[Version]\nProductID=1\n", kNoComposeList},
      {"[HaveCompose]\nAll=\n", kNoComposeList},
      {"[HaveCompose]\nAll=,,\n", kOk},
      {"[HaveCompose]\nAll=Good,..\\evil\n", kDescriptionLoadFailed},
      {"[HaveCompose]\nAll=Good\n[Good]\nParent=C:\\x\n", kDescriptionLoadFailed},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Load(c.text), c.code) << c.text;
  }
  EXPECT_EQ(product_.AddCompose(nullptr, 0), kNullArgument);
  const size_t before = product_.composes.size();
  EXPECT_EQ(product_.AddCompose(u"", 0), kOk);
  EXPECT_EQ(product_.composes.size(), before);
}

TEST_F(DescProduct, InstalledProductByName) {
  WriteUtf16File(paths_.ProductFilePath(u"Norv"), "[Version]\nCurrentVer=5\n[HaveCompose]\nAll=Main\n");
  ASSERT_EQ(product_.LoadInstalledProduct(u"Norv"), kOk);
  EXPECT_EQ(product_.location, ComposeLocation::kInstalled);
  EXPECT_EQ(product_.current_ver, 5);
  ASSERT_EQ(product_.composes.size(), 1u);
  EXPECT_EQ(product_.composes[0]->file_path, paths_.ComposeFilePath(u"Main", ComposeLocation::kInstalled));
  EXPECT_EQ(product_.LoadInstalledProduct(u""), kNullArgument);
  EXPECT_EQ(product_.LoadInstalledProduct(u"..\\Norv"), kDescriptionLoadFailed);
  EXPECT_EQ(product_.LoadInstalledProduct(u"Other"), kDescriptionLoadFailed);
}

}  // namespace
}  // namespace engine
