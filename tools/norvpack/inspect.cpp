// norvpack inspect: describes a setup file, package container, packed file or resource archive
// and checks it the way the installer reads it (payload table, records, names, sizes, CRCs, the
// integrity checks of the descriptions).
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "engine/engine_codes.h"
#include "engine/integrity_check.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack inspect FILE\n"
    "\n"
    "Describes FILE and checks it with the installer's own readers. FILE may be\n"
    "  a setup file     (\"MZ\" with a payload table): the table, then part 1 (the packed skin part\n"
    "                   and its container) and part 2 (the package) when present;\n"
    "  a container      (\"CVAS\"): header fields and every record; packed records are unpacked\n"
    "                   to check their CRC, descriptions get the installer's integrity checks,\n"
    "                   and group records must stay inside their folder;\n"
    "  a packed file    (\"QZPM\"): header fields, CRC check, and the container inside, if any;\n"
    "  a resource archive file (\"kApX\", or a program stub followed by archives): every archive\n"
    "                   and entry, with block CRC and decoding checks.\n"
    "Every problem found is marked with \"PROBLEM:\"; the exit code is then 1.\n";

bool StartsWithMagic(const std::u16string& path, const uint8_t (&magic)[4]) {
  uint8_t head[4] = {};
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  return file.IsOpen() && file.ReadExact(head, 4) && std::memcmp(head, magic, 4) == 0;
}

class Inspector {
 public:
  explicit Inspector(std::u16string work) : work_(std::move(work)) {}
  int problems() const { return problems_; }

  // False when the file is none of the kinds this tool knows.
  bool InspectFile(const std::u16string& path) {
    uint8_t head[package::kDosHeaderSize] = {};
    size_t got = 0;
    uint64_t size = 0;
    {
      platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
      if (!file.IsOpen() || !file.Size(&size) || !file.Read(head, sizeof(head), &got)) {
        Problem("", "cannot read " + Narrow(path));
        return true;
      }
    }
    std::printf("%s: %" PRIu64 " bytes\n", Narrow(path).c_str(), size);
    package::PayloadTable table;
    if (got >= 2 && head[0] == 'M' && head[1] == 'Z' && package::ReadPayloadTable(head, got, &table)) {
      InspectSetup(path, size, table);
      return true;
    }
    if (got >= 4 && std::memcmp(head, package::kDeedBoxMagic, 4) == 0) {
      InspectContainer(path, "");
      return true;
    }
    if (got >= 4 && std::memcmp(head, package::kPackedMagic, 4) == 0) {
      const std::u16string unpacked = InspectPacked(path, "");
      if (!unpacked.empty() && StartsWithMagic(unpacked, package::kDeedBoxMagic)) InspectContainer(unpacked, "  ");
      return true;
    }
    return InspectArchives(path, "");
  }

 private:
  void Problem(const std::string& indent, const std::string& text) {
    ++problems_;
    std::printf("%sPROBLEM: %s\n", indent.c_str(), text.c_str());
  }

  std::u16string WorkFile(const char16_t* stem) {
    return base::JoinPath(work_, stem + base::NumberToUtf16(static_cast<int64_t>(++serial_)));
  }

  void InspectSetup(const std::u16string& path, uint64_t size, const package::PayloadTable& table) {
    std::printf("setup file with a payload table\n");
    const struct {
      int number;
      package::PayloadPart part;
    } parts[] = {{1, table.part1}, {2, table.part2}};
    for (const auto& p : parts) {
      if (p.number == 2 && !table.HasPart2()) {
        std::printf("part 2: absent (offset %u, length %u): a download-type setup file\n", p.part.offset, p.part.length);
        continue;
      }
      std::printf("part %d: offset %u, %u bytes\n", p.number, p.part.offset, p.part.length);
      if (uint64_t{p.part.offset} + p.part.length > size) {
        Problem("  ", "part " + std::to_string(p.number) + " reaches beyond the end of the file");
        continue;
      }
      const std::u16string copy = WorkFile(p.number == 1 ? u"part1-" : u"part2-");
      if (!package::ExtractPayloadPart(path, copy, p.number)) {
        Problem("  ", "part " + std::to_string(p.number) + " cannot be copied out");
        continue;
      }
      if (p.number == 1) {
        const std::u16string unpacked = InspectPacked(copy, "  ");
        if (!unpacked.empty()) {
          const package::DeedBoxSummary summary = InspectContainer(unpacked, "  ");
          if (summary.size && summary.header.kind != package::kDeedBoxKindSkin) {
            Problem("  ", "the skin part's container is not of kind 3");
          }
        }
      } else {
        InspectContainer(copy, "  ");
      }
    }
  }

