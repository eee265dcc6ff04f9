// norvpack build: turns a suite folder into a finished setup file.
#include <cstdio>

#include "base/path.h"
#include "cli.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "suite_build.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack build SUITE_DIR -o SETUP.EXE [--stub PROGRAM] [--download-only]\n"
    "                      [--package-out PACKAGE] [--url URL] [--composes NAME[,NAME...]]\n"
    "\n"
    "Turns a suite folder into a finished setup file: the setup program (the stub) with the skin\n"
    "part and, unless --download-only, the package appended and the payload table written.\n"
    "\n"
    "  -o, --output FILE      the setup file to write (written whole, then renamed into place)\n"
    "  --stub PROGRAM         the setup program to stamp (default: Setup.exe beside norvpack)\n"
    "  --download-only        leave the package out: the wizard downloads it from the address\n"
    "  --package-out FILE     also write the package container alone (what the address serves)\n"
    "  --url URL              the package download address, instead of suite.ini's DownloadUrl\n"
    "  --composes LIST        make the package a compose packet (kind 1) of the listed composes:\n"
    "                         the header's compose list names exactly those; no product\n"
    "                         descriptions; the descriptions and files of the listed composes\n"
    "                         only (parents and resources are not added: name them too); group\n"
    "                         \"SetupSkinPart2\" as in a product package. Unknown names, names\n"
    "                         listed twice and grouping (Type 2) composes are refused\n"
    "\n"
    "Suite folder (every description may be written in UTF-8 or UTF-16; the setup file carries\n"
    "them as UTF-16):\n"
    "  suite.ini              [Suite]\n"
    "                         Products=Name[,Name...]  products of the package (63 characters)\n"
    "                         DownloadUrl=URL          the package's address (511 characters)\n"
    "                         CheckString=1            write IsCheckString=1 and the [End]\n"
    "                                                  CheckString=CheckFileOKEnd end marker\n"
    "                         ArchiveTime=SECONDS      time stored for resource archive entries\n"
    "                                                  (seconds since 1970 UTC; default 0)\n"
    "  products/NAME.out      product descriptions: [Version], [HaveCompose] All=..., one\n"
    "                         section per compose, shortcuts and shortcut folders\n"
    "  composes/PREFIX.out    compose descriptions (PREFIX: the compose name before its first\n"
    "                         '.'). File lines have the 16 fields; leave field 12 (checksum) and\n"
    "                         field 14 (size) empty or write auto: the build computes them\n"
    "                         (checksum over the whole file when field 4 has 0x100, else\n"
    "                         sampled). [Version] Size and FileSize are computed too.\n"
    "  files/PREFIX/[FIELD0/]FILE   the file that a line lists; a line with field 2 = 1 is\n"
    "                         carried packed\n"
    "  archives/NAME/         sources of the resource archive NAME.dat (\"DrawData\", \"html\",\n"
    "                         \"uninstall\"), built when a line lists NAME.dat and files/ has none\n"
    "  skin/wizard/           the wizard's skin (Draw.dat, bitmaps, norvframe.ini, copy.htm):\n"
    "                         group \"SetupSkinPart1\" of the skin part\n"
    "  skin/install/          group \"SetupSkinPart2\" of the package; holds Setup.ini\n"
    "                         (registry entries, FinishRun%d, UrlCall)\n"
    "\n"
    "The build stops at the first problem, naming the file and line: a listed file that is\n"
    "missing, a malformed file line, a parent or resource compose that does not exist, a shortcut\n"
    "whose target is not a file of the suite, a name or list over the format's limits, and\n"
    "others. The same suite always gives the same bytes.\n";

// The installer beside norvpack, when there is one.
std::u16string DefaultStub() {
  const std::u16string self = platform::ModuleFilePath();
  const std::u16string folder(base::ParentPart(self));
  if (folder.empty()) return u"";
  const std::u16string stub = base::JoinPath(folder, u"Setup.exe");
  return platform::PathExists(stub) ? stub : u"";
}

int Run(const Args& args) {
  ArgParser parser(args, {"-o", "--output", "--stub", "--package-out", "--url", "--composes"}, {"--download-only"});
  if (!parser.ok()) return UsageError("build", parser.error());
  if (parser.Positionals().size() != 1) return UsageError("build", "needs one SUITE_DIR");
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (output.empty()) return UsageError("build", "needs -o SETUP.EXE");
  const std::u16string stub_path = parser.Value("--stub", DefaultStub());
  if (stub_path.empty()) return UsageError("build", "needs --stub PROGRAM: there is no Setup.exe beside norvpack");

  SuiteBuildOptions options;
  options.suite_dir = parser.Positionals()[0];
  options.download_only = parser.Has("--download-only");
  options.download_url = parser.Value("--url");
  options.packet_composes = parser.Value("--composes");
  if (parser.Has("--composes") && options.packet_composes.empty()) return UsageError("build", "--composes needs a list");
  options.report = [](const std::string& line) { std::fprintf(stderr, "build: %s\n", line.c_str()); };
  std::string error;
  if (!ReadFileBytes(stub_path, &options.stub, &error)) return Fail(error);

  SuiteBuildOutput result;
  SuiteError problem;
  if (!BuildSuite(options, &result, &problem)) {
    if (!problem.file.empty()) {
      std::string dir = Narrow(options.suite_dir);
      while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
      // One kind of separator in the path shown, the one the folder was given with.
      const char separator = dir.find('\\') != std::string::npos ? '\\' : '/';
      for (char& c : problem.file) {
        if (c == '/') c = separator;
      }
      problem.file = dir + separator + problem.file;
    }
    return Fail(problem.Text());
  }
  if (!WriteFileAtomically(output, result.setup_file, &error)) return Fail(error);
  if (parser.Has("--package-out") && !WriteFileAtomically(parser.Value("--package-out"), result.package, &error)) {
    return Fail(error);
  }
  std::printf("%s: %zu bytes, %zu files%s\n", Narrow(output).c_str(), result.setup_file.size(), result.file_count,
              options.download_only ? ", download-only" : "");
  if (!options.packet_composes.empty()) std::printf("compose packet: %s\n", Narrow(options.packet_composes).c_str());
  return kExitOk;
}

}  // namespace

NORVPACK_COMMAND(build, "build", "turn a suite folder into a finished setup file", kUsage, Run);

}  // namespace norvpack
