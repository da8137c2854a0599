// The exception family of the program and the singleton template.
//
// Every failure travels as a tk_exception: a text for the user, an integer code and an error level. The level
// alone decides how the error handler reports it:
//   0  recoverable: the work may go on (Continue/Abort); any level other than 1 and 2 counts as 0
//   1  the operation failed (error box)
//   2  internal error: reported, then the process ends with exit code -1
// Engine errors carry their engine's number plus an offset as code (0x10000 + Access/DAO number,
// 0x400000 + MySQL number); the error-code maps are keyed by these codes.
//
// tk_final_exception is not a tk_exception: it carries nothing and only unwinds a run after the user chose Abort.
//
// tk_singleton<T> gives a class one process-wide registered instance: the first T constructed registers itself,
// a second one is silently left unregistered, and destroying any T clears the registration. The pointers are
// plain: each is set and cleared by the thread that owns its object, while no other thread uses it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// Offsets added to an engine's own error number to form an exception's code.
constexpr int32_t tk_dao_code_offset = 0x10000;
constexpr int32_t tk_mysql_code_offset = 0x400000;

class tk_exception : public std::exception {
 public:
  // message as given; an empty text becomes "Unknown exception". Code 0.
  tk_exception(const std::string& message, int32_t level);
  tk_exception(const char* message, int32_t level);
  // "Unknown exception", code 0.
  explicit tk_exception(int32_t level);
  // The wide text converted to the ANSI code page; when that fails the message stays empty. Code 0.
  tk_exception(const std::wstring& message, int32_t level);
  tk_exception(const wchar_t* message, int32_t level);
  // format printed with the one narrow text argument (printf rules). Over-long results are cut, never overflow.
  tk_exception(const char* format, const char* argument, int32_t level);
  tk_exception(const char* format, const std::string& argument, int32_t level);

  ~tk_exception() override;
  const char* what() const noexcept override;

  std::string message;
  int32_t code = 0;
  int32_t level = 0;

 protected:
  // For subclasses that fill the fields themselves.
  tk_exception(int32_t code, int32_t level, const std::string& message);
};

// An exception carrying the text of a system error (errno) as its message and the error number as its code.
// When the system has no text for the number, the message is "Unknown exception" and the prefix is dropped.
class tk_exception_ex : public tk_exception {
 public:
  // Level 1; code and text from the calling thread's errno.
  tk_exception_ex();
  // message = prefix + the text of the calling thread's errno.
  tk_exception_ex(const std::string& prefix, int32_t level);
  // The same for an error number the caller saved (preferred: nothing can overwrite it in between).
  tk_exception_ex(int error_number, const std::string& prefix, int32_t level);
  ~tk_exception_ex() override;

 private:
  void init(int error_number, const std::string& prefix);
};

// An internal error, level 2, code 0, identified by the raising source file's name and a line number as literals
// (they identify the place in bug reports, so they are fixed texts, not the compiler's file and line).
// Message: "Internal error: \ncode=" + lowercase hex of the bytes of "<file>\<line>".
class tk_mail_assertion : public tk_exception {
 public:
  tk_mail_assertion(const char* source_file, unsigned line);
  ~tk_mail_assertion() override;
};

// The message text of tk_mail_assertion(source_file, line).
std::string make_err_meggase(const char* source_file, unsigned line);

// Unwinds a run after the user chose Abort. Not an error: it carries no text, code or level.
class tk_final_exception : public std::exception {
 public:
  tk_final_exception();
  ~tk_final_exception() override;
};

template <class T>
class tk_singleton {
 public:
  static bool exists() { return s_instance != nullptr; }
  static T& instance() {
    if (!s_instance) throw tk_mail_assertion("..\\TK/tk_singl", 64);
    return *static_cast<T*>(s_instance);
  }
  static T* get_instance() {
    if (!s_instance) throw tk_mail_assertion("..\\TK/tk_singl", 71);
    return static_cast<T*>(s_instance);
  }

 protected:
  tk_singleton() {
    if (!s_instance) s_instance = this;
  }
  ~tk_singleton() { s_instance = nullptr; }
  tk_singleton(const tk_singleton&) = delete;
  tk_singleton& operator=(const tk_singleton&) = delete;

 private:
  // The registered object's singleton base. The cast to T happens on access, when the object is complete, so the
  // pointer returned is the derived object's address even when this base is not T's first base.
  static inline tk_singleton* s_instance = nullptr;
};
