#pragma once

#include "engine/check.h"

#include <QString>

namespace tavrex {

class Prompts;

// The check of a batch settings file (tavrex --check JOB.qelt): the settings
// as its replay would have them (the remembered ones, then the file's), the
// database its replay would choose and the tables it would select (a table
// the file names that the database lacks is an error of the check, as of the
// run). The estimate reads the report of the file's last replay
// (JOB.report.json). *languageCode receives the remembered interface
// language. Throws when the check cannot run: a file that cannot be read, a
// connection that fails, a database the server does not list.
CheckReport checkBatchFile(const QString &path, RunControl &control, Prompts &prompts, QString *languageCode);

} // namespace tavrex
