#include "suite_build.h"

#include "base/format.h"
#include "base/sha256.h"
#include "base/strings.h"
#include "cli.h"
#include "package/file_utils.h"
#include "engine/checksum.h"
#include "engine/engine_codes.h"
#include "engine/integrity_check.h"
#include "package/deed_box.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "suite_steps.h"

namespace norvpack {
namespace {

using Bytes = std::vector<uint8_t>;

// Everything is made in memory, in the order it goes into the containers: the descriptions are
// measured and checked by the installer's own rules on the bytes that will be carried.
class SuiteBuilder {
 public:
  SuiteBuilder(const SuiteBuildOptions& options, SuiteBuildOutput* output, SuiteError* error)
      : options_(options), output_(output), error_(error) {}

  bool Run() {
    if (!LoadSuite(options_.suite_dir, &suite_, error_)) return false;
    url_ = options_.download_url.empty() ? suite_.settings.download_url : options_.download_url;
    if (url_.size() > package::kDeedBoxMaxComposeList) {
      return Fail("", 0, TooLong("the download address", url_, package::kDeedBoxMaxComposeList));
    }
    if (options_.download_only && url_.empty()) {
      return Fail(kSuiteSettingsFile, 0, "a download-only setup file needs [Suite] DownloadUrl (or --url)");
    }
    const bool packet = !options_.packet_composes.empty();
    std::vector<SuiteCompose*> composes;
    std::u16string compose_list = suite_.compose_list;
    if (packet) {
      if (!PacketComposes(&composes, &compose_list)) return false;
    } else {
      for (auto& compose : suite_.composes) composes.push_back(compose.get());
    }
    Bytes& package = output_->package;
    if (!package::StartDeedBox(packet ? u"" : suite_.product_list, compose_list,
                               packet ? package::kDeedBoxKindComposePacket : package::kDeedBoxKindProduct, &package)) {
      return Fail("", 0, "the product or compose list does not fit the package header");
    }
    for (auto& product : suite_.products) {
      if (!packet && !AddProduct(product.get())) return false;
    }
    for (SuiteCompose* compose : composes) {
      if (!AddCompose(compose)) return false;
    }
    Report("composes: " + std::to_string(composes.size()) + ", files: " + std::to_string(output_->file_count));
    if (!AddSkin(package::kSkinGroupPart2, &package)) return false;
    Report("package: " + std::to_string(records_) + " records, " + std::to_string(package.size()) + " bytes");
    if (!WriteSkinPart()) return false;
    std::string reason;
    if (!package::StampPayload(options_.stub, output_->skin_part, options_.download_only ? nullptr : &package,
                               &output_->setup_file, &reason)) {
      return Fail("", 0, "the setup program: " + reason);
    }
    Report("setup file: " + std::to_string(output_->setup_file.size()) + " bytes" +
           (options_.download_only ? " (download-only: no package inside)" : ""));
    return true;
  }

 private:
  bool Fail(const std::string& file, int line, const std::string& message) {
    *error_ = SuiteError{file, line, message};
    return false;
  }
  void Report(const std::string& line) {
    if (options_.report) options_.report(line);
  }
  bool Add(const std::u16string& name, const Bytes& data, Bytes* container) {
    if (!package::AddDeedBoxRecord(name, data.data(), data.size(), container)) {
      return Fail("", 0, "record " + Quoted(name) + " does not fit the container (4 GiB at most)");
    }
    ++records_;
    return true;
  }

  // The composes a packet names, each once, with their header list spelled as the products
  // spell them. A grouping compose has no files or description of its own to carry.
  bool PacketComposes(std::vector<SuiteCompose*>* composes, std::u16string* list) {
    list->clear();
    std::vector<std::u16string> seen;
    for (const std::u16string& name : SplitList(options_.packet_composes, u',', false)) {
      SuiteCompose* compose = suite_.FindComposeByName(name);
      bool grouping = false;
      for (const auto& product : suite_.products) grouping = grouping || ContainsName(product->composes, name);
      if (!compose) {
        return Fail("", 0, "compose " + Quoted(name) +
                               (grouping ? " is a grouping compose (Type 2): it has nothing a packet could carry"
                                         : " is not a compose of the suite's products"));
      }
      if (ContainsName(seen, name)) return Fail("", 0, "compose " + Quoted(name) + " is listed twice");
      seen.push_back(name);
      for (const auto& spelled : compose->names) {
        if (base::EqualsIgnoreAsciiCase(spelled, name)) *list += (list->empty() ? u"" : u",") + spelled;
      }
      // Composes sharing a prefix share one description and its files.
      bool carried = false;
      for (SuiteCompose* c : *composes) carried = carried || c == compose;
      if (!carried) composes->push_back(compose);
    }
    if (list->empty()) return Fail("", 0, "the compose packet lists no compose");
    return true;
  }

