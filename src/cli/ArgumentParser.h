#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace kolvix::cli {

// What every verb of kolvix-merge shares in reading its arguments. An option is "--name VALUE"
// or "--name=VALUE", or a switch "--name"; any other argument is a KEY=VALUE setting, which
// holds "=" and does not begin with "-". Each verb declares its options here (cli/Options);
// parse() goes through the arguments once, in order, and stops at the first fault with its
// one-line message.
class ArgumentParser
{
public:
    // Reads the value of an option: the message of a fault, or an empty text when it serves.
    using Reader = std::function<QString(const QString& value)>;
    // Reads the two values of an option that takes two ("--compare A B").
    using PairReader = std::function<QString(const QString& first, const QString& second)>;

    // A switch: on by being there, once or more; a value given to it is a fault, so that
    // "--yes=no" never reads as "--yes". Declared again (by another verb), it also sets that
    // verb's flag. Without a flag, only given() tells that it was there.
    void addSwitch(const QString& name, bool& on);
    void addSwitch(const QString& name);
    // An option with a value, given at most once: a second one is a fault before its value is
    // read. Declared again (by another verb, of the same kind), each declaration reads the
    // value.
    void addValue(const QString& name, Reader read);
    // An option with a value that may be given again; each value is read as it comes.
    void addRepeatedValue(const QString& name, Reader read);
    // An option with two values ("--name A B", or "--name=A B"), given at most once.
    void addPair(const QString& name, PairReader read);
    // A whole number (readInteger) from min to max, given at most once; anything else is the
    // fault "NAME needs WANTED, not 'TEXT'".
    void addNumber(const QString& name, std::optional<qint32>& number, qint32 min, qint32 max, const QString& wanted);

    // Reads the arguments (without the program name). False, with the message in error, at
    // the first fault; error is left alone otherwise.
    bool parse(const QStringList& args, QString& error);

    // After parse(): the KEY=VALUE settings as given, and whether an option was there.
    const QStringList& settings() const { return m_settings; }
    bool given(const QString& name) const { return m_given.contains(name); }
    bool givenAny(const QStringList& names) const;
    // The options given, each once, in the order they first came.
    const QStringList& givenOptions() const { return m_given; }

private:
    enum class Kind { Switch, Value, RepeatedValue, Pair };
    struct Option
    {
        QString name;
        Kind kind;
        std::vector<bool*> flags; // a switch's
        Reader read; // an option's with a value
        PairReader readPair; // an option's with two values
    };
    Option* option(const QString& name);
    void add(const QString& name, Kind kind, Reader read);

    std::vector<Option> m_options;
    QStringList m_settings;
    QStringList m_given;
};

// An integer as the options take it, blanks around it allowed; nothing for a text that is no
// integer or one that qint32 does not hold.
std::optional<qint32> readInteger(const QString& text);

// The position (0 = the first argument after the program name) of the first argument that is
// not valid UTF-8 text; nothing when all are. Where the command line is bytes, such an
// argument would reach the program with replacement characters in place of what was meant.
std::optional<qsizetype> firstNonUtf8Argument(const std::vector<QByteArray>& args);

} // namespace kolvix::cli
