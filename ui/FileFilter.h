#pragma once
// File-type filters written the Windows way, "Config Files(*.cfg)|*.cfg|All
// Files(*.*)|*.*||": pairs of description and ';'-separated patterns. The
// settings and the callers keep that form; Qt's file dialog needs its own.

#include <QString>
#include <QStringList>

// "Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||" ->
// "Config Files(*.cfg) (*.cfg *.CFG);;All Files(*.*) (*)".
// "*.*" becomes "*" (on Linux "*.*" would skip names without a dot) and each
// extension pattern is also given in upper case, because Linux matching is
// case-sensitive. A description without patterns is dropped.
QString WinFilterToQt(const QString& winFilter);

// The extensions the filter names explicitly, lower case with the dot
// (".cfg", also from "RO*.cfg"). Catch-all patterns ("*.*", "*") and
// wildcard extensions name none.
QStringList FilterExtensions(const QString& winFilter);
