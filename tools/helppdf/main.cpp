// Turns the operator's guide (Markdown text) into the PDF the program's help
// opens. Run at build time: kestrana_helppdf <source.md> <target.pdf>.

#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: kestrana_helppdf <source.md> <target.pdf>\n");
    return 2;
  }
  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "kestrana_helppdf: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  document.setMarkdown(QString::fromUtf8(source.readAll()));
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
  return 0;
}
