#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kolvix {

// An INI settings file read as the platform's profile-file reader reads it: section and key
// names compared ignoring case, the first section and the first key of a name win, values
// trimmed of blanks and of one pair of enclosing quotes, and cut to 2047 characters.
// Lines starting with ";" or "#" are comments; keys before the first section are ignored.
// A bare file name (no folder) is read from the legacy settings folder, as the profile
// reader does (resolveSettingsFileName). Opening a missing file gives an empty file; so does
// anything that is not a regular file of at most kMaxSettingsFileSize bytes.
class IniFile
{
public:
    explicit IniFile(const QString& fileName);
    // The file as read, after a bare name was resolved.
    const QString& fileName() const { return m_fileName; }

    // The value, or nothing when the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal with optional sign, or hexadecimal with 0x, 0X or $; non-zero is true; a missing
    // key, an empty value or a text that is no number gives the default.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    // Parses the text of a file (used by the constructor; exposed for tests).
    static IniFile fromText(const QString& text);

private:
    IniFile() = default;
    QString m_fileName;
    struct Entry
    {
        QString section;
        QString key;
        QString value;
    };
    std::vector<Entry> m_entries;
};

} // namespace kolvix
