#include "cli.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#ifdef _WIN32
#include <io.h>
#define NORV_ISATTY _isatty
#else
#include <unistd.h>
#define NORV_ISATTY isatty
#endif

#include "base/path.h"
#include "base/strings.h"
#include "package/deed_box.h"
#include "platform/fs.h"

namespace norvpack {

ArgParser::ArgParser(const Args& args, std::vector<std::string> value_options, std::vector<std::string> flag_options) {
  auto is_in = [](const std::vector<std::string>& list, const std::string& name) {
    for (const auto& n : list) {
      if (n == name) return true;
    }
    return false;
  };
  bool only_positionals = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = Narrow(args[i]);
    if (only_positionals || arg.size() < 2 || arg[0] != '-') {
      positionals_.push_back(args[i]);
      continue;
    }
    if (arg == "--") {
      only_positionals = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      help_ = true;
      continue;
    }
    std::string name = arg;
    std::u16string value;
    bool has_inline_value = false;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = Widen(arg.substr(eq + 1));
      has_inline_value = true;
    }
    if (is_in(value_options, name)) {
      if (!has_inline_value) {
        if (i + 1 >= args.size()) {
          error_ = "option " + name + " needs a value";
          return;
        }
        value = args[++i];
      }
      options_.emplace_back(name, value);
    } else if (is_in(flag_options, name) && !has_inline_value) {
      options_.emplace_back(name, u"");
    } else {
      error_ = "unknown option " + name;
      return;
    }
  }
}

bool ArgParser::Has(const std::string& option) const {
  for (const auto& o : options_) {
    if (o.first == option) return true;
  }
  return false;
}

std::u16string ArgParser::Value(const std::string& option, const std::u16string& fallback) const {
  std::u16string value = fallback;
  for (const auto& o : options_) {
    if (o.first == option) value = o.second;
  }
  return value;
}

std::vector<std::u16string> ArgParser::Values(const std::string& option) const {
  std::vector<std::u16string> values;
  for (const auto& o : options_) {
    if (o.first == option) values.push_back(o.second);
  }
  return values;
}

bool ParseUnsigned(const std::u16string& text, uint64_t max, uint64_t* value) {
  if (text.empty()) return false;
  uint64_t v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + static_cast<uint64_t>(c - u'0');
    if (v > max) return false;
  }
  *value = v;
  return true;
}

std::string Narrow(const std::u16string& text) { return base::Utf16ToUtf8(text); }
std::u16string Widen(const std::string& text) { return base::Utf8ToUtf16(text); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "norvpack: %s\n", message.c_str());
  return kExitFailure;
}

int UsageError(const char* command, const std::string& message) {
  std::fprintf(stderr, "norvpack %s: %s\nsee 'norvpack %s --help'\n", command, message.c_str(), command);
  return kExitUsage;
}

void PrintUsage(const Command& command) { std::printf("%s", command.usage); }

bool WriteFileAtomically(const std::u16string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const std::u16string temp = path + u".norvpack-tmp";
  {
    platform::File out =
        platform::File::Open(temp, platform::FileAccess::kReadWrite, platform::FileDisposition::kCreateAlways);
    if (!out.IsOpen()) {
      *error = "cannot create " + Narrow(temp);
      return false;
    }
    if (!out.Write(bytes.data(), bytes.size())) {
      out.Close();
      platform::DeleteFileAt(temp);
      *error = "cannot write " + Narrow(temp);
      return false;
    }
  }
  if (!platform::MoveFileReplacing(temp, path)) {
    platform::DeleteFileAt(temp);
    *error = "cannot rename " + Narrow(temp) + " to " + Narrow(path);
    return false;
  }
  return true;
}

bool ReadFileBytes(const std::u16string& path, std::vector<uint8_t>* bytes, std::string* error) {
  platform::File in = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  uint64_t size = 0;
  if (!in.IsOpen() || !in.Size(&size)) {
    *error = "cannot open " + Narrow(path);
    return false;
  }
  if (size > (uint64_t{1} << 32)) {
    *error = Narrow(path) + " is larger than 4 GiB";
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  if (!in.ReadExact(bytes->data(), bytes->size())) {
    *error = "cannot read " + Narrow(path);
    return false;
  }
  return true;
}

Progress::Progress(std::string label, uint64_t total) : label_(std::move(label)), total_(total), tty_(NORV_ISATTY(2) != 0) {}

void Progress::Advance(uint64_t amount) {
  done_ += amount;
  Draw(false);
}

void Progress::Done() {
  done_ = total_;
  Draw(true);
}

void Progress::Draw(bool final) {
  const int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
  const int step = tty_ ? percent : percent / 10 * 10;
  if (step == last_shown_ && !final) return;
  if (final && last_shown_ == 100) return;
  last_shown_ = step;
  if (tty_) {
    std::fprintf(stderr, "\r%s %3d%%%s", label_.c_str(), percent, final ? "\n" : "");
  } else {
    std::fprintf(stderr, "%s %d%%\n", label_.c_str(), step);
  }
}

std::string UtcText(uint32_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  const std::tm* tm = std::gmtime(&t);
  char text[32] = "?";
  if (tm) std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", tm);
  return text;
}

std::string ContainerKindText(uint32_t kind) {
  switch (kind) {
    case package::kDeedBoxKindProduct:
      return "0 (product package)";
    case package::kDeedBoxKindComposePacket:
      return "1 (compose packet)";
    case package::kDeedBoxKindSkin:
      return "3 (skin part)";
  }
  return std::to_string(kind) + " (unknown)";
}

}  // namespace norvpack
