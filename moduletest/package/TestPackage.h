#pragma once
// Test packages on disk: packing a folder, importing a package into the test
// folder, and telling whether the test folder still matches its package.
//
// An import is all or none. The package is read and checked whole first;
// then a staging folder is filled with the current test files and the
// package's files over them, and swapped in by two renames
// (test_file -> test_file.bak, staging -> test_file). A power cut between the
// renames is repaired at the next start by RecoverPackageSwap.

#include <filesystem>
#include <string>

#include "moduletest/TestPaths.h"

// The top-level regular files of folder, sorted by name (letter case
// folded), as one package written atomically over pkg. Temporary files of
// writes in progress are left out.
bool PackFolder(const std::filesystem::path& pkg, const std::filesystem::path& folder,
                std::string* error);

// Imports pkg into paths.testFileDir as above and keeps a copy of it in
// paths.packageDir (unless it already is that file). The copy is written
// beside its place first and renamed into it only after the swap; when that
// rename fails the swap is undone. An empty package changes no file but is
// copied. false with the reason in *error leaves every file as it was.
bool UnpackTestPackage(const std::filesystem::path& pkg, const TestPaths& paths,
                       std::string* error);

// Whether the folder's files differ from what pkg holds (as it would be
// unpacked), independent of record order. A package that cannot be read
// counts as unchanged (nothing to save back into); a damaged one as changed.
bool IsFolderChangedFromPackage(const std::filesystem::path& pkg,
                                const std::filesystem::path& folder);

// Deletes the folder's entries; the first one that cannot be deleted (a
// subfolder, say) ends the clean-up with false.
bool DeleteFolderFiles(const std::filesystem::path& folder);

// At start: finishes or undoes a swap a power cut interrupted, removes a
// staging folder left behind and the temporary files of interrupted atomic
// writes anywhere below the test folder. Returns a line for the log when it
// repaired something, else "".
std::string RecoverPackageSwap(const TestPaths& paths);
