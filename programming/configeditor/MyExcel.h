#pragma once
// The editor's spreadsheet handle. Nothing opens a workbook through it, so it
// only keeps the name of the workbook it would close; with no name its
// destruction does nothing.

#include <string>

class CMyExcel {
 public:
  CMyExcel() = default;
  CMyExcel(const CMyExcel&) = delete;
  CMyExcel& operator=(const CMyExcel&) = delete;
  ~CMyExcel() { m_strFileName.clear(); }

  const std::string& FileName() const { return m_strFileName; }

 private:
  std::string m_strFileName;
};
