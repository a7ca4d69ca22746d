#include "cli/ArgumentParser.h"

namespace kolvix::cli {

ArgumentParser::Option* ArgumentParser::option(const QString& name)
{
    for (Option& o : m_options)
        if (o.name == name)
            return &o;
    return nullptr;
}

void ArgumentParser::add(const QString& name, Kind kind, Reader read)
{
    if (Option* declared = option(name)) {
        Q_ASSERT(declared->kind == kind);
        // Declared again by another verb: each declaration reads the value, in the order they
        // were made, and the first fault is the one reported.
        declared->read = [first = std::move(declared->read), second = std::move(read)](const QString& value) {
            const QString fault = first(value);
            return fault.isEmpty() ? second(value) : fault;
        };
        return;
    }
    m_options.push_back({name, kind, {}, std::move(read), {}});
}

void ArgumentParser::addSwitch(const QString& name, bool& on)
{
    addSwitch(name);
    option(name)->flags.push_back(&on);
}

void ArgumentParser::addSwitch(const QString& name)
{
    if (!option(name))
        add(name, Kind::Switch, {});
}

void ArgumentParser::addValue(const QString& name, Reader read)
{
    add(name, Kind::Value, std::move(read));
}

void ArgumentParser::addRepeatedValue(const QString& name, Reader read)
{
    add(name, Kind::RepeatedValue, std::move(read));
}

void ArgumentParser::addPair(const QString& name, PairReader read)
{
    Q_ASSERT(!option(name));
    m_options.push_back({name, Kind::Pair, {}, {}, std::move(read)});
}

void ArgumentParser::addNumber(const QString& name, std::optional<qint32>& number, qint32 min, qint32 max,
                               const QString& wanted)
{
    addValue(name, [&number, name, min, max, wanted](const QString& text) {
        const auto value = readInteger(text);
        if (!value || *value < min || *value > max)
            return QStringLiteral("%1 needs %2, not '%3'").arg(name, wanted, text);
        number = *value;
        return QString();
    });
}

bool ArgumentParser::parse(const QStringList& args, QString& error)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasInlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
            hasInlineValue = true;
        }
        Option* const declared = option(arg);
        if (declared && declared->kind == Kind::Switch) {
            if (hasInlineValue) {
                error = QStringLiteral("%1 is a switch and takes no value ('%2')").arg(arg, args[i]);
                return false;
            }
            for (bool* on : declared->flags)
                *on = true;
        } else if (declared && declared->kind == Kind::Pair) {
            if (given(arg)) {
                error = QStringLiteral("%1 given twice").arg(arg);
                return false;
            }
            const qsizetype needed = hasInlineValue ? 1 : 2;
            if (i + needed >= args.size()) {
                error = QStringLiteral("%1 needs two values").arg(arg);
                return false;
            }
            const QString first = hasInlineValue ? value : args[++i];
            const QString fault = declared->readPair(first, args[++i]);
            if (!fault.isEmpty()) {
                error = fault;
                return false;
            }
        } else if (declared) {
            if (declared->kind == Kind::Value && given(arg)) {
                error = QStringLiteral("%1 given twice").arg(arg);
                return false;
            }
            if (!hasInlineValue) {
                if (i + 1 >= args.size()) {
                    error = QStringLiteral("%1 needs a value").arg(arg);
                    return false;
                }
                value = args[++i];
            }
            const QString fault = declared->read(value);
            if (!fault.isEmpty()) {
                error = fault;
                return false;
            }
        } else if (arg.startsWith(QLatin1String("-"))) {
            error = QStringLiteral("unknown option %1").arg(args[i]);
            return false;
        } else if (arg.contains(QLatin1Char('='))) {
            m_settings << arg;
        } else {
            error = QStringLiteral("unexpected argument '%1' (settings are KEY=VALUE)").arg(arg);
            return false;
        }
        if (declared && !given(arg))
            m_given << arg;
    }
    return true;
}

bool ArgumentParser::givenAny(const QStringList& names) const
{
    for (const QString& name : names)
        if (given(name))
            return true;
    return false;
}

std::optional<qint32> readInteger(const QString& text)
{
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<qsizetype> firstNonUtf8Argument(const std::vector<QByteArray>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (!args[i].isValidUtf8())
            return qsizetype(i);
    }
    return std::nullopt;
}

} // namespace kolvix::cli