  // Returns the unpacked copy when the file unpacks.
  std::u16string InspectPacked(const std::u16string& path, const std::string& indent) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFileBytes(path, &bytes, &error)) {
      Problem(indent, error);
      return u"";
    }
    package::PackedHeader header;
    if (!package::ReadPackedHeader(bytes.data(), bytes.size(), &header)) {
      Problem(indent, "not a packed file (no QZPM header)");
      return u"";
    }
    std::printf("%spacked file: member %u bytes, unpacked size hint %u\n", indent.c_str(), header.member_length,
                header.unpacked_size_hint);
    const std::u16string unpacked = WorkFile(u"unpacked-");
    const uint32_t code = package::ZQP_UnPackFile(path.c_str(), unpacked.c_str());
    if (code != package::kUnpackOk) {
      Problem(indent, "does not unpack (code " + std::to_string(code) + (code == package::kUnpackNotPacked
                                                                              ? ": member length does not match the file"
                                                                              : code == package::kUnpackDecodeFailed
                                                                                    ? ": damaged data or CRC mismatch"
                                                                                    : "") +
                          ")");
      return u"";
    }
    const uint32_t length = package::GetFileLength(unpacked.c_str());
    std::printf("%sunpacks to %u bytes, CRC ok\n", indent.c_str(), length);
    return unpacked;
  }

  package::DeedBoxSummary InspectContainer(const std::u16string& path, const std::string& indent) {
    package::DeedBoxSummary summary;
    if (!package::DescribeDeedBox(path, &summary)) {
      Problem(indent, "the installer does not open this container: " + summary.problem);
      return package::DeedBoxSummary();
    }
    const auto& h = summary.header;
    std::printf("%scontainer: kind %s, %zu records, %" PRIu64 " bytes\n", indent.c_str(), ContainerKindText(h.kind).c_str(),
                summary.records.size(), summary.size);
    if (h.kind == package::kDeedBoxKindSkin) {
      std::printf("%s  package download address: \"%s\"\n", indent.c_str(), Narrow(h.compose_list).c_str());
    } else {
      std::printf("%s  products: \"%s\"\n%s  composes: \"%s\"\n", indent.c_str(), Narrow(h.product_list).c_str(),
                  indent.c_str(), Narrow(h.compose_list).c_str());
    }
    package::CDeedBox box;
    const bool open = box.Open(path.c_str());
    platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
    Progress progress("inspect", summary.records.size());
    for (size_t i = 0; i < summary.records.size(); ++i) {
      const auto& record = summary.records[i];
      std::printf("%s  %12u  %s\n", indent.c_str(), record.length, Narrow(record.name).c_str());
      progress.Advance(1);
      if (i < summary.record_complete.size() && !summary.record_complete[i]) {
        Problem(indent + "    ", "the record's data is cut short by the end of the file");
        continue;
      }
      CheckRecordName(summary, i, indent + "    ");
      if (open) CheckDescription(box, record.name, indent + "    ");
      uint8_t magic[4] = {};
      if (record.length < 4 || !file.SeekTo(record.data_offset) || !file.ReadExact(magic, 4) ||
          std::memcmp(magic, package::kPackedMagic, 4) != 0) {
        continue;
      }
      const std::u16string packed = WorkFile(u"record-");
      const std::u16string unpacked = WorkFile(u"record-");
      uint32_t code = package::kUnpackSourceUnreadable;
      if (open && box.ExtractRecord(record.name.c_str(), packed.c_str())) {
        code = package::ZQP_UnPackFile(packed.c_str(), unpacked.c_str());
      }
      if (code == package::kUnpackOk) {
        std::printf("%s    packed: unpacks to %u bytes, CRC ok\n", indent.c_str(), package::GetFileLength(unpacked.c_str()));
      } else {
        Problem(indent + "    ", "packed record does not unpack (code " + std::to_string(code) + ")");
      }
      platform::DeleteFileAt(packed);
      platform::DeleteFileAt(unpacked);
    }
    progress.Done();
    return summary;
  }

  // What the installer would refuse or never read: a group path that leaves its folder, a record
  // hidden behind an earlier one of the same name.
  void CheckRecordName(const package::DeedBoxSummary& summary, size_t i, const std::string& indent) {
    const std::u16string& name = summary.records[i].name;
    std::u16string group, relative;
    if (base::StartsWithIgnoreAsciiCase(name, u"DIR-") &&
        (!package::SplitGroupRecordName(name, &group, &relative) || !base::IsContainedFilePath(relative))) {
      Problem(indent, "the group record's path leaves the group's folder or names no file");
    }
    for (size_t k = 0; k < i; ++k) {
      if (base::EqualsIgnoreAsciiCase(summary.records[k].name, name)) {
        Problem(indent, "record " + std::to_string(k + 1) + " has the same name; the installer never reads this one");
        break;
      }
    }
  }

  // The integrity checks the installer runs on a description when it takes it out of the package:
  // the recorded size of a compose description ("CNI-"), the end marker of a product description
  // ("FIX_<product>_1").
  void CheckDescription(package::CDeedBox& box, const std::u16string& name, const std::string& indent) {
    const bool compose = base::StartsWithIgnoreAsciiCase(name, u"CNI-");
    const bool product = base::StartsWithIgnoreAsciiCase(name, u"FIX_") && base::EndsWithIgnoreAsciiCase(name, u"_1");
    if (!compose && !product) return;
    const std::u16string copy = WorkFile(u"description-");
    uint32_t code = box.ExtractRecord(name.c_str(), copy.c_str())
                        ? (compose ? engine::CheckCompose(copy.c_str()) : engine::CheckProductIni(copy.c_str()))
                        : engine::kOk;
    if (code != engine::kOk) {
      Problem(indent, std::string(compose ? "the compose description fails its size check"
                                          : "the product description fails its end-marker check") +
                          " (code " + std::to_string(code) + ")");
    }
    platform::DeleteFileAt(copy);
  }

  bool InspectArchives(const std::u16string& path, const std::string& indent) {
    const std::vector<package::ResArchive> archives = package::ListResArchives(path);
    if (archives.empty()) return false;
    platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
    uint64_t end = 0;
    for (size_t i = 0; i < archives.size(); ++i) {
      const auto& a = archives[i];
      std::printf("%sresource archive %zu: offset %" PRIu64 ", %" PRIu64 " bytes, %zu entries%s\n", indent.c_str(), i,
                  a.start, a.size, a.entries.size(), a.has_program_stub ? ", begins with a program stub" : "");
      for (const auto& entry : a.entries) {
        package::ResEntryData data;
        const package::ResEntryStatus status = package::ReadResEntry(file, a, entry, &data);
        if (status == package::ResEntryStatus::kOk) {
          std::printf("%s  %12zu  %s  %s\n", indent.c_str(), data.bytes.size(), UtcText(data.modified).c_str(),
                      Narrow(entry.name).c_str());
        } else {
          std::printf("%s  %12s  %19s  %s\n", indent.c_str(), "-", "-", Narrow(entry.name).c_str());
          Problem(indent + "    ", package::ResEntryStatusText(status));
        }
        if (!base::IsContainedFilePath(entry.name)) {
          Problem(indent + "    ", package::ResEntryStatusText(package::ResEntryStatus::kUnsafeName));
        }
      }
      end = a.start + a.size;
    }
    uint64_t size = 0;
    if (file.Size(&size) && end < size) {
      std::printf("%s%" PRIu64 " bytes after the last archive are not an archive\n", indent.c_str(), size - end);
    }
    return true;
  }

  std::u16string work_;
  int problems_ = 0;
  int serial_ = 0;
};

