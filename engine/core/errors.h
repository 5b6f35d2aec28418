#pragma once

#include <QString>

#include <exception>
#include <stdexcept>
#include <string>

namespace tavrex {

// The one error type of the database layer. It carries the client's message
// word for word (an Oracle "ORA-nnnnn: text", a MySQL client message) and,
// where the client has one, its error number. Context added while the error
// travels (the statement that failed) goes into what() only, so message()
// stays exactly what the client said: the conversion log quotes it.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString &message, int code = 0);

    const QString &message() const noexcept { return message_; }
    int code() const noexcept { return code_; }

    // Appends context to what() without touching message().
    void addContext(const QString &context);
    const char *what() const noexcept override { return what_.c_str(); }

private:
    QString message_;
    int code_;
    std::string what_;
};

// Ends an operation without any message box: the stop at a table poll and the
// blank-database message. The wizard catches it and shows nothing.
class SilentAbort : public std::exception {
public:
    const char *what() const noexcept override { return "silent abort"; }
};

// The message to show or log for any exception: a DatabaseError's own
// message, otherwise what() decoded as UTF-8.
QString errorMessage(const std::exception &e);

} // namespace tavrex
