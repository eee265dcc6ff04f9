#pragma once
// The command line of norvinstall: three commands and their options, parsed without touching
// anything, so that every usage error is found before the first change to the machine.
#include <string>
#include <vector>

namespace norvinstall {

// Exit codes of the program besides the engine's own codes (0 success, otherwise the code the
// engine or its data source gave, e.g. 1 stopped, 16 not a package, 41 no such file).
constexpr int kExitOk = 0;
// The run succeeded, but files in use are replaced at the next start of the system
// (ERROR_SUCCESS_REBOOT_REQUIRED, the code deployment tools read as "restart needed").
constexpr int kExitRestartNeeded = 3010;
// A command line that cannot be carried out (ERROR_INVALID_COMMAND_LINE, as msiexec gives it).
constexpr int kExitUsage = 1639;

enum class Command { kNone, kHelp, kVersion, kInstall, kUninstall, kPlan };

struct Options {
  Command command = Command::kNone;
  std::u16string source;  // install, plan: the setup file or package
  // Each list is used only when has_* is set; an empty list is refused by the parser.
  std::u16string products;
  bool has_products = false;
  std::u16string composes;
  bool has_composes = false;
  std::u16string folder;
  bool has_folder = false;
  std::u16string product;  // uninstall --product
  bool has_product = false;
  bool quiet = false;   // no progress display
  bool timing = false;  // the seconds of each phase of the run on standard error at the end
};

// Fills *options from the arguments after the program name. Returns an empty text on success,
// else a one-line reason (unknown command or option, a missing or repeated value, a missing or
// extra SETUP/PACKAGE argument, neither or both of --product and --composes for uninstall).
// "--help" anywhere (or "help" as the command) gives Command::kHelp, "--version" anywhere
// Command::kVersion; the first of the two wins.
std::string ParseOptions(const std::vector<std::u16string>& args, Options* options);

// The text of --help.
const char* UsageText();

std::string Narrow(const std::u16string& text);

}  // namespace norvinstall
