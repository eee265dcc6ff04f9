// norvpack stamp: makes a setup file from the setup program, the skin part and optionally the
// package, writing the payload table into the program's DOS header.
#include <cstring>

#include "cli.h"
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

bool StartsWith(const std::vector<uint8_t>& bytes, const char* magic) {
  const size_t n = std::strlen(magic);
  return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

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
  if (!StartsWith(skin, "QZPM")) return Fail(Narrow(skin_path) + " is not a packed skin part (no QZPM header)");
  const bool with_package = parser.Has("--package");
  if (with_package) {
    if (!ReadFileBytes(parser.Value("--package"), &package, &error)) return Fail(error);
    if (!StartsWith(package, "CVAS")) {
      return Fail(Narrow(parser.Value("--package")) + " is not a package container (no CVAS header)");
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
