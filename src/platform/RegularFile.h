#pragma once

#include <QByteArray>
#include <QString>

namespace kolvix {

// A file of the program's own (the merge lock's record, the daily log) in a folder that other
// users may write: it is opened by its own name, never through a symbolic link or reparse
// point, and only when it is a regular file with no other name (no hard link). Anything else
// at the path (a link, a folder, a pipe, a device) is refused without being written, truncated
// or created, and a pipe never blocks the caller.
class RegularFile
{
public:
    enum class Mode {
        Read, // an existing file, for reading
        ReadWrite, // created when missing
        Append, // created when missing; every write goes to the end
    };
    enum class Status { Opened, Missing, NotRegular, Failed };

    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // ownerOnly (POSIX): a file this opens is created readable and writable by its owner only,
    // and an existing one of ours that others may read is narrowed to its owner.
    Status open(const QString& path, Mode mode, bool ownerOnly = false);
    void close();
    bool isOpen() const;
    const QString& path() const { return m_path; }
    // Why open() or the last write failed; for NotRegular it says what is at the path instead.
    const QString& errorString() const { return m_error; }

    // Up to maxBytes from the start of the file.
    QByteArray read(qint64 maxBytes);
    // Replaces the whole content (ReadWrite).
    bool replace(const QByteArray& content);
    // Writes at the end (Append).
    bool append(const QByteArray& content);

private:
    bool writeAll(const QByteArray& content);

    QString m_path;
    QString m_error;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace kolvix
