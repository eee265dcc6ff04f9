#include "suite_build.h"


#include "base/path.h"
#include "base/format.h"
#include "base/strings.h"
#include "cli.h"
#include "engine/checksum.h"
#include "engine/compose.h"
#include "engine/engine_codes.h"
#include "engine/integrity_check.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "suite_load.h"

namespace norvpack {
namespace {

constexpr size_t kMaxDownloadUrl = 511;
constexpr char16_t kEndMarker[] = u"CheckFileOKEnd";

// A private folder for the intermediate files of one build, removed with everything in it.
class StagingFolder {
 public:
  bool Create() {
    static unsigned serial = 0;
    const std::u16string base_name = platform::TempDirectory() + u"norvpack-build-" +
                                     base::UnsignedToUtf16(platform::SystemTickCount()) + u"-";
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::u16string candidate = base_name + base::UnsignedToUtf16(++serial);
      if (platform::CreateDirectoryOne(candidate)) {
        path_ = candidate;
        return true;
      }
    }
    return false;
  }
  ~StagingFolder() {
    if (!path_.empty()) package::DeleteTree(path_.c_str(), true);
  }
  std::u16string Join(const std::u16string& name) const { return base::JoinPath(path_, name); }

 private:
  std::u16string path_;
};

std::string Quoted(const std::u16string& text) { return "'" + Narrow(text) + "'"; }


bool WriteBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  platform::File out = platform::File::Open(path, platform::FileAccess::kReadWrite, platform::FileDisposition::kCreateAlways);
  return out.IsOpen() && out.Write(bytes.data(), bytes.size());
}

class SuiteBuilder {
 public:
  SuiteBuilder(const SuiteBuildOptions& options, SuiteBuildOutput* output, SuiteError* error)
      : options_(options), output_(output), error_(error) {}