int Run(const Args& args) {
  ArgParser parser(args, {}, {});
  if (!parser.ok()) return UsageError("inspect", parser.error());
  if (parser.Positionals().size() != 1) return UsageError("inspect", "needs one FILE");
  const std::u16string& path = parser.Positionals()[0];
  if (!platform::PathExists(path) || platform::IsDirectory(path)) return Fail("cannot open " + Narrow(path));

  // The installer's readers work on files: parts and records are copied out to a private folder.
  const std::u16string work = platform::TempDirectory() + u"norvpack-inspect-" +
                              base::UnsignedToUtf16(platform::SystemTickCount()) + u"-" +
                              base::UnsignedToUtf16(reinterpret_cast<uintptr_t>(&path) & 0xFFFFFF);
  if (!platform::CreateDirectoryOne(work)) return Fail("cannot create the work folder " + Narrow(work));
  Inspector inspector(work);
  const bool known = inspector.InspectFile(path);
  package::DeleteTree(work.c_str(), true);
  if (!known) return Fail(Narrow(path) + " is not a setup file, container, packed file or resource archive");
  if (inspector.problems()) return Fail(std::to_string(inspector.problems()) + " problems found in " + Narrow(path));
  return kExitOk;
}

}  // namespace

NORVPACK_COMMAND(inspect, "inspect", "describe and check a setup file, container, packed file or resource archive",
                 kUsage, Run);

}  // namespace norvpack
