// norvpack pack: compresses one file into a packed file.
#include <string>
#include <vector>

#include "cli.h"
#include "package/packed_file.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack pack INPUT -o OUTPUT\n"
    "\n"
    "Compresses INPUT into a packed file: the 32-byte \"QZPM\" header (unpacked size hint = the\n"
    "size of INPUT) followed by a reduced gzip member (raw DEFLATE from zlib at level 9, CRC-32 and\n"
    "length). The installer reads it with ZQP_UnPackFile; 'norvpack unpack' reverses it.\n"
    "The same INPUT always gives the same bytes. OUTPUT is written under a temporary name and\n"
    "renamed into place only when complete.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the packed file to write (required)\n"
    "  -h, --help          this text\n";

int Run(const Args& args) {
  ArgParser parser(args, {"-o", "--output"}, {});
  if (!parser.ok()) return UsageError("pack", parser.error());
  if (parser.Positionals().size() != 1) return UsageError("pack", "expected exactly one INPUT file");
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (output.empty()) return UsageError("pack", "missing -o OUTPUT");
  const std::u16string& input = parser.Positionals()[0];

  std::vector<uint8_t> data;
  std::string error;
  if (!ReadFileBytes(input, &data, &error)) return Fail(error);
  if (data.size() >= 0xFFFFFFFFu - 1024) return Fail(Narrow(input) + " is too large for a packed file (4 GiB)");
  Progress progress("packing", data.size());
  uint64_t shown = 0;
  std::vector<uint8_t> packed;
  const bool packed_ok = package::PackBytes(data.data(), data.size(), &packed, [&](uint64_t done) {
    progress.Advance(done - shown);
    shown = done;
  });
  if (!packed_ok) return Fail("cannot compress " + Narrow(input));
  if (!WriteFileAtomically(output, packed, &error)) return Fail(error);
  progress.Done();
  return kExitOk;
}

}  // namespace

NORVPACK_COMMAND(pack, "pack", "compress a file into a packed file (\"QZPM\")", kUsage, Run);

}  // namespace norvpack
