#include "engine/core/conversionsettings.h"

namespace tavrex {

const QStringList &serverCharSetEntries()
{
    static const QStringList entries = {
        QStringLiteral("Default"), QStringLiteral("armscii8"), QStringLiteral("ascii"),
        QStringLiteral("big5"),    QStringLiteral("binary"),   QStringLiteral("cp1250"),
        QStringLiteral("cp1251"),  QStringLiteral("cp1256"),   QStringLiteral("cp1257"),
        QStringLiteral("cp850"),   QStringLiteral("cp852"),    QStringLiteral("cp866"),
        QStringLiteral("cp932"),   QStringLiteral("dec8"),     QStringLiteral("eucjpms"),
        QStringLiteral("euckr"),   QStringLiteral("gb2312"),   QStringLiteral("gbk"),
        QStringLiteral("geostd8"), QStringLiteral("greek"),    QStringLiteral("hebrew"),
        QStringLiteral("hp8"),     QStringLiteral("keybcs2"),  QStringLiteral("koi8r"),
        QStringLiteral("koi8u"),   QStringLiteral("latin1"),   QStringLiteral("latin2"),
        QStringLiteral("latin5"),  QStringLiteral("latin7"),   QStringLiteral("macce"),
        QStringLiteral("macroman"), QStringLiteral("sjis"),    QStringLiteral("swe7"),
        QStringLiteral("tis620"),  QStringLiteral("ucs2"),     QStringLiteral("ujis"),
        QStringLiteral("utf8"),
    };
    return entries;
}

QString serverCharSetForChoice(int itemIndex, const QString &text)
{
    return itemIndex >= 1 ? text : QString();
}

} // namespace tavrex
