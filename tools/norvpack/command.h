#pragma once
// norvpack subcommands. Each lives in its own file and registers itself with
// NORVPACK_COMMAND; main() finds it by name.
#include <string>
#include <vector>

namespace norvpack {

using Args = std::vector<std::u16string>;

struct Command {
  const char* name;
  const char* summary;  // one line for "norvpack --help"
  const char* usage;    // full text for "norvpack NAME --help"
  int (*run)(const Args& args);  // args after the command name; returns the exit code
};

// Exit codes shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // bad input or a failed operation
constexpr int kExitUsage = 2;    // wrong arguments

const std::vector<Command>& Commands();
bool RegisterCommand(const Command& command);

}  // namespace norvpack

#define NORVPACK_COMMAND(ident, ...) \
  static const bool ident##_registered = ::norvpack::RegisterCommand(::norvpack::Command{__VA_ARGS__})
