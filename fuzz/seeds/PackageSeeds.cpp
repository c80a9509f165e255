// fuzz_tp takes its input as a whole test package. The seeds are packages our
// encoder writes from the configuration fixtures, and the damage a package
// can arrive with: cut inside a record, a byte after the last record, two
// settings files that would both become test.ini.

#include <stdexcept>

#include "fuzz/seeds/Seeds.h"
#include "moduletest/package/PackageCodec.h"

namespace fuzzseeds {

namespace {

std::vector<uint8_t> Encode(const std::vector<PackageRecord>& records) {
  std::string bytes;
  std::string error;
  if (!EncodePackage(records, &bytes, &error)) throw std::runtime_error(error);
  return {bytes.begin(), bytes.end()};
}

}  // namespace

TargetSeeds PackageSeeds() {
  const PackageRecord ini{"test.ini", "[Test ID]\r\nMin id=5\r\nMax id=99\r\n"};
  const PackageRecord cfg{"RO9110V_demo.cfg", ReadSourceFile("tests/data/config/RO9110V_demo.cfg")};
  const PackageRecord ui{"RO7387Z_demo.ui", ReadSourceFile("tests/data/config/RO7387Z_demo.ui")};
  // A name beyond ASCII and an empty file.
  const PackageRecord notes{"固件说明.txt", ""};

  const std::vector<uint8_t> whole = Encode({ini, cfg, ui, notes});
  std::vector<uint8_t> cut = Encode({ini, cfg});
  cut.resize(cut.size() - 7);
  std::vector<uint8_t> trailing = Encode({ini});
  trailing.push_back(0);

  TargetSeeds t{"fuzz_tp", {}};
  t.seeds.push_back({"package", whole});
  t.seeds.push_back({"settings_only", Encode({ini})});
  t.seeds.push_back({"cut_inside_record", cut});
  t.seeds.push_back({"byte_after_last_record", trailing});
  t.seeds.push_back({"two_settings_files", Encode({ini, {"机台.INI", "[Test ID]\r\n"}})});
  t.seeds.push_back({"empty", {}});
  return t;
}

}  // namespace fuzzseeds
