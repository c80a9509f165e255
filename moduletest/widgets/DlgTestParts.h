#pragma once
// What the files of the module test page (DlgTest*.cpp) share, and nothing
// else includes: the text conversions between the core's UTF-8 and Qt, and
// the progress bars' table (built by the layout, looked up by the run).

#include <QString>
#include <string>

#include "moduletest/TestItem.h"
#include "ui/ControlIds.h"

// The objectName of a control id, checked against the id list like
// CONTROL_NAME, for the page's tables.
#define ID_NAME(id) (static_cast<void>(ControlId{id}), #id)

namespace dlgtest {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }

struct BarUi {
  TestBar bar;
  const char* name;
  const char* label;
  int step;
};
inline constexpr BarUi kBarUi[6] = {
    {kBarUpdate, ID_NAME(IDC_TEST_UPDATE_PROGRESS), "升级", 2},
    {kBarMaxMin, ID_NAME(IDC_TEST_MAXMIN_PROGRESS), "最大值,最小值", 2},
    {kBarJitter, ID_NAME(IDC_TEST_JITTER_PROGRESS), "抖动", 2},
    {kBarAdjacent, ID_NAME(IDC_TEST_ADJACENT_PROGRESS), "相邻偏差", 2},
    {kBarOffset, ID_NAME(IDC_TEST_OFFSET_PROGRESS), "相对平均值", 2},
    {kBarOpenShort, ID_NAME(IDC_TEST_OPEN_SHORT_PROGRESS), "短路检测", 3},
};

}  // namespace dlgtest
