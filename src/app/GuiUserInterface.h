#pragma once

#include "core/UserInterface.h"

namespace kolvix {

// The engine's boxes and questions as Qt message boxes.
class GuiUserInterface : public UserInterface
{
public:
    void showInfo(const QString& text) override;
    void showWarning(const QString& text) override;
    void showError(const QString& text) override;
    // Caption: the application title; no icon.
    void showPlain(const QString& text) override;
    // A Yes/No question box.
    bool confirm(const QString& text) override;
    // A Yes/No question whose default is No: the mark stays unless the user says otherwise.
    bool removeDistinctMark(const QString& refusal, qint32 from, qint32 to) override;
    void setWaitCursor(bool wait) override;
};

} // namespace kolvix
