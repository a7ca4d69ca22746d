#include "cli/Output.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace kolvix::cli {

void out(const QString& text)
{
    std::cout << text.toLocal8Bit().constData() << std::endl;
}

void err(const QString& text)
{
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

} // namespace kolvix::cli
