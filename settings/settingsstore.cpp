#include "settings/settingsstore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

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

bool readOption(const QSettings &store, const QString &name)
{
    return store.value(name).toString() == QLatin1String("1");
}

QString option(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

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
        c.chktabledefi = readOption(store, QStringLiteral("tabledefonly"));
        c.chkuppercase = readOption(store, QStringLiteral("nameuppercase"));
        c.chkskipindex = readOption(store, QStringLiteral("skipindex"));
        c.chkblobtotext = readOption(store, QStringLiteral("blobtotext"));
        c.chkrejectrows = readOption(store, QStringLiteral("rejectrows"));
        c.chkverify = readOption(store, QStringLiteral("verify"));
        c.chkkeepdetails = readOption(store, QStringLiteral("keepdetails"));
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
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation(), application());
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
    store.setValue(QStringLiteral("tabledefonly"), option(c.chktabledefi));
    store.setValue(QStringLiteral("nameuppercase"), option(c.chkuppercase));
    store.setValue(QStringLiteral("skipindex"), option(c.chkskipindex));
    store.setValue(QStringLiteral("blobtotext"), option(c.chkblobtotext));
    store.setValue(QStringLiteral("rejectrows"), option(c.chkrejectrows));
    store.setValue(QStringLiteral("verify"), option(c.chkverify));
    store.setValue(QStringLiteral("keepdetails"), option(c.chkkeepdetails));
    store.setValue(QStringLiteral("language"), c.language == QLatin1String("en") ? QStringLiteral("en")
                                                                                 : QStringLiteral("cn"));
#ifndef Q_OS_WIN
    // The file holds passwords in plain text: readable by its owner only,
    // from the moment it is written (Qt writes a new file and renames it).
    const mode_t previous = ::umask(077);
    store.sync();
    ::umask(previous);
    const QString path = store.fileName();
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
#else
    store.sync();
#endif
}

} // namespace tavrex
