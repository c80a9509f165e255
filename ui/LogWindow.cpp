#include "ui/LogWindow.h"

#include <QAction>
#include <QColor>
#include <QContextMenuEvent>
#include <QFont>
#include <QMenu>
#include <QMetaObject>
#include <QScrollBar>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

namespace {

const QChar kSpinnerFrames[4] = {u'-', u'\\', u'|', u'/'};

constexpr qreal kBasePointSize = 9;
constexpr qreal kLinePointSize = 11;
constexpr qreal kVerdictPointSize = 50;

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

}  // namespace

CMyRichEditCtrl::CMyRichEditCtrl(QWidget* parent, int maxLines)
    : QTextEdit(parent),
      pending_(static_cast<std::size_t>(maxLines > 0 ? maxLines : 1)),
      clearAction_(new QAction(QStringLiteral("clear"), this)) {
  setReadOnly(true);
  setUndoRedoEnabled(false);  // programmatic edits would otherwise pile up in the undo stack
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  document()->setMaximumBlockCount(maxLines);

  // The log's face is a FangSong style; fontconfig picks whichever is installed.
  format_.setFontFamilies(
      QStringList{"FangSong", "仿宋", "AR PL UKai CN", "Noto Serif CJK SC", "Noto Sans CJK SC"});
  format_.setFontPointSize(kBasePointSize);
  format_.setFontWeight(QFont::Normal);
  format_.setFontItalic(false);
  format_.setForeground(QColor(Qt::black));

  spinner_.setObjectName(QStringLiteral("spinnerTimer"));
  spinner_.setInterval(kSpinnerIntervalMs);
  connect(&spinner_, &QTimer::timeout, this, &CMyRichEditCtrl::TurnSpinner);

  clearAction_->setObjectName(QStringLiteral("clearAction"));
  connect(clearAction_, &QAction::triggered, this, &CMyRichEditCtrl::OnClear);
}

CMyRichEditCtrl::~CMyRichEditCtrl() = default;

void CMyRichEditCtrl::AddLog(const std::string& text, LogLevel level) {
  Deliver(pending_.Push(text, level));
}

void CMyRichEditCtrl::Deliver(bool wake) {
  if (QThread::currentThread() == thread()) {
    Drain();
  } else if (wake) {
    QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
  }
}

void CMyRichEditCtrl::AddLog(const QString& text, LogLevel level) {
  AddLog(text.toStdString(), level);
}

void CMyRichEditCtrl::AddLog(const char* text, LogLevel level) {
  AddLog(std::string(text != nullptr ? text : ""), level);
}

void CMyRichEditCtrl::Drain() {
  LogBatch batch = pending_.TakeAll();
  if (batch.cleared) {
    ClearPane();
  }
  if (batch.lines.empty()) {
    return;
  }
  for (const LogLine& line : batch.lines) {
    ShowLine(QString::fromStdString(line.text), line.level);
  }
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CMyRichEditCtrl::ApplyLevel(LogLevel level) {
  format_.setFontWeight(QFont::Normal);
  switch (level) {
    case LOG_BUSY:
    case LOG_INFO:
      format_.setForeground(kBlue);
      format_.setFontPointSize(kLinePointSize);
      break;
    case LOG_ERROR:
      format_.setForeground(kRed);
      format_.setFontPointSize(kLinePointSize);
      format_.setFontWeight(QFont::Bold);
      break;
    case LOG_OK:
      format_.setForeground(kGreen);
      format_.setFontPointSize(kLinePointSize);
      break;
    case LOG_PASS:
      format_.setForeground(kGreen);
      format_.setFontPointSize(kVerdictPointSize);
      break;
    case LOG_FAIL:
      format_.setForeground(kRed);
      format_.setFontPointSize(kVerdictPointSize);
      break;
    default:
      // Unknown levels keep the previous line's colour and size.
      break;
  }
}

void CMyRichEditCtrl::ShowLine(const QString& text, LogLevel level) {
  spinner_.stop();
  ApplyLevel(level);

  QString shown = text;
  const bool busy = level == LOG_BUSY;
  if (busy) {
    // Any line break of a busy text becomes ":-" too, so the line never breaks.
    shown.replace(QLatin1Char('\n'), QStringLiteral(":-"));
    shown += QLatin1Char(':');
    shown += kSpinnerFrames[0];
  }

  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (busyTail_) {
    // The previous busy step is over: its ":" and spinner character give way.
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, 2);
    cursor.removeSelectedText();
  }
  if (hasLines_) {
    cursor.insertBlock(QTextBlockFormat(), format_);
  } else {
    cursor.setBlockCharFormat(format_);  // an empty first line still takes its level's height
  }
  cursor.insertText(shown, format_);

  hasLines_ = true;
  busyTail_ = busy;
  if (busy) {
    spinnerIndex_ = 0;
    spinner_.start();
  }
}

void CMyRichEditCtrl::TurnSpinner() {
  if (!busyTail_) {
    spinner_.stop();
    return;
  }
  spinnerIndex_ = (spinnerIndex_ + 1) & 3;
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, 1);
  cursor.insertText(QString(kSpinnerFrames[spinnerIndex_]), format_);
}

void CMyRichEditCtrl::OnClear() { Deliver(pending_.Clear()); }

void CMyRichEditCtrl::ClearPane() {
  spinner_.stop();
  busyTail_ = false;
  hasLines_ = false;
  document()->clear();
}

bool CMyRichEditCtrl::IsSpinning() const { return spinner_.isActive(); }

int CMyRichEditCtrl::SpinnerIntervalMs() const { return spinner_.interval(); }

void CMyRichEditCtrl::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(clearAction_);
  menu.exec(event->globalPos());
}
