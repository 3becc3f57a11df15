#pragma once
// Errors as values for the data layer: nothing in data/ throws across its
// interface. A failed Status carries a message that says what is wrong and in
// which file, ready to be shown to the user.
#include <optional>
#include <string>
#include <utility>

namespace cn::data {

// What kind of failure a Status reports, so that a caller can react to it
// (tell the user the table is in use, offer a retry) without parsing text.
enum class ErrorCode {
    None,       // success
    Other,      // anything not listed below (a refused argument, a bad structure)
    NotFound,   // a file or record that is not there
    InUse,      // held by another program or another work area
    Damaged,    // a file whose bytes contradict its format
    Io,         // the operating system refused a read, write, sync or lock
    TooLong,    // a value that does not fit its field
};

class [[nodiscard]] Status {
public:
    Status() = default;                       // success
    static Status ok() { return {}; }
    static Status error(std::string message) { return error(ErrorCode::Other, std::move(message)); }
    static Status error(ErrorCode code, std::string message)
    {
        Status s;
        s.code_ = code == ErrorCode::None ? ErrorCode::Other : code;
        s.message_ = std::move(message);
        return s;
    }

    bool isOk() const { return code_ == ErrorCode::None; }
    explicit operator bool() const { return isOk(); }
    ErrorCode code() const { return code_; }
    bool is(ErrorCode c) const { return code_ == c; }
    const std::string& message() const { return message_; }
    // The same failure with a different text (context added by a caller).
    Status withMessage(std::string message) const { return error(code_, std::move(message)); }

private:
    ErrorCode code_ = ErrorCode::None;
    std::string message_;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}                 // NOLINT: implicit on purpose
    Result(Status error) : status_(std::move(error)) {}           // NOLINT: must be a failure

    bool isOk() const { return value_.has_value(); }
    explicit operator bool() const { return isOk(); }
    const Status& status() const { return status_; }
    ErrorCode code() const { return status_.code(); }
    const std::string& message() const { return status_.message(); }

    T& value() & { return *value_; }
    const T& value() const& { return *value_; }
    T&& value() && { return std::move(*value_); }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& operator*() { return *value_; }

private:
    std::optional<T> value_;
    Status status_;
};

} // namespace cn::data
