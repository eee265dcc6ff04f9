// norvpack archive: creates, lists and extracts resource archives ("DrawData.dat", "html.dat",
// "uninstall.dat").
#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "package/file_utils.h"
#include "package/res_archive.h"
#include "platform/file_times.h"
#include "platform/fs.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack archive create -o OUTPUT [--stub PROGRAM] [--mtime SECONDS] FOLDER...\n"
    "       norvpack archive list ARCHIVE\n"
    "       norvpack archive extract ARCHIVE -o FOLDER [--index N]\n"
    "\n"
    "Resource archives hold the files of a folder, each compressed, with its modification time.\n"
    "\n"
    "create   writes one archive per FOLDER, one after another, into OUTPUT. Entries are the\n"
    "         folder's files (sub-folders included) in name order, named by their relative path\n"
    "         with backslashes.\n"
    "  -o, --output FILE    the archive file to write (written whole, then renamed into place)\n"
    "  --stub PROGRAM       start every archive with this program image instead of the plain header\n"
    "  --mtime SECONDS      store this modification time (seconds since 1970 UTC) for every entry\n"
    "                       instead of the files' own, for reproducible archives\n"
    "list     prints every archive of the file and its entries: size, modification time (UTC),\n"
    "         name; an entry whose block fails its checks is marked and the exit code is 1.\n"
    "extract  unpacks the archives into FOLDER as the installer does (several archives: into\n"
    "         FOLDER/0, FOLDER/1, ...; with --index N only archive N, into FOLDER). Entries whose\n"
    "         names would leave the folder or end in a separator, or whose data is damaged, are\n"
    "         reported and passed over; the exit code is then 1.\n";


int Create(const Args& args) {
  ArgParser parser(args, {"-o", "--output", "--stub", "--mtime"}, {});
  if (!parser.ok()) return UsageError("archive", parser.error());
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (output.empty()) return UsageError("archive", "create needs -o OUTPUT");
  if (parser.Positionals().empty()) return UsageError("archive", "create needs at least one FOLDER");
  uint64_t fixed_mtime = 0;
  const bool has_fixed_mtime = parser.Has("--mtime");
  if (has_fixed_mtime && !ParseUnsigned(parser.Value("--mtime"), UINT32_MAX, &fixed_mtime)) {
    return UsageError("archive", "--mtime needs a number of seconds from 0 to 4294967295");
  }
  std::string error;
  std::vector<uint8_t> stub;
  if (parser.Has("--stub") && !ReadFileBytes(parser.Value("--stub"), &stub, &error)) return Fail(error);

  std::vector<std::vector<package::FolderFile>> folders;
  uint64_t total = 0;
  for (const auto& folder : parser.Positionals()) {
    if (!platform::IsDirectory(folder)) return Fail(Narrow(folder) + " is not a folder");
    std::vector<package::FolderFile> files;
    if (!package::ListFolderFiles(folder, /*include_hidden=*/true, &files)) return Fail("cannot read folder " + Narrow(folder));
    if (files.empty()) return Fail("folder " + Narrow(folder) + " holds no files; an archive needs at least one");
    total += files.size();
    folders.push_back(std::move(files));
  }

  Progress progress("archive", total);
  std::vector<uint8_t> out;
  for (const auto& files : folders) {
    std::vector<package::ResArchiveWriter::Entry> entries;
    for (const auto& file : files) {
      package::ResArchiveWriter::Entry entry;
      entry.name = file.relative;
      if (!ReadFileBytes(file.path, &entry.data, &error)) return Fail(error);
      if (has_fixed_mtime) {
        entry.modified = static_cast<uint32_t>(fixed_mtime);
      } else {
        int64_t modified = 0, accessed = 0;
        if (!platform::GetFileTimes(file.path, &modified, &accessed)) return Fail("cannot read the time of " + Narrow(file.path));
        entry.modified = modified < 0 ? 0 : modified > INT64_C(0xFFFFFFFF) ? 0xFFFFFFFFu : static_cast<uint32_t>(modified);
      }
      entries.push_back(std::move(entry));
      progress.Advance(1);
    }
    std::vector<uint8_t> archive;
    if (!package::ResArchiveWriter::Build(entries, stub, &archive, &error)) return Fail(error);
    if (out.size() + archive.size() > UINT32_MAX) return Fail("the archive file would be larger than 4 GiB");
    out.insert(out.end(), archive.begin(), archive.end());
  }
  progress.Done();
  if (!WriteFileAtomically(output, out, &error)) return Fail(error);
  return kExitOk;
}

