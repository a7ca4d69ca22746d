#pragma once

#include "db/Connection.h"
#include "db/Dataset.h"
#include "merge/MergeSession.h"
#include "merge/Statistics.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class QKeyEvent;

namespace Ui {
class TfrmMain;
}

namespace kolvix {

class TfrmDuplicates;

// The main window: the Move From and Move To clients, the statistics pane "Data to be
// moved", Close, Merge, Duplicates, History and Compare. Creating it runs the start-up: display fonts, the
// irreversibility warning, the connection and the start-up switches. The window owns the connection and every data
// object that a merge works on.
class TfrmMain : public QWidget
{
    Q_OBJECT

public:
    // Every box, question and failure of the window and of its merges goes to ui.
    explicit TfrmMain(UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up asked the program to end (no connection, or the settings could not be read):
    // the program ends instead of running the event loop.
    bool terminateRequested() const;

    // Steps after a search: reopen the dataset on the chosen client and show its caption;
    // the From client also starts the statistics.
    void chooseFromClient(qint32 id);
    void chooseToClient(qint32 id);

    Connection conZelvan;
    MergeSession session;
    Dataset dsFrom;
    Dataset dsTo;
    Dataset query;
    // The practice setting read before each From search; read by the search.
    bool UseFileNo = false;
    // What the statistics pane shows: (caption, count) of the From client.
    StatisticsList statisticsList;

    QTimer& timUpdate() { return m_timUpdate; }
    QTimer& timDrawButtons() { return m_timDrawButtons; }

    // Event handlers.
    void btnSearchFromClick();
    void btnSearchToClick();
    // The patient search dialog: the chosen client's id, or -1 when nothing was chosen.
    qint32 SelectPatient();
    void btnMergeClick();
    // Opens the Duplicates window and scans (a new scan each time it opens); a pair chosen
    // there becomes Move From and Move To. Ticked pairs merged there are merged on this
    // window's session, and the pane is collected again afterwards.
    void btnDuplicatesClick();
    // Opens the Merge History window modally; after every undo attempt there, the From client
    // is chosen again as after a merge, so that the pane shows what it holds now.
    void btnHistoryClick();
    // Opens the Compare window on the two clients chosen (enabled once both are), modally.
    void btnCompareClick();
    void btnOkClick();
    void timUpdateTimer();
    void timDrawButtonsTimer();
    void FormKeyDown(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void edtFromEnter();
    void edtToEnter();
    void dsFromAfterOpen();
    void dsToAfterOpen();
    void openQuery();
    // After an undo or a run of ticked pairs: the From client's captions, counts and statistics
    // are read anew.
    void refreshClients();
    // The Merge button's plan, account dialog and execution.
    void mergeChosenClients(const MergeClient& from);
    void repaintButtons();
    // Both Move From and Move To hold a client that exists.
    bool bothClientsChosen() const;
    // Enter on a focused push button of this window presses it; true when the key was used.
    bool pressFocusedButton(const QKeyEvent& event, QWidget* focus);

    std::unique_ptr<Ui::TfrmMain> ui;
    TfrmDuplicates* m_duplicates = nullptr; // a child window, destroyed with this one
    QTimer m_timUpdate;
    QTimer m_timDrawButtons;
    qint32 m_timUpdateTag = 0;
    bool m_terminateRequested = false;
    bool m_centred = false;
};

// The font of the statistics pane: the last of ("Courier New", 10), ("Consolas", 10) and
// ("Hasklig", 11) that is installed (names compared without regard to case); the pane keeps
// its font when none is.
void ApplyStatisticsPaneFont(QWidget* pane, const QStringList& installedFamilies);

// The caption of a client: "<id>: <display name>", cut at maxLength characters.
QString clientCaption(qint32 clientID, const QString& surname, const QString& name, int maxLength);

} // namespace kolvix
