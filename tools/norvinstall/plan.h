#pragma once
// The dry run of "norvinstall plan": the engine's steps of an install run up to the final file
// list, run against a private copy of the installed state, so that nothing of the installation
// (its folder, install.ini, the registry) changes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "run_setup.h"

namespace norvinstall {

struct PlanFile {
  const char* state;            // "New", "Changed" or "Removed"
  std::u16string target;        // the installed path (FileTargetPath)
};

struct PlanCompose {
  std::u16string name;
  const char* state;            // "new", "changed", "removed" or "unchanged"
  std::vector<PlanFile> files;  // in the order the run would handle them
};

struct PlanResult {
  bool compose_packet = false;
  std::u16string products;      // the products the run would install (not for a packet)
  std::vector<PlanCompose> composes;
};

// Copies install_folder's "Install\" descriptions and state files into shadow_folder, opens the
// package on an install data source whose working folders are the shadow's, and drives the
// engine's steps (ObtainProducts, LoadProducts, MarkInstalledComposes, FilterComposes,
// DropGroupComposes, the walp rule, ObtainComposes, CollectFiles, DropSharedDeletes,
// DropForeignFiles, or for a compose packet its own selection) with target paths resolved in
// install_folder. Returns 0, or the engine's code with the failing step in *error. The caller
// removes the shadow folder.
uint32_t MakePlan(const PackageSource& source, const std::u16string& install_folder, const std::u16string& products,
                  const std::u16string& composes, const std::u16string& shadow_folder, PlanResult* plan,
                  std::string* error);

// Prints the plan: one line per compose ("compose NAME: STATE"), one per file to be written or
// deleted ("  New      PATH"), and a summary line.
void PrintPlan(const PlanResult& plan, const std::u16string& install_folder, std::FILE* out);

}  // namespace norvinstall
