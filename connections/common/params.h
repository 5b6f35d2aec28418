#pragma once

#include <QString>
#include <QStringList>

namespace tavrex {

// The ordered parameter list of a connection: lines of the form Name=Value.
// A line is found by the text before its first "="; the value is everything
// after it, so a password holding "=" arrives whole.
class Params {
public:
    Params() = default;
    explicit Params(QStringList lines) : lines_(std::move(lines)) {}

    void clear() { lines_.clear(); }
    void add(const QString &name, const QString &value) { lines_.append(name + QLatin1Char('=') + value); }

    bool has(const QString &name) const { return indexOf(name) >= 0; }
    // The value of the first line of that name; empty when there is none.
    QString value(const QString &name) const;
    // Replaces the value of the first line of that name in its place, or adds
    // the line at the end when there is none.
    void setValue(const QString &name, const QString &value);

    const QStringList &lines() const { return lines_; }
    int size() const { return int(lines_.size()); }
    bool operator==(const Params &other) const { return lines_ == other.lines_; }

private:
    int indexOf(const QString &name) const;

    QStringList lines_;
};

} // namespace tavrex