  bool Run() {
    if (!LoadSuite(options_.suite_dir, &suite_, error_)) return false;
    url_ = options_.download_url.empty() ? suite_.settings.download_url : options_.download_url;
    if (url_.size() > kMaxDownloadUrl) return Fail("", 0, "the download address has " + std::to_string(url_.size()) +
                                                              " characters; at most 511 fit");
    if (options_.download_only && url_.empty()) {
      return Fail(kSuiteSettingsFile, 0, "a download-only setup file needs [Suite] DownloadUrl (or --url)");
    }
    if (!stage_.Create()) return Fail("", 0, "cannot create a work folder in " + Narrow(platform::TempDirectory()));
    for (const char16_t* folder : {u"composes", u"products", u"data", u"skin"}) {
      if (!platform::CreateDirectoryOne(stage_.Join(folder))) return Fail("", 0, "cannot create a work folder");
    }
    for (auto& compose : suite_.composes) {
      if (!BuildCompose(compose.get())) return false;
    }
    Report("composes: " + std::to_string(suite_.composes.size()) + ", files: " + std::to_string(output_->file_count));
    for (auto& product : suite_.products) {
      if (!BuildProduct(product.get())) return false;
    }
    if (!StageSkin() || !WritePackage() || !WriteSkinPart()) return false;
    std::string reason;
    if (!package::StampPayload(options_.stub, output_->skin_part, options_.download_only ? nullptr : &output_->package,
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
  std::u16string NextDataPath() { return stage_.Join(u"data\\" + base::UnsignedToUtf16(++data_serial_)); }

  // Resource archive of a folder, entries in name order, all with the suite's time.
  bool BuildArchive(const SuiteCompose& compose, const SuiteFile& file, std::u16string* path) {
    std::vector<FolderFile> files;
    if (!ListFolderFiles(file.source, /*include_hidden=*/false, &files) || files.empty()) {
      return Fail(compose.description.relative(), file.line,
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
    std::vector<uint8_t> archive;
    if (!package::ResArchiveWriter::Build(entries, {}, &archive, &reason)) {
      return Fail(compose.description.relative(), file.line, "resource archive " + Quoted(file.entry.file_name) + ": " + reason);
    }
    *path = NextDataPath();
    return WriteBytes(*path, archive) || Fail("", 0, "cannot write " + Narrow(*path));
  }

  bool BuildCompose(SuiteCompose* compose) {
    LocatedIni& d = compose->description;
    app::CIniReader& ini = d.ini();
    uint64_t total = 0;
    for (auto& file : compose->files) {
      std::u16string content = file.source;
      if (file.is_archive && !BuildArchive(*compose, file, &content)) return false;
      engine::FileChecksum sum;
      if (!engine::FileChecksumFor(file.entry.flags, content, &sum)) {
        return Fail(d.relative(), file.line, "cannot read " + Narrow(content));
      }
      if (sum.size > UINT32_MAX) return Fail(d.relative(), file.line, "file " + Quoted(file.entry.file_name) + " is 4 GiB or larger");
      file.entry.checksum = sum.crc;
      file.entry.size = static_cast<uint32_t>(sum.size);
      total += sum.size;

      app::IniEntry* line = ini.SectionAt(file.section_index)->EntryAt(file.entry_index);
      std::vector<std::u16string> fields;
      size_t start = 0;
      const std::u16string& value = line->Value();
      for (;;) {
        const size_t comma = value.find(u',', start);
        fields.push_back(value.substr(start, comma == std::u16string::npos ? std::u16string::npos : comma - start));
        if (comma == std::u16string::npos) break;
        start = comma + 1;
      }
      fields[12] = base::Format(8, u"%08X", sum.crc);
      fields[14] = base::UnsignedToUtf16(sum.size);
      std::u16string rewritten;
      for (size_t k = 0; k < fields.size(); ++k) rewritten += (k ? u"," : u"") + fields[k];
      line->SetValue(rewritten);

      record_sources_.push_back(content);
      if (file.entry.packed == 1) {
        std::vector<uint8_t> bytes, packed;
        std::string reason;
        if (!ReadFileBytes(content, &bytes, &reason)) return Fail("", 0, reason);
        if (!package::PackBytes(bytes.data(), bytes.size(), &packed)) {
          return Fail(d.relative(), file.line, "cannot pack " + Quoted(file.entry.file_name));
        }
        record_sources_.back() = NextDataPath();
        if (!WriteBytes(record_sources_.back(), packed)) return Fail("", 0, "cannot write " + Narrow(record_sources_.back()));
      }
      ++output_->file_count;
    }
    ini.SetString(u"Version", u"Size", base::UnsignedToUtf16(total));
    ini.SetString(u"Version", u"FileSize", u"0000000000");

    const std::u16string path = stage_.Join(u"composes\\" + compose->prefix + u".out");
    app::CIniReader written;
    if (!ini.SaveAs(path) || !written.LoadTzFile(path) || !engine::UpdateFileSize(written, false)) {
      return Fail(d.relative(), 0, "cannot write the UTF-16 description to " + Narrow(path));
    }
    // What the installer will do with it: the size check and the file list.
    const uint32_t check = engine::CheckCompose(path.c_str());
    if (check != engine::kOk) return Fail(d.relative(), 0, "the written description fails its size check (" + std::to_string(check) + ")");
    engine::Compose loaded(engine::WorkPaths(stage_.Join(u"install")));
    const uint32_t load = loaded.LoadComposeFiles(path.c_str());
    if (load != engine::kOk) {
      return Fail(d.relative(), 0, "the installer's loader refuses the written description (code " + std::to_string(load) + ")");
    }
    description_paths_.push_back(path);
    return true;
  }

  bool BuildProduct(SuiteProduct* product) {
    LocatedIni& d = product->description;
    app::CIniReader& ini = d.ini();
    if (suite_.settings.check_string) {
      const app::IniSection* end = ini.FindSection(u"End");
      const int end_line = end ? d.SectionLine(end) : 0;
      ini.SetString(u"Version", u"IsCheckString", u"1");
      ini.SetString(u"End", u"CheckString", kEndMarker);
      // A cut-short file loses its last section first: that is where the marker must stand.
      if (ini.FindSection(u"End") != ini.SectionAt(ini.SectionCount() - 1)) {
        return Fail(d.relative(), end_line, "[End] must be the last section: it holds the end marker");
      }
    }
    const std::u16string path = stage_.Join(u"products\\" + product->name + u".out");
    if (!ini.SaveAs(path)) return Fail(d.relative(), 0, "cannot write the UTF-16 description to " + Narrow(path));
    const uint32_t check = engine::CheckProductIni(path.c_str());
    if (check != engine::kOk) {
      return Fail(d.relative(), d.KeyLine(u"Version", u"IsCheckString"),
                  "IsCheckString is 1 but [End] CheckString is not \"CheckFileOKEnd\" (code " + std::to_string(check) +
                      "); set CheckString=1 in suite.ini to have the marker written");
    }
    product_paths_.push_back(path);
    return true;
  }

  // Skin files go in as they are, except the key-value files, which the installer reads as UTF-16.
  bool StageSkin() {
    for (const auto& skin : suite_.skin) {
      skin_sources_.push_back(skin.path);
      if (!skin.is_text) continue;
      std::vector<uint8_t> bytes;
      std::u16string text;
      std::string reason;
      if (!ReadFileBytes(skin.path, &bytes, &reason)) return Fail("", 0, reason);
      if (!DecodeText(bytes, &text, &reason)) return Fail("", 0, Narrow(skin.path) + ": " + reason);
      if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
      skin_sources_.back() = NextDataPath();
      if (!WriteBytes(skin_sources_.back(), EncodeUtf16File(text))) return Fail("", 0, "cannot write a work file");
    }
    return true;
  }

  bool Add(package::CDeedBox& box, const std::u16string& name, const std::u16string& source) {
    if (!box.AddFile(name.c_str(), source.c_str())) return Fail("", 0, "cannot add record " + Quoted(name) + " from " + Narrow(source));
    return true;
  }

  bool WritePackage() {
    const std::u16string path = stage_.Join(u"package.box");
    package::CDeedBox box;
    if (!box.Create(suite_.product_list.c_str(), path.c_str(), suite_.compose_list.c_str(), package::kDeedBoxKindProduct)) {
      return Fail("", 0, "cannot create the package container");
    }
    for (size_t i = 0; i < suite_.products.size(); ++i) {
      for (int n = 0; n <= 1; ++n) {
        if (!Add(box, package::FixRecordName(n, suite_.products[i]->name), product_paths_[i])) return false;
      }
    }
    size_t source = 0;
    for (size_t i = 0; i < suite_.composes.size(); ++i) {
      const SuiteCompose& compose = *suite_.composes[i];
      if (!Add(box, package::ComposeIniRecordName(compose.prefix), description_paths_[i])) return false;
      for (const auto& file : compose.files) {
        const std::u16string name = package::ComposeFileRecordName(compose.prefix, file.entry.source_folder,
                                                                   file.entry.dest_folder, file.entry.file_name);
        if (!Add(box, name, record_sources_[source++])) return false;
      }
    }
    for (size_t i = 0; i < suite_.skin.size(); ++i) {
      if (suite_.skin[i].group != package::kSkinGroupPart2) continue;
      if (!Add(box, package::GroupRecordName(suite_.skin[i].group, suite_.skin[i].relative), skin_sources_[i])) return false;
    }
    box.Close();
    std::string reason;
    if (!ReadFileBytes(path, &output_->package, &reason)) return Fail("", 0, reason);
    Report("package: " + std::to_string(box.Records().size()) + " records, " + std::to_string(output_->package.size()) + " bytes");
    return true;
  }

  bool WriteSkinPart() {
    const std::u16string path = stage_.Join(u"skin.box");
    package::CDeedBox box;
    if (!box.Create(nullptr, path.c_str(), url_.c_str(), package::kDeedBoxKindSkin)) {
      return Fail("", 0, "cannot create the skin container");
    }
    for (size_t i = 0; i < suite_.skin.size(); ++i) {
      if (suite_.skin[i].group != package::kSkinGroupPart1) continue;
      if (!Add(box, package::GroupRecordName(suite_.skin[i].group, suite_.skin[i].relative), skin_sources_[i])) return false;
    }
    box.Close();
    std::vector<uint8_t> container;
    std::string reason;
    if (!ReadFileBytes(path, &container, &reason)) return Fail("", 0, reason);
    if (!package::PackBytes(container.data(), container.size(), &output_->skin_part)) {
      return Fail("", 0, "cannot pack the skin part");
    }
    Report("skin part: " + std::to_string(box.Records().size()) + " files, " + std::to_string(output_->skin_part.size()) +
           " bytes packed");
    return true;
  }

  const SuiteBuildOptions& options_;
  SuiteBuildOutput* output_;
  SuiteError* error_;
  Suite suite_;
  StagingFolder stage_;
  std::u16string url_;
  unsigned data_serial_ = 0;
  std::vector<std::u16string> record_sources_;     // per compose file, in package order
  std::vector<std::u16string> description_paths_;  // per compose
  std::vector<std::u16string> product_paths_;      // per product
  std::vector<std::u16string> skin_sources_;       // per skin file
};

}  // namespace

bool BuildSuite(const SuiteBuildOptions& options, SuiteBuildOutput* output, SuiteError* error) {
  *output = SuiteBuildOutput();
  SuiteBuilder builder(options, output, error);
  return builder.Run();
}

}  // namespace norvpack