int List(const Args& args) {
  ArgParser parser(args, {}, {});
  if (!parser.ok()) return UsageError("archive", parser.error());
  if (parser.Positionals().size() != 1) return UsageError("archive", "list needs one ARCHIVE");
  const std::u16string& path = parser.Positionals()[0];
  const std::vector<package::ResArchive> archives = package::ListResArchives(path);
  if (archives.empty()) return Fail(Narrow(path) + " holds no resource archive");
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  if (!file.IsOpen()) return Fail("cannot open " + Narrow(path));
  int failures = 0;
  for (size_t i = 0; i < archives.size(); ++i) {
    const auto& a = archives[i];
    std::printf("archive %zu: offset %" PRIu64 ", %" PRIu64 " bytes, %zu entries%s\n", i, a.start, a.size,
                a.entries.size(), a.has_program_stub ? ", program stub" : "");
    for (const auto& entry : a.entries) {
      package::ResEntryData data;
      const package::ResEntryStatus status = package::ReadResEntry(file, a, entry, &data);
      if (status != package::ResEntryStatus::kOk) {
        ++failures;
        std::printf("  %12s %19s %s  [%s]\n", "-", "-", Narrow(entry.name).c_str(), package::ResEntryStatusText(status));
      } else {
        std::printf("  %12zu %19s %s\n", data.bytes.size(), UtcText(data.modified).c_str(), Narrow(entry.name).c_str());
      }
    }
  }
  if (failures) return Fail(std::to_string(failures) + " damaged entries in " + Narrow(path));
  return kExitOk;
}

int Extract(const Args& args) {
  ArgParser parser(args, {"-o", "--output", "--index"}, {});
  if (!parser.ok()) return UsageError("archive", parser.error());
  if (parser.Positionals().size() != 1) return UsageError("archive", "extract needs one ARCHIVE");
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (output.empty()) return UsageError("archive", "extract needs -o FOLDER");
  const std::u16string& path = parser.Positionals()[0];
  uint64_t index = 0;
  const bool one_index = parser.Has("--index");
  if (one_index && !ParseUnsigned(parser.Value("--index"), INT32_MAX, &index)) {
    return UsageError("archive", "--index needs a non-negative number");
  }
  const std::vector<package::ResArchive> archives = package::ListResArchives(path);
  if (archives.empty()) return Fail(Narrow(path) + " holds no resource archive");
  if (one_index && index >= archives.size()) {
    return Fail(Narrow(path) + " holds " + std::to_string(archives.size()) + " archives; there is no index " +
                std::to_string(index));
  }
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  if (!file.IsOpen()) return Fail("cannot open " + Narrow(path));

  uint64_t total = 0;
  for (size_t i = 0; i < archives.size(); ++i) {
    if (!one_index || i == index) total += archives[i].entries.size();
  }
  Progress progress("extract", total);
  int failures = 0;
  for (size_t i = 0; i < archives.size(); ++i) {
    if (one_index && i != index) continue;
    std::u16string destination = output;
    base::AddBackslash(destination);
    if (!one_index && archives.size() > 1) destination += base::NumberToUtf16(static_cast<int64_t>(i)) + u"\\";
    for (const auto& entry : archives[i].entries) {
      progress.Advance(1);
      // The installer's own extraction: the same name check, decoding, file and times.
      const package::ResEntryStatus status = package::ExtractResEntry(file, archives[i], entry, destination);
      if (status != package::ResEntryStatus::kOk) {
        ++failures;
        std::fprintf(stderr, "norvpack: entry '%s' not extracted: %s\n", Narrow(entry.name).c_str(),
                     package::ResEntryStatusText(status));
      }
    }
  }
  progress.Done();
  if (failures) return Fail(std::to_string(failures) + " entries not extracted from " + Narrow(path));
  return kExitOk;
}

int Run(const Args& args) {
  if (args.empty()) return UsageError("archive", "needs an action: create, list or extract");
  const Args rest(args.begin() + 1, args.end());
  if (args[0] == u"create") return Create(rest);
  if (args[0] == u"list") return List(rest);
  if (args[0] == u"extract") return Extract(rest);
  return UsageError("archive", "unknown action '" + Narrow(args[0]) + "' (create, list or extract)");
}

}  // namespace

NORVPACK_COMMAND(archive, "archive", "create, list and extract resource archives", kUsage, Run);

}  // namespace norvpack
