#include "views/widgets/TrailPictureList.h"

void TrailPictureList::Append(QImage picture) {
  std::lock_guard lock(mutex_);
  if (static_cast<int>(pictures_.size()) >= kMaxPictures) pictures_.pop_front();
  pictures_.push_back(std::move(picture));
  current_ = static_cast<int>(pictures_.size()) - 1;
}

int TrailPictureList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(pictures_.size());
}

int TrailPictureList::CurrentIndex() const {
  std::lock_guard lock(mutex_);
  return current_;
}

QImage TrailPictureList::Current() const {
  std::lock_guard lock(mutex_);
  return current_ < 0 ? QImage() : pictures_[static_cast<size_t>(current_)];
}

QImage TrailPictureList::Next() {
  std::lock_guard lock(mutex_);
  if (pictures_.empty()) return QImage();
  current_ = (current_ + 1) % static_cast<int>(pictures_.size());
  return pictures_[static_cast<size_t>(current_)];
}
