#include "ui/FileFilter.h"

namespace {

struct FilterEntry {
  QString description;
  QStringList patterns;
};

QList<FilterEntry> ParseFilter(const QString& winFilter) {
  QStringList parts = winFilter.split(u'|');
  // The list ends with "||": trailing empty fields are terminators, not entries.
  while (!parts.isEmpty() && parts.last().trimmed().isEmpty()) parts.removeLast();
  QList<FilterEntry> entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    FilterEntry entry{parts[i].trimmed(), {}};
    for (const QString& pattern : parts[i + 1].split(u';')) {
      const QString trimmed = pattern.trimmed();
      if (!trimmed.isEmpty()) entry.patterns << trimmed;
    }
    if (!entry.patterns.isEmpty()) entries << entry;
  }
  return entries;
}

bool IsCatchAll(const QString& pattern) { return pattern == u"*.*" || pattern == u"*"; }

}  // namespace

QString WinFilterToQt(const QString& winFilter) {
  QStringList qtEntries;
  for (const FilterEntry& entry : ParseFilter(winFilter)) {
    QStringList patterns;
    for (const QString& pattern : entry.patterns) {
      if (IsCatchAll(pattern)) {
        patterns << QStringLiteral("*");
        continue;
      }
      patterns << pattern;
      const QString upper = pattern.toUpper();
      if (upper != pattern) patterns << upper;
    }
    patterns.removeDuplicates();
    QString description = entry.description;
    if (description.isEmpty()) description = patterns.join(u' ');
    qtEntries << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return qtEntries.join(QStringLiteral(";;"));
}

QStringList FilterExtensions(const QString& winFilter) {
  QStringList extensions;
  for (const FilterEntry& entry : ParseFilter(winFilter)) {
    for (const QString& pattern : entry.patterns) {
      const qsizetype dot = pattern.lastIndexOf(u'.');
      if (dot < 0) continue;
      const QString extension = pattern.mid(dot).toLower();
      if (extension.size() < 2 || extension.contains(u'*') || extension.contains(u'?')) continue;
      extensions << extension;
    }
  }
  extensions.removeDuplicates();
  return extensions;
}
