#include "cli/Output.h"

#include "cli/Options.h"
#include "core/TextHelpers.h"
#include "db/DbError.h"
#include "settings/UtilityConnect.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace kolvix::cli {

namespace {

// A console window of Windows shows its own code page, not the system's ANSI code page that
// pipes and files get: text for the console goes to it in UTF-16, so that names beyond ASCII
// read right. False when the handle is no console (then the caller writes bytes).
bool writeConsole([[maybe_unused]] bool toStandardError, [[maybe_unused]] const QString& line)
{
#ifdef _WIN32
    const HANDLE handle = GetStdHandle(toStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode))
        return false;
    const QString text = line + QStringLiteral("\r\n");
    DWORD written = 0;
    return WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.utf16()), DWORD(text.size()), &written, nullptr);
#else
    return false;
#endif
}

} // namespace

QString tabSeparated(const QStringList& cells)
{
    QStringList printed;
    printed.reserve(cells.size());
    for (const QString& cell : cells)
        printed << escapeText(cell);
    return printed.join(u'\t');
}

void out(const QString& text)
{
    std::cout.flush();
    if (writeConsole(false, text))
        return;
    const QByteArray line = text.toLocal8Bit();
    std::cout.write(line.constData(), std::streamsize(line.size()));
    std::cout << std::endl;
}

void err(const QString& text)
{
    if (writeConsole(true, text))
        return;
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool stdinIsTerminal()
{
    return isatty(fileno(stdin));
}

bool stderrIsTerminal()
{
    return isatty(fileno(stderr));
}

int readFailed(const std::exception& failure)
{
    err(QStringLiteral("Error: ") + exceptionMessage(failure));
    return ExitFailed;
}

bool connectOrSayWhy(Connection& connection)
{
    const ConnectResult connected = connectToDatabase(connection);
    if (!connected.opened)
        err(QStringLiteral("Error: ")
            + (connected.failure.isEmpty() ? QString::fromLatin1(kConnectFailed) : connected.failure));
    return connected.opened;
}

} // namespace kolvix::cli
