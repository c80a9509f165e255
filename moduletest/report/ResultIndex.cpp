#include "moduletest/report/ResultIndex.h"

#include <limits>
#include <system_error>

#include "platform/files/Glob.h"

int32_t NextResultIndex(const std::filesystem::path& resultDir,
                        std::vector<std::string>* warnings) {
  // The index itself must still fit once one is added to it.
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max() - 2;
  int32_t index = 0;
  std::error_code ec;
  std::filesystem::directory_iterator it(resultDir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!platform::WildcardMatch("Result_*.csv", name)) continue;
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    const std::string tail = name.substr(name.rfind('_') + 1);
    int64_t n = 0;
    bool tooLarge = false;
    for (char c : tail) {
      if (c < '0' || c > '9') break;
      n = n * 10 + (c - '0');
      if (n > kLargest) {
        tooLarge = true;
        break;
      }
    }
    if (tooLarge) {
      if (warnings != nullptr) warnings->push_back("报告编号过大，已忽略：" + name);
      continue;
    }
    if (n >= index) index = static_cast<int32_t>(n + 1);
  }
  return index;
}
