// norvpack unpack: unpacks a packed file with the installer's own reader.
#include <string>

#include "cli.h"
#include "package/packed_file.h"
#include "platform/fs.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack unpack INPUT -o OUTPUT\n"
    "\n"
    "Unpacks the packed file INPUT (\"QZPM\" header and reduced gzip member) to OUTPUT with the\n"
    "installer's own ZQP_UnPackFile, so that a file that unpacks here unpacks in the installer.\n"
    "OUTPUT is written under a temporary name and renamed into place only when complete; the\n"
    "folder of OUTPUT must exist.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the file to write (required)\n"
    "  -h, --help          this text\n";

std::string Reason(uint32_t code, const std::u16string& input, const std::u16string& output) {
  switch (code) {
    case package::kUnpackSourceUnreadable:
      return "cannot read " + Narrow(input) + " (missing or empty)";
    case package::kUnpackNotPacked:
      return Narrow(input) + " is not a packed file (wrong magic or member length)";
    case package::kUnpackDecodeFailed:
      return Narrow(input) + " is damaged: its compressed data does not decode or fails its CRC check";
    case package::kUnpackDestinationUnwritable:
      return "cannot write " + Narrow(output);
  }
  return "unpacking failed with code " + std::to_string(code);
}

int Run(const Args& args) {
  ArgParser parser(args, {"-o", "--output"}, {});
  if (!parser.ok()) return UsageError("unpack", parser.error());
  if (parser.Positionals().size() != 1) return UsageError("unpack", "expected exactly one INPUT file");
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (output.empty()) return UsageError("unpack", "missing -o OUTPUT");
  const std::u16string& input = parser.Positionals()[0];

  const std::u16string temp = output + u".norvpack-tmp";
  Progress progress("unpacking", 1);
  const uint32_t code = package::ZQP_UnPackFile(input.c_str(), temp.c_str());
  if (code != package::kUnpackOk) {
    platform::DeleteFileAt(temp);
    return Fail(Reason(code, input, output));
  }
  if (!platform::MoveFileReplacing(temp, output)) {
    platform::DeleteFileAt(temp);
    return Fail("cannot rename " + Narrow(temp) + " to " + Narrow(output));
  }
  progress.Done();
  return kExitOk;
}

}  // namespace

NORVPACK_COMMAND(unpack, "unpack", "unpack a packed file (\"QZPM\") as the installer does", kUsage, Run);

}  // namespace norvpack
