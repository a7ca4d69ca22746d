#include "app/DisplayFonts.h"
#include "platform/NativeServices.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int status = 0;
    {
        QApplication app(argc, argv);
        // The look-alikes of the designed fonts, as the program installs them.
        kolvix::installFontSubstitutes();
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    // As the desktop program ends (see endProcess).
    kolvix::native::endProcess(status);
}
