// norvpack: writes and reads every format the installer reads, and builds setup files.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/version.h"
#include "cli.h"

namespace norvpack {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

void PrintOverview() {
  std::printf(
      "usage: norvpack COMMAND [ARGS...]\n"
      "\n"
      "Writes and reads the formats of the Norv setup program, and builds setup files.\n"
      "\n"
      "commands:\n");
  std::vector<Command> sorted = Registry();
  std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const auto& c : sorted) std::printf("  %-16s %s\n", c.name, c.summary);
  std::printf("\n'norvpack COMMAND --help' describes one command. 'norvpack --version' prints the version.\n");
}
}  // namespace

const std::vector<Command>& Commands() { return Registry(); }

bool RegisterCommand(const Command& command) {
  Registry().push_back(command);
  return true;
}

int Main(const Args& args) {
  if (args.empty() || args[0] == u"--help" || args[0] == u"-h" || args[0] == u"help") {
    PrintOverview();
    return args.empty() ? kExitUsage : kExitOk;
  }
  if (args[0] == u"--version") return base::PrintProgramVersion("norvpack");
  const std::string name = Narrow(args[0]);
  for (const auto& c : Registry()) {
    if (name == c.name) {
      const Args rest(args.begin() + 1, args.end());
      for (const auto& a : rest) {
        if (a == u"--help" || a == u"-h") {
          PrintUsage(c);
          return kExitOk;
        }
      }
      return c.run(rest);
    }
  }
  std::fprintf(stderr, "norvpack: unknown command '%s'; see 'norvpack --help'\n", name.c_str());
  return kExitUsage;
}

}  // namespace norvpack

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  static_assert(sizeof(wchar_t) == 2, "wchar_t must be UTF-16 on Windows");
  norvpack::Args args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return norvpack::Main(args);
}
#else
int main(int argc, char** argv) {
  norvpack::Args args;
  for (int i = 1; i < argc; ++i) args.push_back(norvpack::Widen(argv[i]));
  return norvpack::Main(args);
}
#endif
