#pragma once

#include <QString>

namespace kolvix {

// Everything the engine shows or asks goes through this interface: the GUI implements it
// with message boxes, kolvix-merge for the terminal, and the tests to script answers and
// record what was shown. Each front end hands its own to the merge's session (MergeSession)
// and to the connection start-up; nothing reaches it through a global. The account mapping is no part of it: each front
// end shows or edits a merge's plan itself (the account dialog, --map) before the merge is executed.
class UserInterface
{
public:
    virtual ~UserInterface() = default;

    // Modal box, caption "Information", information icon, OK.
    virtual void showInfo(const QString& text) = 0;
    // Modal box, caption "Warning", warning icon, OK.
    virtual void showWarning(const QString& text) = 0;
    // Modal box, caption "Error", error icon, OK.
    virtual void showError(const QString& text) = 0;
    // Modal box whose caption is the application title, no icon, OK.
    virtual void showPlain(const QString& text) = 0;
    // Yes/No confirmation; true for Yes.
    virtual bool confirm(const QString& text) = 0;
    // Yes/No: go on with a merge that cannot be recorded for undo. Unattended front ends say
    // No unless told otherwise.
    virtual bool confirmIrreversible(const QString& text) { return confirm(text); }
    // A merge of two clients marked as different people is refused with refusal (which names the
    // mark). True when the user has the mark removed and the merge go on to its own questions:
    // the desktop asks Yes/No (No unless the user says otherwise), the terminal shows the refusal
    // with how to remove the mark and answers No. Unless a front end says otherwise, the refusal is
    // shown and the answer is No.
    virtual bool removeDistinctMark(const QString& refusal, qint32 from, qint32 to)
    {
        (void)from, (void)to;
        showInfo(refusal);
        return false;
    }
    // The wait cursor (true) or the normal arrow (false).
    virtual void setWaitCursor(bool wait) = 0;
    // A catalogue step has run: its number (1..42, 43 for the pending-client clean-up),
    // its table, and the rows it changed. Only the terminal shows it.
    virtual void catalogueStepDone(int step, const QString& table, int rows) { (void)step, (void)table, (void)rows; }
    // A statement of the merge has waited 2 s for a lock that another connection holds.
    // Called while the statement still waits (on a thread of its own where the database client
    // cannot tell); only the terminal shows it.
    virtual void waitingForLock() { }
    // A statement that waited for another connection's lock gave up: what could not be done
    // and the database client's message. Only the terminal shows it.
    virtual void lockWaitFailed(const QString& what) { (void)what; }
};

// The wait cursor for as long as it lives: the arrow comes back however the scope ends.
class WaitCursor
{
public:
    explicit WaitCursor(UserInterface& ui)
        : m_ui(ui)
    {
        m_ui.setWaitCursor(true);
    }
    ~WaitCursor() { m_ui.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    UserInterface& m_ui;
};

// The application title: the caption of plain message boxes and of the main window.
inline const char* const kApplicationTitle = "Kolvix Utility";

} // namespace kolvix
