#pragma once
// The one way a core function that can fail says so: a value, or a failure that carries what to tell the
// reader and what kind of failure it was. Callers branch on the kind, never on the message's words.

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace vel {

enum class FailureKind {
    Invalid,     // the input or name cannot be used
    NotFound,    // a file or record that should be there is not
    Exists,      // the name is taken
    TooLarge,    // beyond a limit (pages, bytes)
    Damaged,     // the file is not what it claims, or is broken
    Unsupported, // a format or feature this program cannot read
    DiskFull,    // the disk or the quota is full
    Io,          // the file system or the database refused
    Cancelled,   // stopped on request
};

struct Failure {
    FailureKind kind = FailureKind::Io;
    QString message; // Bulgarian, for the reader; may span lines
    QString english; // the same in English for the command line; empty when there is none

    // One line for the command line: "Bulgarian / English", or the message alone without English.
    QString bilingual() const;
};

// What failure() answers for a result that did not fail, so that messages can be read unconditionally.
const Failure& noFailure();

inline Failure fail(FailureKind kind, QString message, QString english = {}) {
    return Failure{kind, std::move(message), std::move(english)};
}

// A message as one line of a report: line breaks and tabs become spaces.
QString oneLine(QString text);

// "Bulgarian / English" on one line; the one place the command line's two-language lines are made.
QString bilingualLine(const QString& bulgarian, const QString& english);

template <class T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : v_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // On a result that did not fail: an empty message.
    const Failure& failure() const {
        const Failure* f = std::get_if<1>(&v_);
        return f ? *f : noFailure();
    }
    FailureKind kind() const { return failure().kind; }
    const QString& message() const { return failure().message; }

private:
    std::variant<T, Failure> v_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : f_(std::move(failure)) {}

    bool ok() const { return !f_.has_value(); }
    explicit operator bool() const { return ok(); }

    // On a result that did not fail: an empty message.
    const Failure& failure() const { return f_ ? *f_ : noFailure(); }
    FailureKind kind() const { return failure().kind; }
    const QString& message() const { return failure().message; }

private:
    std::optional<Failure> f_;
};

} // namespace vel
