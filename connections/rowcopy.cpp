#include "connections/rowcopy.h"

#include "engine/errors.h"

#include <vector>

namespace tavrex {

namespace {

constexpr int kTargetNameLimit = 30;

QString progressLine(const QString &target, std::int64_t counter)
{
    return QStringLiteral("Insert table ") + target + QLatin1Char(' ') + QString::number(counter) +
           QStringLiteral(" Rows ");
}

} // namespace

QString sourceRowsStatement(const QString &listedName)
{
    return QStringLiteral("select * from ") + quoteMySqlName(listedName);
}

void oracleinsertdataReconcileError(ApplyState &state, const QString &message)
{
    state.ApplyOk = false;
    state.ApplyErrorText = message;
}

ApplyState ApplyInserts(RowBuffer &buffer)
{
    ApplyState state;
    const BatchResult result = buffer.apply();
    if (!result.ok)
        oracleinsertdataReconcileError(state, result.message);
    return state;
}

TStepResult CopyRows(MySqlConnection &data, OracleSession &oracleconn, RowBuffer &oracleinsertdata,
                     const QString &listedName, const QString &targetName, TRunLog &log, RunControl &control)
{
    TStepResult result;
    auto fail = [&](const QString &message) {
        result.Ok = false;
        result.ErrorText = message;
        return result;
    };

    std::unique_ptr<MySqlResult> sjb;
    try {
        sjb = data.query(sourceRowsStatement(listedName));
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    try {
        oracleinsertdata.close();
        oracleinsertdata.open(oracleconn, targetName);
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }

    // The target column of each source field, by the first 30 characters of
    // its name; the field list is the same for every row of a result.
    const int fieldCount = sjb->fieldCount();
    std::vector<int> targetColumn(static_cast<size_t>(fieldCount));
    std::vector<QString> errorLine(static_cast<size_t>(fieldCount));
    std::vector<bool> isBoolean(static_cast<size_t>(fieldCount));
    for (int i = 0; i < fieldCount; ++i) {
        const QString &name = sjb->fieldName(i);
        targetColumn[size_t(i)] = oracleinsertdata.columnIndex(name.left(kTargetNameLimit));
        const QString kind = fieldKindName(sjb->fieldKind(i));
        errorLine[size_t(i)] = name + QLatin1Char(':') + kind;
        isBoolean[size_t(i)] = kind.toLower() == QLatin1String("tbooleanfield");
    }

    std::int64_t counter = 0;
    try {
        while (sjb->next()) {
            oracleinsertdata.append();
            ++counter;
            for (int i = 0; i < fieldCount; ++i) {
                const int column = targetColumn[size_t(i)];
                try {
                    if (isBoolean[size_t(i)]) {
                        const MySqlValue v = sjb->value(i);
                        if (v.isNull())
                            throw RowBufferError(QStringLiteral("Could not convert NULL to a boolean"));
                        oracleinsertdata.writeInteger(column, v.boolean ? 1 : 0);
                    } else {
                        oracleinsertdata.write(column, sjb->value(i));
                    }
                } catch (const RowBufferError &) {
                    log.Append(errorLine[size_t(i)]);
                }
            }
            try {
                oracleinsertdata.post();
            } catch (const RowBufferError &e) {
                return fail(e.message());
            }

            if (counter % kProgressPeriod == 0) {
                if (counter % kApplyPeriod == kApplyPhase) {
                    const ApplyState applied = ApplyInserts(oracleinsertdata);
                    if (!applied.ApplyOk)
                        return fail(applied.ApplyErrorText);
                    oracleinsertdata.close();
                    oracleinsertdata.open(oracleconn, targetName);
                }
                log.RewriteLast(progressLine(targetName, counter));
                control.pump();
                if (control.StopRequested())
                    return fail(operationAbortedText());
            }
        }
        const ApplyState applied = ApplyInserts(oracleinsertdata);
        if (!applied.ApplyOk)
            return fail(applied.ApplyErrorText);
    } catch (const DatabaseError &e) {
        return fail(e.message());
    }
    sjb.reset();
    log.RewriteLast(progressLine(targetName, counter));
    return result;
}

} // namespace tavrex
