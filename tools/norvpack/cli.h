#pragma once
// Small shared pieces of the command line: option parsing, messages, atomic output, progress.
#include <cstdint>
#include <string>
#include <vector>

#include "command.h"

namespace norvpack {

// Options of the form "--name value", "--name=value", "-o value" and flags, plus positionals.
class ArgParser {
 public:
  // value_options: options that take a value (e.g. {"-o", "--output"}); flag_options: those that do not.
  ArgParser(const Args& args, std::vector<std::string> value_options, std::vector<std::string> flag_options);
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  bool WantsHelp() const { return help_; }
  bool Has(const std::string& option) const;
  // The value of the last occurrence, or fallback.
  std::u16string Value(const std::string& option, const std::u16string& fallback = u"") const;
  std::vector<std::u16string> Values(const std::string& option) const;
  const std::vector<std::u16string>& Positionals() const { return positionals_; }
  // Every option with its value, in command-line order.
  const std::vector<std::pair<std::string, std::u16string>>& Options() const { return options_; }

 private:
  std::vector<std::pair<std::string, std::u16string>> options_;
  std::vector<std::u16string> positionals_;
  std::string error_;
  bool help_ = false;
};

// Decimal digits only, at most max (which must be below 2^64 / 10). False for anything else.
bool ParseUnsigned(const std::u16string& text, uint64_t max, uint64_t* value);

std::string Narrow(const std::u16string& text);
std::u16string Widen(const std::string& text);

// "norvpack: <message>" on standard error; returns kExitFailure for convenience.
int Fail(const std::string& message);
// Usage error: the message, then "see 'norvpack NAME --help'"; returns kExitUsage.
int UsageError(const char* command, const std::string& message);
void PrintUsage(const Command& command);

// Writes a whole output file under a temporary name beside it and renames it into place only
// when complete, so that a failed run never leaves a truncated output.
bool WriteFileAtomically(const std::u16string& path, const std::vector<uint8_t>& bytes, std::string* error);
bool ReadFileBytes(const std::u16string& path, std::vector<uint8_t>* bytes, std::string* error);

// "YYYY-MM-DD hh:mm:ss" in UTC for a time in seconds since 1970, "?" when it has no calendar date.
std::string UtcText(uint32_t seconds);
// A package container's kind number with its name, e.g. "0 (product package)"; "N (unknown)" otherwise.
std::string ContainerKindText(uint32_t kind);

// A progress line on standard error for long work: redrawn in place on a terminal, printed at
// most every 10 % otherwise.
class Progress {
 public:
  Progress(std::string label, uint64_t total);
  void Advance(uint64_t amount);
  void Done();

 private:
  void Draw(bool final);
  std::string label_;
  uint64_t total_;
  uint64_t done_ = 0;
  int last_shown_ = -1;
  bool tty_;
};

}  // namespace norvpack
