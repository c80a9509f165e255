#include "app/SingleInstanceGuard.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QString LockPathIn(const QString& dir) {
  return QDir(dir.isEmpty() ? SingleInstanceGuard::DefaultLockDir() : dir)
      .filePath(QString::fromLatin1(SingleInstanceGuard::kLockFileName));
}

}  // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString& lockDir)
    : m_path(LockPathIn(lockDir)), m_lock(m_path) {
  // Age never makes a lock stale; only a dead owner does (QLockFile checks
  // the recorded process id on this host).
  m_lock.setStaleLockTime(0);
}

bool SingleInstanceGuard::TryAcquire() {
  if (m_lock.isLocked()) return true;
  return m_lock.tryLock(0);
}

QString SingleInstanceGuard::DefaultLockDir() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir;
}
