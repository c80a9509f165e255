#pragma once
// An operation that failed with a message meant for the operator. what() is
// that message (UTF-8); callers show or log it as it stands. Loaders of
// configuration files and of bridge firmware images throw it.

#include <stdexcept>
#include <string>

class UserMessageError : public std::runtime_error {
 public:
  explicit UserMessageError(const std::string& message) : std::runtime_error(message) {}
};
