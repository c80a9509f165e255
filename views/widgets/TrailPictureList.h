#pragma once
// The touch demo's stored trail pictures: each clear of the trail picture
// keeps the picture it replaces here, up to six, the oldest going first. The
// current picture is the one the floating button shows and saves; after a
// picture is stored it is that newest one.
//
// Thread-safe: the render thread stores, the UI thread browses and saves.
// QImage copies share their pixels, so handing them out is cheap.

#include <QImage>
#include <deque>
#include <mutex>

class TrailPictureList {
 public:
  static constexpr int kMaxPictures = 6;

  void Append(QImage picture);
  int Count() const;
  bool IsEmpty() const { return Count() == 0; }
  // Index of the current picture, -1 when the list is empty.
  int CurrentIndex() const;
  // A null image when the list is empty.
  QImage Current() const;
  // Moves to the next picture (after the newest comes the oldest) and
  // returns it; a null image when the list is empty.
  QImage Next();

 private:
  mutable std::mutex mutex_;
  std::deque<QImage> pictures_;
  int current_ = -1;
};
