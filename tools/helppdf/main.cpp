// Turns the operator's guide (Markdown text) into the PDF the program's help
// opens. Run at build time:
//   kestrana_helppdf <source.md> <target.pdf> [<depfile>]
// Pictures are named relative to the guide's folder; each is checked, made
// to fit the page's width, and listed in the depfile, so that the build
// makes the PDF again when one of them changes.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdio>

namespace {

// The text width of an A4 page less the 2 cm margins the printing keeps,
// in the 96 dpi units a picture is measured in.
constexpr double kMaxPictureWidth = 640.0;

struct Picture {
  int position = 0;
  int length = 0;
  QTextImageFormat format;
};

// Every picture of the document; false (with the names that failed) when one
// cannot be read. Each picture's name becomes its absolute file, so that the
// copy the printing lays out finds it too.
bool ResolvePictures(QTextDocument& document, const QDir& folder, QStringList* files,
                     QStringList* failed) {
  QList<Picture> pictures;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.isValid() && fragment.charFormat().isImageFormat()) {
        pictures.append({fragment.position(), fragment.length(),
                         fragment.charFormat().toImageFormat()});
      }
    }
  }
  for (Picture& p : pictures) {
    const QUrl url(p.format.name());
    const QString path = url.isRelative() ? QDir::cleanPath(folder.absoluteFilePath(url.path()))
                                          : url.toLocalFile();
    const QImage image(path);
    if (image.isNull()) {
      failed->append(p.format.name());
      continue;
    }
    files->append(path);
    p.format.setName(QUrl::fromLocalFile(path).toString());
    if (image.width() > kMaxPictureWidth) p.format.setWidth(kMaxPictureWidth);
    QTextCursor cursor(&document);
    cursor.setPosition(p.position);
    cursor.setPosition(p.position + p.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(p.format);
  }
  return failed->isEmpty();
}

// Make's rule syntax, as the build reads depfiles: blanks escaped.
QString DepfilePath(QString path) { return path.replace(QLatin1Char(' '), QLatin1String("\\ ")); }

bool WriteDepfile(const QString& depfile, const QString& target, const QStringList& inputs) {
  QString text = DepfilePath(target) + QLatin1Char(':');
  for (const QString& input : inputs) text += QLatin1String(" \\\n  ") + DepfilePath(input);
  text += QLatin1Char('\n');
  QFile file(depfile);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(text.toUtf8()) == text.toUtf8().size();
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: kestrana_helppdf <source.md> <target.pdf> [<depfile>]\n");
    return 2;
  }
  const QString sourcePath = QString::fromLocal8Bit(argv[1]);
  QFile source(sourcePath);
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "kestrana_helppdf: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  document.setMarkdown(QString::fromUtf8(source.readAll()));
  QStringList pictures;
  QStringList failed;
  if (!ResolvePictures(document, QFileInfo(sourcePath).absoluteDir(), &pictures, &failed)) {
    for (const QString& name : failed) {
      std::fprintf(stderr, "kestrana_helppdf: cannot read the picture %s of %s\n",
                   name.toLocal8Bit().constData(), argv[1]);
    }
    return 1;
  }
  const QString target = QString::fromLocal8Bit(argv[2]);
  {
    QPdfWriter writer(target);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setTitle(QStringLiteral("Kestrana"));
    document.print(&writer);
  }
  if (QFile(target).size() == 0) {
    std::fprintf(stderr, "kestrana_helppdf: nothing written to %s\n", argv[2]);
    return 1;
  }
  if (argc == 4 && !WriteDepfile(QString::fromLocal8Bit(argv[3]),
                                 QFileInfo(target).absoluteFilePath(), pictures)) {
    std::fprintf(stderr, "kestrana_helppdf: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
