#pragma once

// The well-known binary (WKB) of a geometry, as the OGC Simple Features
// standard defines it: a byte-order mark (0 big endian, 1 little
// endian), a 32-bit type and the type's body, nested for the multi types and
// collections. Types 1 to 7 (point, linestring, polygon, multipoint,
// multilinestring, multipolygon, geometrycollection) in two dimensions, and
// the ISO codes 1001-1007 (Z), 2001-2007 (M) and 3001-3007 (ZM). The embedded
// target checks a geometry value with it before storing it; the verification
// compares geometries in the little-endian form it writes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tavrex {

// What is wrong with a WKB that does not hold exactly one geometry: empty
// when nothing is. For a type code that is none of the above, *unknownType
// (when given) is set to it, read as a signed 32-bit number; otherwise it is
// left alone.
QString wkbProblem(QByteArrayView wkb, qint32 *unknownType = nullptr);

// The same geometry with every byte-order mark 1 and every number little
// endian, so that two encodings of one geometry are equal bytes; empty when
// the WKB has a problem.
QByteArray littleEndianWkb(QByteArrayView wkb);

// A geometry as MySQL stores it (and its client sends it): 4 bytes of SRID,
// little endian, then the WKB. False when the value is shorter than the SRID.
bool splitMySqlGeometry(QByteArrayView stored, quint32 *srid, QByteArray *wkb);

} // namespace tavrex
