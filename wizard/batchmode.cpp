#include "wizard/batchmode.h"

#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "engine/core/runlog.h"
#include "wizard/batchwindow.h"
#include "wizard/mainwindow.h"

#include <exception>

namespace tavrex {

void BatchReplay::start(Taaform1 &window)
{
    const QString file = window.batchSettingsFile();
    try {
        values_ = loadBatchFile(file);
    } catch (const std::exception &e) {
        recordFailure(window, errorMessage(e));
        window.endProgram();
        return;
    }
    ControlValues controls = window.controlValues();
    try {
        ApplyBatchSettings(values_, controls);
        for (const CheckOption &option : kCheckOptions) {
            const auto over = overrides_.constFind(QLatin1String(option.key));
            if (over != overrides_.constEnd())
                setOptionFromText(controls.options, option, over.value());
        }
    } catch (...) {
        // The values before the failing one stay applied.
        window.setControlValues(controls);
        throw;
    }
    if (window.resumeRequested())
        controls.options.Resume = true;
    window.setControlValues(controls);
    window.armStartTimer();
}

void BatchReplay::keepFileValues(ControlValues &values) const
{
    for (const CheckOption &option : kCheckOptions)
        if (overrides_.contains(QLatin1String(option.key)))
            setOptionFromText(values.options, option, values_.value(QLatin1String(option.key)));
}

void BatchReplay::recordFailure(Taaform1 &window, const QString &error)
{
    TRunLog &log = window.log();
    log.Append(error);
    RunReport report;
    report.started = started_;
    report.errors << error;
    saveFailedRunRecord(batchLogPath(window.batchSettingsFile()), log, report);
}

void BatchReplay::chooseTables(Taaform1 &window)
{
    if (batchAllTables(values_)) {
        window.Button2Click();
        return;
    }
    // A name the database does not list is reported by the run as an error.
    QStringList missing;
    for (const QString &name : batchTableNames(values_)) {
        if (window.highlightAvailable(name))
            window.Button1Click();
        else
            missing << name;
    }
    window.setMissingTables(missing);
}

BatchWindowInput batchWindowInput(const Taaform1 &window)
{
    const ControlValues c = window.controlValues();
    const TConversionSettings s = window.currentSettings();
    BatchWindowInput in;
    in.mysqlHost = c.accessmode == 0 ? QStringLiteral("localhost") : c.edthost;
    in.port = c.edtport;
    in.database = s.SourceDatabase;
    in.mysqlUser = c.edtname;
    in.mysqlPassword = c.edtpassword;
    in.oracleService = c.edtservice;
    in.oracleUser = c.edtoracleusername;
    in.oraclePassword = c.edtoraclepassword;
    in.policyCaption = window.processtableCaption();
    in.characterSet = c.cbcharsetText;
    in.options = c.options;
    in.selectedTables = s.SelectedTables;
    return in;
}

void openBatchWindow(Taaform1 &window, Tmarfrm_bat &batchWindow)
{
    batchWindow.fill(batchWindowInput(window));
    batchWindow.setMainValues([&window] {
        const ControlValues c = window.controlValues();
        return BatchMainValues{c.accessmode, c.edthost, c.processtable};
    });
    batchWindow.setErrorHandler([&window](const std::exception &e) { window.showError(errorMessage(e)); });
    batchWindow.exec();
}

void installBatchMode(WindowOptions &options, BatchReplay &replay, std::function<Tmarfrm_bat &()> batchWindow)
{
    options.batchStart = [&replay](Taaform1 &window) { replay.start(window); };
    options.batchFailed = [&replay](Taaform1 &window, const QString &error) { replay.recordFailure(window, error); };
    options.batchTableChoice = [&replay](Taaform1 &window) { replay.chooseTables(window); };
    options.createShortcut = [batchWindow](Taaform1 &window) { openBatchWindow(window, batchWindow()); };
}

} // namespace tavrex
