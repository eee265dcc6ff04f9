// The checks of "norvpack build": each broken suite is a copy of the example suite with one
// change, and the build must stop with the message naming the file and the line of the change.
#include <functional>

#include "norvpack_fixture.h"

namespace build_test {
namespace {

std::u16string At(const std::u16string& suite, const std::string& relative) {
  return base::JoinPath(suite, base::Utf8ToUtf16(relative));
}

void Replace(const std::u16string& suite, const std::string& relative, const std::string& from, const std::string& to) {
  const std::u16string path = At(suite, relative);
  std::string text = ReadText(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << relative << " has no " << from;
  text.replace(at, from.size(), to);
  testing_support::WriteText(path, text);
}

// The change of one text in one file of the suite, as a case's change.
std::function<void(const std::u16string&)> Edit(const std::string& relative, const std::string& from, const std::string& to) {
  return [=](const std::u16string& suite) { Replace(suite, relative, from, to); };
}

void Remove(const std::u16string& suite, const std::string& relative) {
  std::error_code ec;
  fs::remove_all(Native(At(suite, relative)), ec);
  ASSERT_FALSE(ec) << relative;
}

// 1-based number of the first line holding marker.
int LineOf(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  if (at == std::string::npos) return -1;
  int line = 1;
  for (size_t i = 0; i < at; ++i) line += text[i] == '\n';
  return line;
}

struct BrokenSuite {
  const char* name;
  std::function<void(const std::u16string&)> change;
  const char* file;    // the file the message names
  std::string marker;  // text on the line it names; empty: no line
  std::string message;
  bool download_only = false;
  const char16_t* packet_composes = u"";  // builds a compose packet of these
};

const std::string kLong60(60, 'x');

std::vector<BrokenSuite> Cases() {
  return {
      {"listed file missing", [](const std::u16string& s) { Remove(s, "files/Main/doc/readme.txt"); },
       "composes/Main.out", "readme.txt=", "file 'readme.txt' is missing: files/Main/doc/readme.txt does not exist"},
      {"archive source missing", [](const std::u16string& s) { Remove(s, "archives/html"); }, "composes/Runtime.out",
       "html.dat=", "file 'html.dat' is missing: files/Runtime/html.dat does not exist and there is no folder archives/html/"},
      {"file line with 15 fields", Edit("composes/Main.out", "NorvCore.dll=bin,,0,0,0,2,0,1,0,0,,,auto,,auto,0", "NorvCore.dll=bin,,0,0,0,2,0,1,0,0,,,auto,,auto"),
       "composes/Main.out", "NorvCore.dll=", "malformed file line: 15 fields, at least 16 are needed"},
      {"file line field over 255", Edit("composes/Updater.out", "update.cfg=,,0,0,0,2,0,0,0,0,,,", "update.cfg=,,0,0,0,2,0,0,0,0," + std::string(256, 'r') + ",,"),
       "composes/Updater.out", "update.cfg=",
       "malformed file line: field 10 '" + std::string(256, 'r') + "' has 256 characters; at most 255 fit"},
      {"file line leaving its folder", Edit("composes/PluginA.out", "PluginA.dll=,,0", "PluginA.dll=,..\\..\\Windows,0"),
       "composes/PluginA.out", "PluginA.dll=,", "malformed file line: the file name, field 0 or field 1 leads out of its folder"},
      {"file listed twice", Edit("composes/Main.out", "[Data]\n", "[Data]\nnorvcore.DLL=bin,,0,0,0,2,0,1,0,0,,,auto,,auto,0\n"),
       "composes/Main.out", "norvcore.DLL=", "file 'norvcore.DLL' is listed twice in this compose (first at line 16)"},
      {"file section missing", Edit("composes/Main.out", "Main=Program,Data", "Main=Program,Data,Extra"),
       "composes/Main.out", "Main=Program", "file section 'Extra' listed in [HaveSection] does not exist"},
      {"parent compose missing", Edit("products/NorvClient.out", "Parent=Extras", "Parent=Nowhere"),
       "products/NorvClient.out", "Parent=Nowhere", "parent compose 'Nowhere' does not exist: no [Nowhere] section in this product"},
      {"listed compose missing", Edit("products/NorvClient.out", "All=Main,Updater,PluginA", "All=Main,Updater,PluginA,PluginB"),
       "products/NorvClient.out", "All=", "listed compose 'PluginB' does not exist: no [PluginB] section in this product"},
      {"compose without description", [](const std::u16string& s) { Remove(s, "composes/Updater.out"); },
       "products/NorvClient.out", "[Updater]", "compose 'Updater' has no description: composes/Updater.out is missing"},
      {"description no compose uses",
       [](const std::u16string& s) { testing_support::WriteText(At(s, "composes/Orphan.out"), "[Version]\nCurVersion=1\n"); },
       "composes/Orphan.out", "", "no compose of the products uses this description"},
      {"product shortcut target not a file", Edit("products/NorvClient.out", "MainLink=Main-NorvFrame.exe", "MainLink=Main-NorvFrame2.exe"),
       "products/NorvClient.out", "MainLink=Main-",
       "shortcut 'MainLink' targets 'Main-NorvFrame2.exe', which is not a file of the suite (write compose-file)"},
      {"shortcut folder unknown", Edit("composes/Updater.out", "UpdateLink=NorvFolder", "UpdateLink=NorvFolder,Tools"),
       "composes/Updater.out", "UpdateLink=NorvFolder,Tools",
       "shortcut 'UpdateLink' goes into folder 'Tools', which no product's [ShortcutFolder] defines"},
      {"product list over 63", Edit("suite.ini", "Products=NorvClient", "Products=NorvClient," + kLong60),
       "suite.ini", "Products=", "the product list 'NorvClient," + kLong60 + "' has 71 characters; at most 63 fit"},
      {"compose list over 511",
       [](const std::u16string& s) {
         std::string all = "All=Main,Updater,PluginA", sections;
         for (int i = 0; i < 8; ++i) {
           const std::string name = "G" + std::to_string(i) + std::string(58, 'x');
           all += "," + name;
           sections += "[" + name + "]\nType=2\n";
         }
         Replace(s, "products/NorvClient.out", "All=Main,Updater,PluginA", all);
         Replace(s, "products/NorvClient.out", "[ShortcutFolder]", sections + "[ShortcutFolder]");
       },
       "products/NorvClient.out", "All=", ""},
      {"compose name over 63",
       [](const std::u16string& s) {
         Replace(s, "products/NorvClient.out", "All=Main,Updater,PluginA", "All=Main,Updater,PluginA,Long" + kLong60);
         Replace(s, "products/NorvClient.out", "[ShortcutFolder]", "[Long" + kLong60 + "]\nType=2\n[ShortcutFolder]");
       },
       "products/NorvClient.out", "All=", "compose name 'Long" + kLong60 + "' has 64 characters; at most 63 fit"},
      {"record name over 63",
       [](const std::u16string& s) {
         Replace(s, "composes/Updater.out", "update.cfg=", kLong60 + ".cfg=");
         testing_support::WriteText(At(s, "files/Updater/" + kLong60 + ".cfg"), "x");
       },
       "composes/Updater.out", kLong60 + ".cfg=",
       "the package record name 'COM-Updater___" + kLong60 + ".cfg' has 78 characters; at most 63 fit"},
      {"option plugin of an unknown file", Edit("composes/PluginA.out", "PluginA.dll={", "PluginB.dll={"),
       "composes/PluginA.out", "PluginB.dll={", "OptionPlugin names 'PluginB.dll', which is not a file of this compose"},
      {"old file map to an unknown compose", Edit("composes/Main.out", "NorvHelper.dll=Runtime", "NorvHelper.dll=Runtimes"),
       "composes/Main.out", "NorvHelper.dll=Runtimes", "OldFile_Map moves 'NorvHelper.dll' to compose 'Runtimes', which does not exist"},
      {"registry root unknown", Edit("skin/install/Setup.ini", "KeyParent=HKEY_CURRENT_USER", "KeyParent=HKCU"),
       "skin/install/Setup.ini", "KeyParent=HKCU",
       "[InstallReg3] KeyParent 'HKCU' is not a registry root the installer knows (HKEY_LOCAL_MACHINE, ...)"},
      {"registry entry after a gap", Edit("skin/install/Setup.ini", "[InstallReg2]", "[InstallReg4]"),
       "skin/install/Setup.ini", "[InstallReg4]",
       "[InstallReg4] is never used: the installer stops at the first missing number (InstallReg2)"},
      {"finish program not a file", Edit("skin/install/Setup.ini", "ExeFile=NorvFrame.exe", "ExeFile=NorvFrame.com"),
       "skin/install/Setup.ini", "ExeFile=", "[FinishRun1] runs 'NorvFrame.com' of compose 'Main', which is not a file of the suite"},
      {"skin missing", [](const std::u16string& s) { Remove(s, "skin/wizard"); }, "skin/wizard", "",
       "missing or empty: the wizard cannot show a page without its skin"},
      {"settings missing", [](const std::u16string& s) { Remove(s, "suite.ini"); }, "suite.ini", "",
       "missing: a suite folder starts with its settings file"},
      {"description not UTF-8", Edit("composes/Main.out", "CurVersion=1", "CurVersion=1\xC3"),
       "composes/Main.out", "", "neither UTF-16 nor well-formed UTF-8"},
      {"skin key-value file not UTF-8", Edit("skin/wizard/Draw.dat", "[WelcomeDlg]", "[WelcomeDlg]\xB0"),
       "skin/wizard/Draw.dat", "", "neither UTF-16 nor well-formed UTF-8"},
      {"end marker asked but [End] not last",
       [](const std::u16string& s) {
         Replace(s, "products/NorvClient.out", "[HaveCompose]", "[End]\nCheckString=CheckFileOKEnd\n\n[HaveCompose]");
       },
       "products/NorvClient.out", "[End]", "[End] must be the last section: it holds the end marker"},
      {"description demands an end marker it lacks",
       [](const std::u16string& s) {
         Replace(s, "suite.ini", "CheckString=1", "CheckString=0");
         Replace(s, "products/NorvClient.out", "[HaveCompose]", "[End]\nCheckString=Truncated\n\n[HaveCompose]");
         Replace(s, "products/NorvClient.out", "CurrentVer=1", "CurrentVer=1\nIsCheckString=1");
       },
       "products/NorvClient.out", "IsCheckString",
       "IsCheckString is 1 but [End] CheckString is not \"CheckFileOKEnd\" (code 302); set CheckString=1 in suite.ini "
       "to have the marker written"},
      {"download-only without an address",
       [](const std::u16string& s) {
         Replace(s, "suite.ini", "DownloadUrl=http://127.0.0.1:8080/NorvClient.pkg", "DownloadUrl=");
       },
       "suite.ini", "", "a download-only setup file needs [Suite] DownloadUrl (or --url)", true},
      {"packet of an unknown compose", [](const std::u16string&) {}, "", "",
       "compose 'PluginB' is not a compose of the suite's products", false, u"Main,PluginB"},
      {"packet of a grouping compose", [](const std::u16string&) {}, "", "",
       "compose 'Extras' is a grouping compose (Type 2): it has nothing a packet could carry", false, u"Extras"},
  };
}

TEST(BuildErrors, EachBrokenSuiteStopsTheBuildWithFileAndLine) {
  for (const auto& c : Cases()) {
    SCOPED_TRACE(c.name);
    ScratchDir scratch;
    const std::u16string suite = CopySuite(scratch);
    ASSERT_NO_FATAL_FAILURE(c.change(suite));
    norvpack::SuiteBuildOptions options = Options(suite);
    options.download_only = c.download_only;
    options.packet_composes = c.packet_composes;
    norvpack::SuiteBuildOutput output;
    norvpack::SuiteError error;
    ASSERT_FALSE(norvpack::BuildSuite(options, &output, &error));
    EXPECT_TRUE(output.setup_file.empty());
    EXPECT_EQ(error.file, c.file);
    int line = 0;
    if (!c.marker.empty()) line = LineOf(ReadText(At(suite, c.file)), c.marker);
    EXPECT_EQ(error.line, line);
    if (!c.message.empty()) {
      EXPECT_EQ(error.message, c.message);
    } else {
      EXPECT_EQ(error.message.rfind("the package's compose list '", 0), 0u) << error.message;
      EXPECT_THAT(error.message, HasSubstr("characters; at most 511 fit"));
    }
  }
}

}  // namespace
}  // namespace build_test
