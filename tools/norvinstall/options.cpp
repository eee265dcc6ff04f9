#include "options.h"

#include <cstring>

namespace norvinstall {

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

const char* UsageText() {
  return
      "usage: norvinstall install SETUP.exe|PACKAGE [--products A,B] [--composes X,Y] [--folder DIR] [--quiet] [--timing]\n"
      "       norvinstall uninstall (--product NAME | --composes X,Y) [--folder DIR] [--quiet]\n"
      "       norvinstall plan SETUP.exe|PACKAGE [--products A,B] [--composes X,Y] [--folder DIR]\n"
      "       norvinstall --version\n"
      "\n"
      "Installs, updates and removes the Norv suite with the installer's own engine, without the\n"
      "wizard. Run it as an administrator.\n"
      "\n"
      "install    what the wizard's copy page does: takes the package out of the setup file (or\n"
      "           uses the package file given), installs or updates the products of the package\n"
      "           (all, or those of --products) restricted to --composes (a compose packet\n"
      "           installs --composes, by default the composes its header lists), then copies the\n"
      "           package's Setup.ini to Install\\Setup.ini and writes its registry entries.\n"
      "uninstall  removes an installed product with the composes no other product needs\n"
      "           (--product), or the named composes (--composes).\n"
      "plan       a dry run of install: prints each compose with its state (new, changed,\n"
      "           removed, unchanged) and each file to be written or deleted (New, Changed,\n"
      "           Removed) with its target path. Changes nothing on disk or in the registry.\n"
      "\n"
      "--folder DIR  the install folder. Default: the installed suite's folder (\"InstallPath\"\n"
      "              under HKLM\\Software\\NorvClient, 32-bit view), else the default folder\n"
      "              \"<Program Files (x86)>\\KestrelClient\\\". install stores it as \"InstallPath\".\n"
      "--quiet       no progress display (errors are still printed).\n"
      "--timing      at the end, the seconds each phase of the run took (on standard error).\n"
      "\n"
      "Progress: one line redrawn in place on a console; on a pipe or file a line every 10 %.\n"
      "Errors: one line on standard error; details in %WINDIR%\\NorvLog\\norvinstall.exe.log.\n"
      "Ctrl+C stops the run at the engine's next check (exit code 1); what was placed stays.\n"
      "\n"
      "exit codes:\n"
      "  0      success\n"
      "  3010   success, but files in use are replaced when the system restarts: restart it\n"
      "  1639   the command line is wrong (nothing was done)\n"
      "  other  the engine's code: 1 stopped, 16 not a package (or a damaged setup file),\n"
      "         41 no such file, 101/106/110 a file could not be placed, 301-305 a damaged\n"
      "         description, ... (see the README)\n";
}

namespace {

struct OptionSpec {
  const char* name;
  std::u16string Options::*value;
  bool Options::*present;
};

const OptionSpec kValueOptions[] = {
    {"--products", &Options::products, &Options::has_products},
    {"--composes", &Options::composes, &Options::has_composes},
    {"--folder", &Options::folder, &Options::has_folder},
    {"--product", &Options::product, &Options::has_product},
};

}  // namespace

std::string ParseOptions(const std::vector<std::u16string>& args, Options* options) {
  *options = Options();
  for (const auto& a : args) {
    if (a == u"--help" || a == u"-h" || a == u"/?") {
      options->command = Command::kHelp;
      return "";
    }
    if (a == u"--version") {
      options->command = Command::kVersion;
      return "";
    }
  }
  if (args.empty()) return "no command given";
  const std::string command = Narrow(args[0]);
  if (command == "help") {
    options->command = Command::kHelp;
    return "";
  }
  if (command == "install") {
    options->command = Command::kInstall;
  } else if (command == "uninstall") {
    options->command = Command::kUninstall;
  } else if (command == "plan") {
    options->command = Command::kPlan;
  } else {
    return "unknown command '" + command + "'";
  }

  std::vector<std::u16string> positionals;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (arg.size() < 2 || arg[0] != u'-' || arg[1] != u'-') {
      positionals.push_back(arg);
      continue;
    }
    if (arg == u"--quiet" || arg == u"--timing") {
      (arg == u"--quiet" ? options->quiet : options->timing) = true;
      continue;
    }
    std::u16string name = arg;
    std::u16string value;
    bool has_value = false;
    const size_t equals = arg.find(u'=');
    if (equals != std::u16string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      has_value = true;
    }
    const OptionSpec* spec = nullptr;
    for (const auto& s : kValueOptions) {
      if (Narrow(name) == s.name) spec = &s;
    }
    const bool allowed =
        spec && (options->command == Command::kUninstall ? std::strcmp(spec->name, "--products") != 0
                                                         : std::strcmp(spec->name, "--product") != 0);
    if (!allowed) return "unknown option '" + Narrow(name) + "' for " + command;
    if (!has_value) {
      if (i + 1 >= args.size()) return std::string(spec->name) + " needs a value";
      value = args[++i];
    }
    if (options->*(spec->present)) return std::string(spec->name) + " is given twice";
    if (value.empty()) return std::string(spec->name) + " needs a value that is not empty";
    options->*(spec->value) = value;
    options->*(spec->present) = true;
  }

  if (options->command == Command::kUninstall) {
    if (!positionals.empty()) return "uninstall takes no file ('" + Narrow(positionals[0]) + "')";
    if (options->has_product == options->has_composes) return "uninstall needs either --product NAME or --composes X,Y";
    return "";
  }
  if (positionals.empty()) return command + " needs a setup file or package";
  if (positionals.size() > 1) return "one setup file or package only ('" + Narrow(positionals[1]) + "' is one too many)";
  options->source = positionals[0];
  return "";
}

}  // namespace norvinstall
