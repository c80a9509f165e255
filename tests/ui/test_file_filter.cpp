#include <gtest/gtest.h>

#include "ui/FileFilter.h"

namespace {

struct FilterCase {
  const char* winFilter;
  const char* qtFilter;
  QStringList extensions;
};

class FileFilterTable : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileFilterTable, ConvertsForQtAndListsExtensions) {
  const FilterCase& c = GetParam();
  const QString winFilter = QString::fromUtf8(c.winFilter);
  EXPECT_EQ(WinFilterToQt(winFilter), QString::fromUtf8(c.qtFilter));
  EXPECT_EQ(FilterExtensions(winFilter), c.extensions);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FileFilterTable,
    ::testing::Values(
        FilterCase{"Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||",
                   "Config Files(*.cfg) (*.cfg *.CFG);;All Files(*.*) (*)",
                   {QStringLiteral(".cfg")}},
        FilterCase{"Firmwave(*.bin)|*.bin|All Files (*.*)|*.*||",
                   "Firmwave(*.bin) (*.bin *.BIN);;All Files (*.*) (*)",
                   {QStringLiteral(".bin")}},
        FilterCase{"Firmwave(*.bin,*.hex)|*.bin;*.hex|All Files (*.*)|*.*||",
                   "Firmwave(*.bin,*.hex) (*.bin *.BIN *.hex *.HEX);;All Files (*.*) (*)",
                   {QStringLiteral(".bin"), QStringLiteral(".hex")}},
        FilterCase{"SC Files(*.sc)|*.sc|UI Files(*.ui)|*.ui|All Files(*.*)|*.*||",
                   "SC Files(*.sc) (*.sc *.SC);;UI Files(*.ui) (*.ui *.UI);;All Files(*.*) (*)",
                   {QStringLiteral(".sc"), QStringLiteral(".ui")}},
        // A name pattern in the pattern field still names its extension.
        FilterCase{"RO*.cfg(*.cfg)|RO*.cfg|All Files (*.*)|*.*||",
                   "RO*.cfg(*.cfg) (RO*.cfg RO*.CFG);;All Files (*.*) (*)",
                   {QStringLiteral(".cfg")}},
        // Missing terminator, stray spaces, a description without patterns.
        FilterCase{" Text (*.TXT) | *.TXT ; *.log |Broken",
                   "Text (*.TXT) (*.TXT *.log *.LOG)",
                   {QStringLiteral(".txt"), QStringLiteral(".log")}},
        FilterCase{"|*.dat||", "*.dat *.DAT (*.dat *.DAT)", {QStringLiteral(".dat")}},
        FilterCase{"Any|*.*;*.?x||", "Any (* *.?x *.?X)", {}}, FilterCase{"", "", {}}));

}  // namespace
