#pragma once
// Which folder is the runtime root: the folder that holds System/, test/ and
// doc/ and that every "..\System\X" path is resolved against. Nothing here
// changes the working folder.
//
// In order of preference:
//   1. KESTRANA_ROOT, when set (tests, several side-by-side setups);
//   2. the parent of the program's folder, when it holds System/ (a staged or
//      unpacked tree: bin/kestrana next to System/);
//   3. an installed program: the shipped files under <prefix>/share/kestrana
//      are read-only, so the root is a per-user folder, seeded from them with
//      every file the user does not have yet; the documents in doc/, which
//      the program never writes, follow the shipped copies after an upgrade.

#include <filesystem>
#include <string>

struct RuntimeRootInputs {
  std::string rootOverride;            // KESTRANA_ROOT; empty when unset
  std::filesystem::path programDir;    // folder of the executable
  std::filesystem::path userDataHome;  // $XDG_DATA_HOME, else ~/.local/share
};

struct RuntimeRoot {
  enum class Kind { Override, ProgramParent, PerUser };
  Kind kind = Kind::ProgramParent;
  std::filesystem::path root;
  // Read-only shipped files the per-user root was seeded from (PerUser only).
  std::filesystem::path defaults;
};

// The inputs of the running process.
RuntimeRootInputs RuntimeRootInputsFromProcess();

// Where the shipped runtime files of an installed program live.
std::filesystem::path InstalledDefaultsDir(const std::filesystem::path& programDir);

// Picks the root; does not touch the disk beyond looking.
RuntimeRoot ChooseRuntimeRoot(const RuntimeRootInputs& inputs);

// Copies every regular file under defaults into root, keeping the relative
// layout. A file that already exists there is the user's and stays, except
// the shipped documents under doc/ (the program never writes them): a user's
// copy that differs from the shipped one is replaced by it. false with a
// message when a folder or file could not be made; the files copied so far
// stay.
bool SeedRuntimeRoot(const std::filesystem::path& defaults, const std::filesystem::path& root,
                     std::string* error = nullptr);

// Chooses the root, seeds a per-user one, and makes it the base directory of
// AppPaths. false (with a message) when the per-user root could not be
// prepared; the base directory is set anyway so that later steps report
// their own failures against the intended place.
bool PrepareRuntimeRoot(const RuntimeRootInputs& inputs, RuntimeRoot* chosen,
                        std::string* error = nullptr);
