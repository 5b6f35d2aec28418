#pragma once

// Finding and binding the Oracle client library at run time. openOciSession
// (connections/oracle/ociclient.cpp) calls loadOciLibrary() before every connect;
// the loader tests call the candidate list and the explicit-list overload.

#include "connections/oracle/ocidefs.h"

#include <QString>
#include <QVector>

namespace tavrex {

// One place the loader tries: a file name or path, and where it came from
// ("TAVREX_OCI_LIBRARY", "system library search path", "$ORACLE_HOME/lib").
// An empty path is a place that could not be tried; `origin` then says why.
struct OciLibraryCandidate {
    QString path;
    QString origin;

    bool operator==(const OciLibraryCandidate &o) const { return path == o.path && origin == o.origin; }
};

// The places to try, in order: the path in TAVREX_OCI_LIBRARY (a file, or a
// folder holding the client library), then the client library's file names
// by the system's search path, then the same names in $ORACLE_HOME/lib
// (Windows: oci.dll, then %ORACLE_HOME%\bin). Empty arguments are unset
// variables. Pure: the callers pass the variables.
QVector<OciLibraryCandidate> ociLibraryCandidates(const QString &libraryVariable, const QString &oracleHome);

// Tries the candidates in order and binds every function of
// TAVREX_OCI_FUNCTIONS from the first library that opens. A bound library
// stays loaded for the life of the process (the client library does not
// support being unloaded) and is returned again on the next call. Throws
// DatabaseError: when no candidate opens, listing each place tried with what
// the system loader said and how to install the Oracle Instant Client; when
// the library that opened lacks functions, naming all of them, after
// unloading it.
const oci::Api &loadOciLibrary(const QVector<OciLibraryCandidate> &candidates);

// The same for the places of this process's environment.
const oci::Api &loadOciLibrary();

} // namespace tavrex
