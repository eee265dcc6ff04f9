#pragma once
// CIniReader: reader and writer of the UTF-16 key-value files that hold every description and
// state file of the engine. The whole file is loaded into memory, answered by section and key,
// changed in place and written back whole.
//
// File format (as written, and as read):
//   - UTF-16 little-endian. A first code unit U+FEFF or U+FFFE is dropped on reading; a trailing
//     odd byte is ignored. Lines end in LF; a CR before the LF goes.
//   - "[name]" starts a section; ";" anywhere starts a comment that runs to the end of the line
//     (also inside a value); other non-empty lines are "key=value" entries of the last section.
//     Entry lines before the first header are dropped; a line without "=" is kept as an entry
//     with an empty key and value. Leading blanks are kept, so an indented "[x]" is no header.
//   - Writing: FF FE, then per section "[name]", one "key=value" per entry and an empty line;
//     every line ends in CR LF.
//
// Names of sections and keys compare with ASCII case folding only. Duplicate sections and
// duplicate keys are kept in file order; lookups see the first, Save writes all of them.
//
// Limits, enforced by cutting longer text (never by overflowing): key 127 code units, value and
// logical line 2047, section name 127, path 259 (a longer path is refused). A U+0000 in a line
// ends the line's text there, as it would in the zero-terminated buffers these files were
// designed around.
//
// Pointers and references handed out (FindSection, GetEntry, GetString, EntryAt, ...) point into
// the reader: they stay valid until the reader is cleared, reloaded or destroyed, or the item
// they point to is removed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace app {

constexpr size_t kIniMaxKey = 127;
constexpr size_t kIniMaxValue = 2047;
constexpr size_t kIniMaxLine = 2047;
constexpr size_t kIniMaxSectionName = 127;
constexpr size_t kIniMaxPath = 259;

class IniEntry {
 public:
  IniEntry(std::u16string_view key, std::u16string_view value, int line = 0);

  const std::u16string& Key() const { return key_; }
  const std::u16string& Value() const { return value_; }
  // The line (from 1) of the file it was read from; 0 for an entry added in memory.
  int Line() const { return line_; }
  // Copies the text over the old value (cut to 2047 code units, or at a U+0000).
  void SetValue(std::u16string_view value);

 private:
  std::u16string key_;
  std::u16string value_;
  int line_;
};

class IniSection {
 public:
  explicit IniSection(std::u16string_view name, int line = 0);

  const std::u16string& Name() const { return name_; }
  // The line (from 1) of its header in the file it was read from; 0 for a section added in memory.
  int Line() const { return line_; }
  size_t EntryCount() const { return entries_.size(); }
  // Null when position is not below EntryCount().
  IniEntry* EntryAt(size_t position);
  const IniEntry* EntryAt(size_t position) const;
  // The first entry whose key matches (ASCII case ignored); null if none, or for a null key.
  IniEntry* FindEntry(std::u16string_view key);
  IniEntry* FindEntry(const char16_t* key);
  const IniEntry* FindEntry(std::u16string_view key) const;
  // Deletes the entry and closes the gap; a position not below the count does nothing.
  void RemoveEntry(size_t position);
  // Removes the first entry whose key matches; nothing if none does.
  void RemoveKey(std::u16string_view key);
  void RemoveKey(const char16_t* key);

  // Appends an entry (key trimmed of blanks and cut to 127, value cut to 2047).
  IniEntry* AddEntry(std::u16string_view key, std::u16string_view value, int line = 0);

 private:
  std::u16string name_;
  int line_;
  std::vector<std::unique_ptr<IniEntry>> entries_;
};

class CIniReader {
 public:
  CIniReader() = default;
  ~CIniReader() = default;
  CIniReader(const CIniReader&) = delete;
  CIniReader& operator=(const CIniReader&) = delete;

  // Clears the reader, remembers the path for Save and parses the whole file. False when the
  // path is null, empty or longer than 259 code units, the file cannot be opened, is empty, is
  // too large to be a key-value file (above 64 MiB) or cannot be read; the reader is then empty.
  bool LoadTzFile(const char16_t* path);
  bool LoadTzFile(std::u16string_view path);

  // Clears the reader and parses size bytes as UTF-16LE text, recording the line (physical,
  // counted by LF from 1) of every section and entry. Always true.
  bool ParseBuffer(const void* buffer, size_t size);

  // Deletes every section and entry; keeps the remembered path and file size.
  void Clear();

  // SaveAs with the path of the last LoadTzFile.
  bool Save();
  // Writes every section and entry to path, replacing the file (its attributes are set to
  // normal first, so a read-only or hidden file is replaced too). False for a null, empty or
  // too long path, a file that cannot be created, or a failed write.
  bool SaveAs(const char16_t* path);
  bool SaveAs(std::u16string_view path);
  // The bytes SaveAs writes.
  std::vector<uint8_t> Serialize() const;

  // The first section whose name matches, or null (also for a null name).
  IniSection* FindSection(std::u16string_view name);
  IniSection* FindSection(const char16_t* name);
  const IniSection* FindSection(std::u16string_view name) const;

  // The first matching entry of the first matching section; null if either is absent or either
  // argument is null.
  IniEntry* GetEntry(std::u16string_view section, std::u16string_view key);
  IniEntry* GetEntry(const char16_t* section, const char16_t* key);
  const IniEntry* GetEntry(std::u16string_view section, std::u16string_view key) const;

  // The entry's value, or an empty text when absent.
  const std::u16string& GetString(std::u16string_view section, std::u16string_view key) const;
  const std::u16string& GetString(const char16_t* section, const char16_t* key) const;

  // The value read as a signed decimal number (leading white space, optional sign, digits up
  // to the first other character; no digits read as 0; clamped to the 32-bit range). The default
  // when the entry is absent or its value is empty.
  int32_t GetInt(std::u16string_view section, std::u16string_view key, int32_t default_value) const;
  int32_t GetInt(const char16_t* section, const char16_t* key, int32_t default_value) const;
  // The same as GetInt (also clamped to 32 bits), as a long.
  long GetLong(std::u16string_view section, std::u16string_view key, long default_value) const;
  long GetLong(const char16_t* section, const char16_t* key, long default_value) const;

  // Sets the value of the first matching entry; adds the entry at the end of the first matching
  // section when the key is absent; adds a new section holding this one entry at the end when
  // the section is absent. Section name and key are trimmed of blanks. Changes memory only;
  // the caller saves. False only for a null argument.
  bool SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  bool SetString(const char16_t* section, const char16_t* key, const char16_t* value);

  // Sections in file order, duplicates included.
  size_t SectionCount() const { return sections_.size(); }
  IniSection* SectionAt(size_t position);
  const IniSection* SectionAt(size_t position) const;

  // The path given to the last LoadTzFile (empty after construction).
  const std::u16string& Path() const { return path_; }
  // Byte size of the file last loaded by LoadTzFile; 0 after construction and after a load that
  // found no file. The integrity checks compare it with the recorded size.
  uint32_t FileSize() const { return file_size_; }

 private:
  void ParseLine(std::u16string_view line, int number, IniSection** current);

  std::vector<std::unique_ptr<IniSection>> sections_;
  std::u16string path_;
  uint32_t file_size_ = 0;
};

// Reads text as wcstol would (leading white space, sign, decimal digits), clamped to the
// 32-bit range; text without leading digits gives 0.
int32_t ParseIniInt(std::u16string_view text);

}  // namespace app
