#pragma once
// Saves the touch demo's current trail picture where the user chooses, in
// the format its file name's extension names. The file is replaced
// atomically, so a failed save leaves an existing file as it was.

#include <QImage>
#include <QString>

class DialogFolder;
class IPrompts;
class TrailPictureList;

inline constexpr char kSaveImageFailedText[] = "保存图像文件失败！";

// Encodes picture in the format of path's extension and writes it. false when
// the format cannot be written or the write fails.
bool WriteImageFile(const QImage& picture, const QString& path);

// Nothing when the list is empty or the user cancels. The dialog proposes
// "iPaint1.bmp" where folder says (the folder last used, else the runtime
// root) and tells it the folder chosen. A name without an extension gets
// ".bmp"; a failure shows kSaveImageFailedText. true when a file was written.
bool SaveImageToFile(const TrailPictureList& pictures, IPrompts& prompts, DialogFolder& folder);