  // Resource archive of a folder, entries in name order, all with the suite's time.
  bool BuildArchive(const SuiteCompose& compose, const SuiteFile& file, Bytes* archive) {
    std::vector<package::FolderFile> files;
    if (!package::ListFolderFiles(file.source, /*include_hidden=*/false, &files) || files.empty()) {
      return Fail(compose.description.relative(), file.line->Line(),
                  "the archive folder for " + Quoted(file.entry.file_name) + " is empty or cannot be read");
    }
    std::vector<package::ResArchiveWriter::Entry> entries;
    std::string reason;
    for (const auto& f : files) {
      package::ResArchiveWriter::Entry entry;
      entry.name = f.relative;
      entry.modified = suite_.settings.archive_time;
      if (!ReadFileBytes(f.path, &entry.data, &reason)) return Fail("", 0, reason);
      entries.push_back(std::move(entry));
    }
    if (!package::ResArchiveWriter::Build(entries, {}, archive, &reason)) {
      return Fail(compose.description.relative(), file.line->Line(),
                  "resource archive " + Quoted(file.entry.file_name) + ": " + reason);
    }
    return true;
  }

  // Measures a file of the compose into its line (field 12 checksum, field 14 size) and returns
  // what the package carries for it.
  bool MeasureFile(const SuiteCompose& compose, SuiteFile* file, Bytes* carried) {
    const LocatedIni& d = compose.description;
    std::string reason;
    if (file->is_archive) {
      if (!BuildArchive(compose, *file, carried)) return false;
    } else if (!ReadFileBytes(file->source, carried, &reason)) {
      return Fail(d.relative(), file->line->Line(), reason);
    }
    if (carried->size() > UINT32_MAX) {
      return Fail(d.relative(), file->line->Line(), "file " + Quoted(file->entry.file_name) + " is 4 GiB or larger");
    }
    const engine::FileChecksum sum = engine::BytesChecksumFor(file->entry.flags, carried->data(), carried->size());
    file->entry.checksum = sum.crc;
    file->entry.size = static_cast<uint32_t>(sum.size);
    std::vector<std::u16string> fields = SplitList(file->line->Value(), u',', true);
    fields[12] = base::Format(8, u"%08X", sum.crc);
    fields[14] = base::UnsignedToUtf16(sum.size);
    std::u16string rewritten;
    for (size_t k = 0; k < fields.size(); ++k) rewritten += (k ? u"," : u"") + fields[k];
    file->line->SetValue(rewritten);
    if (file->entry.packed == 1) {
      Bytes packed;
      if (!package::PackBytes(carried->data(), carried->size(), &packed)) {
        return Fail(d.relative(), file->line->Line(), "cannot pack " + Quoted(file->entry.file_name));
      }
      carried->swap(packed);
    }
    return true;
  }

  // The compose description ("CNI-"), with Size and FileSize as the installer checks them, then
  // its files ("COM-").
  bool AddCompose(SuiteCompose* compose) {
    app::CIniReader& ini = compose->description.ini();
    std::vector<Bytes> carried(compose->files.size());
    uint64_t total = 0;
    for (size_t i = 0; i < compose->files.size(); ++i) {
      if (!MeasureFile(*compose, &compose->files[i], &carried[i])) return false;
      total += compose->files[i].entry.size;
    }
    ini.SetString(u"Version", u"Size", base::UnsignedToUtf16(total));
    ini.SetString(u"Version", u"FileSize", u"0000000000");
    Bytes description;
    if (!engine::RecordSerializedSize(ini, &description)) {
      return Fail(compose->description.relative(), 0, "the description does not settle on its own size");
    }
    Bytes& package = output_->package;
    if (!Add(package::ComposeIniRecordName(compose->prefix), description, &package)) return false;
    for (size_t i = 0; i < compose->files.size(); ++i) {
      const engine::FileEntry& entry = compose->files[i].entry;
      const std::u16string name =
          package::ComposeFileRecordName(compose->prefix, entry.source_folder, entry.dest_folder, entry.file_name);
      if (!Add(name, carried[i], &package)) return false;
      Bytes().swap(carried[i]);
      ++output_->file_count;
    }
    return true;
  }

