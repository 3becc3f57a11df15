#pragma once
// Errors as values for the data layer: nothing in data/ throws across its
// interface. A failed Status carries a message that says what is wrong and in
// which file, ready to be shown to the user.
#include <optional>
#include <string>
#include <utility>

namespace cn::data {

class [[nodiscard]] Status {
public:
    Status() = default;                       // success
    static Status ok() { return {}; }
    static Status error(std::string message) { Status s; s.failed_ = true; s.message_ = std::move(message); return s; }

    bool isOk() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const std::string& message() const { return message_; }

private:
    bool failed_ = false;
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
