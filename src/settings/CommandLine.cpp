#include "settings/CommandLine.h"

#include "core/TextHelpers.h"

namespace kolvix {

namespace {

QStringList& arguments()
{
    static QStringList list;
    return list;
}

} // namespace

void setCommandLineArguments(const QStringList& list)
{
    arguments() = list;
}

const QStringList& commandLineArguments()
{
    return arguments();
}

QString paramValue(const QString& key)
{
    for (const QString& argument : arguments()) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        // The key part is compared as written: "Data Source =x" is not "Data Source".
        if (QStringView(argument).left(equals).compare(key, Qt::CaseInsensitive) == 0)
            return trimControl(argument.mid(equals + 1));
    }
    return {};
}

} // namespace kolvix
