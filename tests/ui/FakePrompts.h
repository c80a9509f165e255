#pragma once
// IPrompts with scripted answers that records every prompt in order. A prompt
// the script did not expect fails the test and is answered No / cancelled.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

#include "ui/Prompts.h"

class FakePrompts : public IPrompts {
 public:
  struct FileCall {
    QString folder;
    QString filter;
    QString proposedName;   // save only
    QString defaultSuffix;  // save only
  };

  // Script.
  std::deque<bool> answers;
  std::deque<std::optional<QString>> openResults;
  std::deque<std::optional<QString>> saveResults;

  // Record.
  QStringList infos;
  QStringList warnings;
  QStringList questions;
  std::vector<FileCall> openCalls;
  std::vector<FileCall> saveCalls;

  void info(const QString& text) override { infos << text; }
  void warn(const QString& text) override { warnings << text; }

  bool askYesNo(const QString& text) override {
    questions << text;
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::optional<QString> openFileName(const QString& folder, const QString& filter) override {
    openCalls.push_back({folder, filter, {}, {}});
    return Next(openResults, "open");
  }

  std::optional<QString> saveFileName(const QString& folder, const QString& filter,
                                      const QString& proposedName,
                                      const QString& defaultSuffix) override {
    saveCalls.push_back({folder, filter, proposedName, defaultSuffix});
    return Next(saveResults, "save");
  }

 private:
  static std::optional<QString> Next(std::deque<std::optional<QString>>& results,
                                     const char* kind) {
    if (results.empty()) {
      ADD_FAILURE() << "unexpected " << kind << " file dialog";
      return std::nullopt;
    }
    // Spelled out: g++ 12 takes a copied optional<QString> for uninitialised.
    const bool answered = results.front().has_value();
    const QString path = answered ? *results.front() : QString();
    results.pop_front();
    return answered ? std::optional<QString>(path) : std::nullopt;
  }
};
