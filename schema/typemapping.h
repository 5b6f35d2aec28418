#pragma once

#include <QString>

namespace tavrex {

// The Oracle column clause of one MySQL column, for the CREATE TABLE that
// BuildCreateTableText assembles: a double quote, ShapeName of the column
// name, a double quote and one blank, then the type part chosen from the type
// text as "show FIELDS from" reports it ("int(11)", "varchar(255)", ...), then
// one closing blank. Lengths are carried over for char and varchar only;
// every numeric type becomes an unsized number, text types and long varchars
// become BLOB, and a type that meets no rule leaves the type part empty (the
// target then refuses the statement). The caller has cut the name to 30
// characters and checked it for a double quote. The one error that leaves it
// is the conversion error of ParseTypeLength.
QString MapColumnType(const QString &columnName, const QString &typeText, bool uppercaseNames);

// The integer between the parentheses of a type text: blanks and control
// characters around the text are removed, then everything after the first
// "(" except the last character is read as a decimal integer; no "(", or a
// "(" in the first place, gives 0. "varchar(255)" gives 255. Text that is
// not an integer throws std::invalid_argument, for example
// "'255) binar' is not a valid integer value".
int ParseTypeLength(const QString &typeText);

} // namespace tavrex