  // The product description, "FIX_" records for n = 0 and 1.
  bool AddProduct(SuiteProduct* product) {
    LocatedIni& d = product->description;
    app::CIniReader& ini = d.ini();
    if (suite_.settings.check_string) {
      const app::IniSection* end = ini.FindSection(u"End");
      const int end_line = end ? end->Line() : 0;
      ini.SetString(u"Version", u"IsCheckString", u"1");
      ini.SetString(u"End", u"CheckString", engine::kProductEndMarker);
      // A cut-short file loses its last section first: that is where the marker must stand.
      if (ini.FindSection(u"End") != ini.SectionAt(ini.SectionCount() - 1)) {
        return Fail(d.relative(), end_line, "[End] must be the last section: it holds the end marker");
      }
    }
    const uint32_t check = engine::CheckProductMarker(ini, Widen(d.relative()).c_str());
    if (check != engine::kOk) {
      return Fail(d.relative(), d.KeyLine(u"Version", u"IsCheckString"),
                  "IsCheckString is 1 but [End] CheckString is not \"" + Narrow(engine::kProductEndMarker) +
                      "\" (code " + std::to_string(check) + "); set CheckString=1 in suite.ini to have the marker written");
    }
    const Bytes description = ini.Serialize();
    for (int n = 0; n <= 1; ++n) {
      if (!Add(package::FixRecordName(n, product->name), description, &output_->package)) return false;
    }
    return true;
  }

  // The files of one skin group; the key-value files as UTF-16, which the installer reads.
  bool AddSkin(const char16_t* group, Bytes* container) {
    for (const auto& skin : suite_.skin) {
      if (skin.group != group) continue;
      Bytes data;
      std::string reason;
      if (skin.is_text) {
        data = EncodeUtf16File(skin.text);
      } else if (!ReadFileBytes(skin.path, &data, &reason)) {
        return Fail("", 0, reason);
      }
      if (!Add(package::GroupRecordName(group, skin.relative), data, container)) return false;
    }
    return true;
  }

  // The skin part, the first payload of the setup file: a packed container of kind 3 with the
  // wizard's skin and the download address.
  bool WriteSkinPart() {
    Bytes container;
    if (!package::StartDeedBox(u"", url_, package::kDeedBoxKindSkin, &container)) {
      return Fail("", 0, "the download address does not fit the skin part's header");
    }
    const size_t before = records_;
    if (!AddSkin(package::kSkinGroupPart1, &container)) return false;
    {
      // The skin part carries the package's digest: the download page checks a package that
      // travelled over plain HTTP, and the installer checks a carried one, most of whose bytes
      // no size or CRC of the package covers, before anything is installed.
      base::Sha256 sha;
      sha.Update(output_->package.data(), output_->package.size());
      const std::string digest = base::ToHex(sha.Final());
      if (!Add(package::kPackageDigestRecord, Bytes(digest.begin(), digest.end()), &container)) return false;
    }
    if (!package::PackBytes(container.data(), container.size(), &output_->skin_part)) {
      return Fail("", 0, "cannot pack the skin part");
    }
    Report("skin part: " + std::to_string(records_ - before) + " files, " + std::to_string(output_->skin_part.size()) +
           " bytes packed");
    return true;
  }

  const SuiteBuildOptions& options_;
  SuiteBuildOutput* output_;
  SuiteError* error_;
  Suite suite_;
  std::u16string url_;
  size_t records_ = 0;  // records added so far, both containers
};

}  // namespace

bool BuildSuite(const SuiteBuildOptions& options, SuiteBuildOutput* output, SuiteError* error) {
  *output = SuiteBuildOutput();
  SuiteBuilder builder(options, output, error);
  return builder.Run();
}

}  // namespace norvpack
