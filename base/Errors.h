// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program's failures. Every failure is an exception carrying the name of its
// class (shown by the last-resort report) and a message (shown to the user).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace veldora::base {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message, const char* className = "Exception")
        : std::runtime_error(message), className_(className) {}
    const char* className() const noexcept { return className_; }
    std::string message() const { return what(); }

  private:
    const char* className_;
};

// Declares an error class; other subsystems declare their own with it too.
// A class name cannot stand in parentheses, as the check would have macro arguments.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define VELDORA_ERROR_CLASS(Name, Base)                                                                      \
    class Name : public Base {                                                                               \
      public:                                                                                                \
        explicit Name(const std::string& message, const char* className = #Name)                             \
            : Base(message, className) {}                                                                    \
    };
// NOLINTEND(bugprone-macro-parentheses)

// Collections and conversions
VELDORA_ERROR_CLASS(EListError, Exception)    // "List index out of bounds (%d)"
VELDORA_ERROR_CLASS(EConvertError, Exception) // "'%s' is not a valid integer value"
// Pictures and streams
VELDORA_ERROR_CLASS(EFOpenError, Exception)     // "Cannot open file %s"
VELDORA_ERROR_CLASS(EFCreateError, Exception)   // "Cannot create file %s"
VELDORA_ERROR_CLASS(EWriteError, Exception)     // "Stream write error"
VELDORA_ERROR_CLASS(EInvalidGraphic, Exception) // "Bitmap image is not valid"

// Checked file input and output: a numeric code and the message for that code.
class EInOutError : public Exception {
  public:
    EInOutError(int code, const std::string& message) : Exception(message, "EInOutError"), code_(code) {}
    int code() const noexcept { return code_; }

  private:
    int code_;
};

// "List index out of bounds (%d)"
inline EListError listIndexError(int index) {
    return EListError("List index out of bounds (" + std::to_string(index) + ")");
}

} // namespace veldora::base
