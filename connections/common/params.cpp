#include "connections/common/params.h"

namespace tavrex {

int Params::indexOf(const QString &name) const
{
    for (int i = 0; i < lines_.size(); ++i) {
        const QString &line = lines_.at(i);
        const int eq = line.indexOf(QLatin1Char('='));
        const QStringView lineName = eq < 0 ? QStringView(line) : QStringView(line).left(eq);
        if (lineName == name)
            return i;
    }
    return -1;
}

QString Params::value(const QString &name) const
{
    const int i = indexOf(name);
    if (i < 0)
        return QString();
    const QString &line = lines_.at(i);
    const int eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

void Params::setValue(const QString &name, const QString &value)
{
    const int i = indexOf(name);
    if (i < 0)
        add(name, value);
    else
        lines_[i] = name + QLatin1Char('=') + value;
}

} // namespace tavrex
