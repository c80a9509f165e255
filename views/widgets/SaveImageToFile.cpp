#include "views/widgets/SaveImageToFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include "platform/files/AtomicFile.h"
#include "ui/DialogFolder.h"
#include "ui/Prompts.h"
#include "views/widgets/TrailPictureList.h"

namespace {

const QString kFilter = QStringLiteral(
    "位图文件(*.bmp);;JPEG 图像文件 (*.jpg);;GIF图像文件 (*.gif);;PNG图像文件 (*.png);;"
    "其他格式(*.*)");
const QString kDefaultName = QStringLiteral("iPaint1.bmp");
const QString kDefaultSuffix = QStringLiteral("bmp");

}  // namespace

bool WriteImageFile(const QImage& picture, const QString& path) {
  const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
  if (picture.isNull() || format.isEmpty()) return false;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.canWrite() || !writer.write(picture)) return false;
  return platform::WriteFileAtomic(path.toStdString(),
                                   std::string_view(bytes.constData(), bytes.size()));
}

bool SaveImageToFile(const TrailPictureList& pictures, IPrompts& prompts, DialogFolder& folder) {
  const QImage picture = pictures.Current();
  if (picture.isNull()) return false;
  const std::optional<QString> chosen =
      prompts.saveFileName(folder.Folder(), kFilter, kDefaultName, kDefaultSuffix);
  if (!chosen) return false;
  QString path = *chosen;
  folder.Used(path);
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".") + kDefaultSuffix;
  if (!WriteImageFile(picture, path)) {
    prompts.warn(QString::fromUtf8(kSaveImageFailedText));
    return false;
  }
  return true;
}
