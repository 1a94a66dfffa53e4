// The engine's error type. Every failure the engine reports is a jet::Error with a kind, a
// message a person can act on and, where it applies, the page the problem was found on.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorKind {
    Corrupt,      // the file contradicts the format: a damaged or hostile file
    Unsupported,  // a valid file or feature the engine does not handle
    Io,           // the operating system refused a read, write, sync or rename
    Constraint,   // a value or row the table does not accept (range, length, unique, required)
    InUse,        // another program holds the file
    ReadOnly,     // a write on a database opened for reading only
    NotFound,     // a table, column or row that does not exist
    Changed,      // another program replaced or changed the file this database had open
    Usage,        // the caller broke an API contract
};

class Error : public std::runtime_error {
  public:
    static constexpr int64_t kNoPage = -1;

    Error(ErrorKind kind, const std::string& message, int64_t page = kNoPage)
        : std::runtime_error(message), kind_(kind), page_(page) {}

    ErrorKind kind() const { return kind_; }
    // The page number the error is about, or kNoPage.
    int64_t page() const { return page_; }
    // Where in the engine a corruption was detected ("file:line"); empty for other kinds.
    const std::string& where() const { return where_; }
    void setWhere(std::string w) { where_ = std::move(w); }
    // The operating system's error number (errno) behind an Io or NotFound error; 0 otherwise.
    int sysError() const { return sysError_; }
    void setSysError(int err) { sysError_ = err; }
    // The operating system refused for want of permission (or a read-only file system).
    bool permissionDenied() const;

  private:
    ErrorKind kind_;
    int64_t page_;
    std::string where_;
    int sysError_ = 0;
};

// The single place that builds corruption errors: put a breakpoint here to catch every path
// that finds a damaged structure. `page` may be Error::kNoPage.
[[noreturn]] void throwCorrupt(int64_t page, const std::string& what,
                               const char* file = __builtin_FILE(), int line = __builtin_LINE());

[[noreturn]] void throwError(ErrorKind kind, const std::string& message,
                             int64_t page = Error::kNoPage);

}  // namespace jet
