#pragma once

namespace base {
// The version of every program of the project, e.g. "1.0.0".
const char* ProductVersion();

// The answer to "--version": "<program> <version>" and a line end on standard output.
// Returns 0, the exit code for it.
int PrintProgramVersion(const char* program);
}  // namespace base
