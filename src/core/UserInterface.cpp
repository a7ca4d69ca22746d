#include "core/UserInterface.h"

namespace kolvix {

namespace {

// Used before a front end installs its own: drops boxes and answers No.
class SilentUserInterface : public UserInterface
{
public:
    void showInfo(const QString&) override { }
    void showWarning(const QString&) override { }
    void showError(const QString&) override { }
    void showPlain(const QString&) override { }
    bool confirm(const QString&) override { return false; }
    void setWaitCursor(bool) override { }
};

SilentUserInterface silentUi;
UserInterface* currentUi = nullptr;

} // namespace

UserInterface& userInterface()
{
    return currentUi ? *currentUi : silentUi;
}

void setUserInterface(UserInterface* ui)
{
    currentUi = ui;
}

} // namespace kolvix
