#include "engine/file_entry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/ini_reader.h"
#include "base/path.h"
#include "base/strings.h"

namespace engine {
namespace {

std::u16string Trimmed(std::u16string_view text, size_t width) { return base::Cut(base::TrimBlanks(text), width); }

bool IsCWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Splits a file line into at most kMaxFileFields fields. A field that reaches 256 characters
// ends the scan (the rest of the line is not part of the format). Returns the number of commas
// seen, which is what the field count is judged by.
size_t SplitFields(std::u16string_view value, std::vector<std::u16string>* fields) {
  size_t commas = 0;
  std::u16string field;
  bool stopped = false;
  for (char16_t c : value) {
    if (c == u',') {
      ++commas;
      fields->push_back(field);
      field.clear();
      if (fields->size() == kMaxFileFields) {
        stopped = true;
        break;
      }
      continue;
    }
    if (field.size() == kMaxFieldText) {
      stopped = true;
      break;
    }
    field.push_back(c);
  }
  if (fields->size() < kMaxFileFields && (!stopped || !field.empty())) fields->push_back(field);
  return commas;
}

void ReportFieldCount(std::u16string_view key, std::u16string_view value, size_t commas) {
  // The packaging tools read this from standard output; key and value are arguments, never
  // part of the format.
  std::printf("   error ! Item Count error,current count is %d ,request %d.\n       %s=%s \n build tools exit!\n",
              static_cast<int>(commas), static_cast<int>(kMinFileFields), base::Utf16ToUtf8(key).c_str(),
              base::Utf16ToUtf8(value).c_str());
  std::fflush(stdout);
}

bool IsContainedOrEmpty(std::u16string_view folder) {
  return folder.empty() || base::IsContainedRelativePath(folder);
}

}  // namespace

uint32_t ParseDescriptionNumber(std::u16string_view text) {
  // The longest prefix that reads as a decimal floating-point number, handed to strtod in the
  // "C" form.
  size_t i = 0;
  while (i < text.size() && IsCWhiteSpace(text[i])) ++i;
  std::string number;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number.push_back(static_cast<char>(text[i++]));
  size_t mantissa_digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    number.push_back(static_cast<char>(text[i++]));
    ++mantissa_digits;
  }
  if (i < text.size() && text[i] == u'.') {
    number.push_back('.');
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      number.push_back(static_cast<char>(text[i++]));
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return 0;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) exponent.push_back(static_cast<char>(text[j++]));
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) exponent.push_back(static_cast<char>(text[j++]));
      number += exponent;
    }
  }
  const double value = std::strtod(number.c_str(), nullptr);
  // Outside the 64-bit range (and NaN) the truncation has no value to give.
  if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

bool ParseFileEntry(std::u16string_view key, std::u16string_view value, FileEntry* entry) {
  if (!entry) return false;
  const std::u16string file_name = Trimmed(key, kMaxFileName);
  if (file_name.empty()) return false;

  std::vector<std::u16string> fields;
  fields.reserve(kMaxFileFields);
  const size_t commas = SplitFields(value, &fields);
  if (commas + 1 < kMinFileFields) {
    ReportFieldCount(key, value, commas);
    return false;
  }
  fields.resize(kMaxFileFields);

  entry->file_name = file_name;
  entry->source_folder = Trimmed(fields[0], kMaxPathText);
  entry->dest_folder = Trimmed(fields[1], kMaxPathText);
  entry->packed = ParseDescriptionNumber(fields[2]);
  entry->kind = ParseDescriptionNumber(fields[3]);
  entry->flags = ParseDescriptionNumber(fields[4]);
  entry->order = ParseDescriptionNumber(fields[5]);
  entry->always_collect = app::ParseIniInt(fields[6]);
  entry->rename_if_locked = app::ParseIniInt(fields[7]);
  entry->needs_restart = app::ParseIniInt(fields[8]);
  entry->field9 = app::ParseIniInt(fields[9]);
  entry->register_refs = Trimmed(fields[10], kMaxFieldText);
  entry->program_refs = Trimmed(fields[11], kMaxFieldText);
  entry->checksum = ParseDescriptionHex(fields[12]);
  entry->field13 = Trimmed(fields[13], kMaxPathText);
  entry->size = ParseDescriptionNumber(fields[14]);
  entry->os_mask = ParseDescriptionHex(fields[15]);

  // All three are joined to folders of the install tree, field 1 also into the names of copies;
  // the "%" and "$" forms of field 1 name system folders but never climb out of them.
  if (!base::IsContainedRelativePath(entry->file_name)) return false;
  if (!IsContainedOrEmpty(entry->source_folder) || !IsContainedOrEmpty(entry->dest_folder)) return false;
  return true;
}

FileEntry* FindFileEntry(FileEntryList& entries, std::u16string_view file_name) {
  for (FileEntry& entry : entries) {
    if (base::EqualsIgnoreAsciiCase(entry.file_name, file_name)) return &entry;
  }
  return nullptr;
}

const FileEntry* FindFileEntry(const FileEntryList& entries, std::u16string_view file_name) {
  return FindFileEntry(const_cast<FileEntryList&>(entries), file_name);
}

FileEntry* FindFileEntry(FileEntryList& entries, std::u16string_view file_name, std::u16string_view dest_folder) {
  for (FileEntry& entry : entries) {
    if (base::EqualsIgnoreAsciiCase(entry.file_name, file_name) &&
        base::EqualsIgnoreAsciiCase(entry.dest_folder, dest_folder)) {
      return &entry;
    }
  }
  return nullptr;
}

std::u16string FileEntryPath(const WorkPaths& paths, const FileEntry& entry, ComposeLocation location,
                             uint32_t build) {
  const std::u16string& f = entry.file_name;
  const std::u16string q = (entry.flags & kFilePrefixedCopies)
                               ? entry.source_folder + u"_" + entry.dest_folder + u"_" + f
                               : f;
  if (location == ComposeLocation::kInstalled) {
    return base::JoinPath(base::JoinPath(paths.InstallDir(entry.compose_folder), entry.dest_folder), f);
  }
  const std::u16string compose_dir = paths.ComposeDir(entry.compose_name);
  if (compose_dir.empty()) return {};
  switch (location) {
    case ComposeLocation::kSource:
      return base::JoinPath(compose_dir + u"Source\\" + entry.source_folder, f);
    case ComposeLocation::kBackup:
      return compose_dir + u"Backup\\" + BuildFolderName(build) + u"\\" + q;
    case ComposeLocation::kOutput:
      return compose_dir + u"Output\\" + q + u".out";
    case ComposeLocation::kOutputChange:
      return paths.OutputChangeDir() + std::u16string(ComposePrefix(entry.compose_name)) + u"\\Output\\" + q + u".out";
    case ComposeLocation::kInstalled:
    case ComposeLocation::kTemp:
      break;
  }
  return {};
}

}  // namespace engine
