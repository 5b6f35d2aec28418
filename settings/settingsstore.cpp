#include "settings/settingsstore.h"

#include "engine/core/textrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>

namespace tavrex {

namespace {

QString organisation() { return QStringLiteral("Kestrova"); }
QString application() { return QStringLiteral("Tavrex"); }

// A choice read back: the number of its item; item 0 on any error; a number
// above the last item chooses the last; a negative one none (-1).
int readChoice(const QSettings &store, const QString &name, int lastItem)
{
    const QVariant v = store.value(name);
    if (!v.isValid())
        return 0;
    bool ok = false;
    const int n = v.toString().toInt(&ok, 10);
    if (!ok)
        return 0;
    if (n > lastItem)
        return lastItem;
    return n < 0 ? -1 : n;
}

QString readText(const QSettings &store, const QString &name)
{
    return store.value(name).toString();
}

#ifndef Q_OS_WIN
// The store's values while they are saved. QSettings writes its file through
// QSaveFile, whose commit() in Qt 6.4 reported success after a failed flush
// and left an empty file in place of the last settings. So the values are
// assembled in a scratch copy (seeded with everything stored so far), read
// back to check them, and only then written over the store's file by the
// checked writer, which reports the path and the system's reason.
class ScratchStore {
public:
    ScratchStore()
    {
        const QSettings stored(QSettings::NativeFormat, QSettings::UserScope, organisation(), application());
        path_ = stored.fileName();
        scratch_ = std::make_unique<QSettings>(dir_.filePath(QStringLiteral("settings.conf")), QSettings::IniFormat);
        for (const QString &key : stored.allKeys())
            scratch_->setValue(key, stored.value(key));
    }

    QSettings &settings() { return *scratch_; }

    void commit()
    {
        auto fail = [&](const QString &reason) {
            throw std::runtime_error(QStringLiteral("Cannot write the file \"%1\": %2").arg(path_, reason).toStdString());
        };
        if (!dir_.isValid())
            fail(QStringLiteral("no scratch folder for the settings: ") + dir_.errorString());
        scratch_->sync();
        const QString scratchPath = scratch_->fileName();
        bool whole = scratch_->status() == QSettings::NoError;
        if (whole) {
            const QSettings check(scratchPath, QSettings::IniFormat);
            for (const QString &key : scratch_->allKeys())
                whole = whole && check.value(key) == scratch_->value(key);
        }
        QFile file(scratchPath);
        if (!whole || !file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("the settings could not be assembled in ") + scratchPath);
        const QByteArray bytes = file.readAll();
        QDir().mkpath(QFileInfo(path_).absolutePath());
        writeFileReplacing(path_, bytes, true);
    }

private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<QSettings> scratch_;
};
#endif

} // namespace

void LoadSettings(ControlValues &c)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation(), application());
    // No stored values yet (first start): every control keeps its default.
    if (!store.allKeys().isEmpty()) {
        const QStringList &charsets = serverCharSetEntries();
        c.accessmode = readChoice(store, QStringLiteral("accessmode"), 1);
        c.edtdatabase = readText(store, QStringLiteral("mysqldatabase"));
        c.edtname = readText(store, QStringLiteral("mysqlu"));
        c.edtpassword = readText(store, QStringLiteral("mysqlp"));
        c.edthost = readText(store, QStringLiteral("host"));
        c.edtport = readText(store, QStringLiteral("port"));
        // "Character Set" holds the drop-down's item; a number outside the
        // list leaves no entry chosen, which the run treats as "Default".
        {
            bool ok = false;
            const QVariant v = store.value(QStringLiteral("Character Set"));
            const int n = v.toString().toInt(&ok, 10);
            c.cbcharsetIndex = !v.isValid() || !ok ? 0 : (n >= 0 && n < charsets.size() ? n : -1);
            c.cbcharsetText = c.cbcharsetIndex >= 0 ? charsets.at(c.cbcharsetIndex) : QString();
        }
        c.edtservice = readText(store, QStringLiteral("oracleh"));
        c.edtoracleusername = readText(store, QStringLiteral("oracleu"));
        c.edtoraclepassword = readText(store, QStringLiteral("oraclep"));
        c.processtable = readChoice(store, QStringLiteral("processtable"), 2);
        // A missing option reads as off, whatever its default (a number as its
        // default).
        for (const CheckOption &option : kCheckOptions)
            setOptionFromText(c.options, option, readText(store, QLatin1String(option.key)));
        // Anything but "en" (missing, empty, another code) is Chinese, the
        // language the wizard starts in.
        c.language = readText(store, QStringLiteral("language")) == QLatin1String("en") ? QStringLiteral("en")
                                                                                       : QStringLiteral("cn");
    }
    if (c.edtport.isEmpty())
        c.edtport = QStringLiteral("3306");
}

void SaveSettings(const ControlValues &c)
{
#ifndef Q_OS_WIN
    ScratchStore scratch;
    QSettings &store = scratch.settings();
#else
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation(), application());
#endif
    store.setValue(QStringLiteral("accessmode"), QString::number(c.accessmode));
    store.setValue(QStringLiteral("mysqldatabase"), c.edtdatabase);
    store.setValue(QStringLiteral("mysqlu"), c.edtname);
    store.setValue(QStringLiteral("mysqlp"), c.edtpassword);
    store.setValue(QStringLiteral("host"), c.edthost);
    store.setValue(QStringLiteral("port"), c.edtport);
    store.setValue(QStringLiteral("Character Set"), QString::number(c.cbcharsetIndex));
    store.setValue(QStringLiteral("oracleh"), c.edtservice);
    store.setValue(QStringLiteral("oraclep"), c.edtoraclepassword);
    store.setValue(QStringLiteral("oracleu"), c.edtoracleusername);
    store.setValue(QStringLiteral("processtable"), QString::number(c.processtable));
    for (const CheckOption &option : kCheckOptions)
        store.setValue(QLatin1String(option.key), optionValueText(c.options, option));
    store.setValue(QStringLiteral("language"), c.language == QLatin1String("en") ? QStringLiteral("en")
                                                                                 : QStringLiteral("cn"));
#ifndef Q_OS_WIN
    // The file holds passwords in plain text: it is written readable by its
    // owner only, from its first byte.
    scratch.commit();
#else
    store.sync();
#endif
}

} // namespace tavrex
