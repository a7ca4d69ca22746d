#include "app/KolvixApplication.h"
#include "app/MainWindow.h"
#include "platform/NativeServices.h"
#include "settings/CommandLine.h"

namespace {

int runDesktopProgram(int& argc, char** argv)
{
    kolvix::KolvixApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kolvix-utility"));

    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    kolvix::setCommandLineArguments(arguments);

    int exitCode = 0;
    {
        kolvix::TfrmMain frmMain(app.userInterface());
        if (frmMain.terminateRequested()) {
            // Start-up asked to end (no connection, or unreadable settings).
            exitCode = 1;
        } else {
            frmMain.show();
            exitCode = QApplication::exec();
        }
    }
    return exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    kolvix::native::endProcess(runDesktopProgram(argc, argv));
}
