#pragma once
// Keeps a second copy of the program from starting for the same user: a lock
// file "Kestrana.lock" in the user's runtime folder, held for the whole run.
// A lock left behind by a process that has died (a crash) is taken over;
// one held by a live process is never broken, however old it is.

#include <QLockFile>
#include <QString>

class SingleInstanceGuard {
 public:
  static constexpr const char* kLockFileName = "Kestrana.lock";

  // lockDir empty: the user's runtime folder (XDG_RUNTIME_DIR), else the
  // temporary folder.
  explicit SingleInstanceGuard(const QString& lockDir = QString());
  // Releases the lock when held.
  ~SingleInstanceGuard() = default;
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  // true when this process now holds the lock (also when it already did);
  // false when another live process holds it or the folder is unusable.
  bool TryAcquire();
  bool IsHeld() const { return m_lock.isLocked(); }
  // Why TryAcquire failed.
  QLockFile::LockError Error() const { return m_lock.error(); }

  QString LockFilePath() const { return m_path; }
  static QString DefaultLockDir();

 private:
  QString m_path;
  QLockFile m_lock;
};
