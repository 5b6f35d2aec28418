#include "settings/batchcheck.h"

#include "connections/profiles.h"
#include "engine/conversionrun.h"
#include "engine/runreport.h"
#include "settings/batchfile.h"
#include "settings/controlvalues.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tavrex {

CheckReport checkBatchFile(const QString &path, RunControl &control, Prompts &prompts, QString *languageCode)
{
    const BatchValues values = loadBatchFile(path);
    ControlValues controls;
    LoadSettings(controls);
    if (languageCode)
        *languageCode = controls.language;
    ApplyBatchSettings(values, controls);
    TConversionSettings settings;
    applyControlValues(controls, settings);

    // The database and the tables as the replay's pages 2, 4 and 5 choose them.
    DatabaseObjects db;
    ListChoice databases;
    step2Click(db, settings, databases, prompts, QCoreApplication::applicationName());
    QStringList available;
    settings.SourceDatabase = step4Click(db, databases, available);
    settings.SourceDatabaseChosen = true;
    db.mysqlconnect.close();
    QStringList missing;
    if (batchAllTables(values)) {
        settings.SelectedTables = available;
    } else {
        for (const QString &name : batchTableNames(values)) {
            // A name given twice finds no entry the second time.
            if (available.contains(name) && !settings.SelectedTables.contains(name))
                settings.SelectedTables << name;
            else
                missing << name;
        }
    }

    ConversionCheck check(settings, control);
    check.setSettingsFile(QFileInfo(path).fileName());
    check.setMissingTables(missing);
    check.setLastRunReport(reportPathForLog(batchLogPath(path)));
    CheckReport report = check.run();
    return report;
}

} // namespace tavrex
