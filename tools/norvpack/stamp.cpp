// norvpack stamp: makes a setup file from the setup program, the skin part and optionally the
// package, writing the payload table into the program's DOS header.
#include "cli.h"
#include "package/deed_box.h"
#include "package/packed_file.h"
#include "package/payload.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack stamp --program SETUP.EXE --skin SKIN_PART [--package PACKAGE] -o OUTPUT\n"
    "\n"
    "Appends the skin part (part 1: a packed file whose content is a skin container) and, when\n"
    "given, the package (part 2: a package container) to the setup program, and writes where they\n"
    "lie into the payload table of its DOS header. Without --package the setup file downloads the\n"
    "package from the address that the skin part holds. A program that is already stamped gets its\n"
    "payload replaced.\n"
    "\n"
    "  --program FILE    the setup program (a Windows executable)\n"
    "  --skin FILE       the skin part (\"QZPM\" packed file)\n"
    "  --package FILE    the package (\"CVAS\" container); optional\n"
    "  -o, --output FILE the setup file to write (written whole, then renamed into place)\n";

int Run(const Args& args) {
  ArgParser parser(args, {"--program", "--skin", "--package", "-o", "--output"}, {});
  if (!parser.ok()) return UsageError("stamp", parser.error());
  if (!parser.Positionals().empty()) return UsageError("stamp", "unexpected argument " + Narrow(parser.Positionals()[0]));
  const std::u16string program_path = parser.Value("--program");
  const std::u16string skin_path = parser.Value("--skin");
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (program_path.empty()) return UsageError("stamp", "needs --program SETUP.EXE");
  if (skin_path.empty()) return UsageError("stamp", "needs --skin SKIN_PART");
  if (output.empty()) return UsageError("stamp", "needs -o OUTPUT");

  std::string error;
  std::vector<uint8_t> program, skin, package;
  if (!ReadFileBytes(program_path, &program, &error)) return Fail(error);
  if (!ReadFileBytes(skin_path, &skin, &error)) return Fail(error);
  package::PackedHeader packed;
  if (!package::ReadPackedHeader(skin.data(), skin.size(), &packed)) {
    return Fail(Narrow(skin_path) + " is not a packed skin part (no QZPM header)");
  }
  const bool with_package = parser.Has("--package");
  if (with_package) {
    if (!ReadFileBytes(parser.Value("--package"), &package, &error)) return Fail(error);
    package::DeedBoxSummary summary;
    if (!package::DescribeDeedBoxBytes(package.data(), package.size(), &summary)) {
      return Fail(Narrow(parser.Value("--package")) + " is not a package container: " + summary.problem);
    }
  }
  std::vector<uint8_t> stamped;
  if (!package::StampPayload(program, skin, with_package ? &package : nullptr, &stamped, &error)) {
    return Fail(Narrow(program_path) + ": " + error);
  }
  if (!WriteFileAtomically(output, stamped, &error)) return Fail(error);
  return kExitOk;
}

}  // namespace

NORVPACK_COMMAND(stamp, "stamp", "write the payload table and append the skin part and package to the setup program",
                 kUsage, Run);

}  // namespace norvpack
