#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <optional>

class QLineEdit;

namespace Ui {
class TfrmSearchPatient;
}

namespace kolvix {

class Connection;
class UserInterface;
class SearchResultModel;
struct SearchQuery;

// The modal dialog "Search on Patient": the user types, 150 ms after the last change the
// search runs and shows up to 50 matches (all of them with Show All); the highlighted row is
// the choice.
class TfrmSearchPatient : public QDialog
{
    Q_OBJECT

public:
    // useFileNo: the practice setting read by the main window before a Move From search.
    // A failure of the dialog's handlers is shown by ui.
    TfrmSearchPatient(Connection& connection, bool useFileNo, UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmSearchPatient() override;

    // Options of the search without a control of their own.
    bool OnlyWithEmail = false;
    bool OnlyWithMobile = false;

    // The ClientID of the highlighted row; -1 when there is none.
    int highlightedClientId() const;

    // Builds and opens the search statement for the field of that caption and the text.
    void DoSearch(const QString& caption, const QString& text, bool soundsLike);

    QLineEdit* edSearch() const;
    const QTimer& tmrSearch() const { return m_tmrSearch; }
    SearchResultModel* model() const { return m_model; }

    static constexpr int kTypingDelayMs = 150;

signals:
    // A search has run (opened or failed).
    void searchFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormHide();
    void edSearchChange();
    void tmrSearchTimer();
    void spSoundexClick();
    void cbFieldsChange();
    void cbInactiveClick();
    void cbAllClick();
    void btnOKClick();
    void qrySearchAfterOpen();
    void ArrangeColumns();
    void openClientCount();
    // How many rows a search that lists every row lists: the client count where it lists every
    // client, otherwise counted.
    int rowsListed(const SearchQuery& query);
    void moveHighlight(int step);
    void setBusy(bool busy);
    void connectOptionHandlers();

    std::unique_ptr<Ui::TfrmSearchPatient> ui;
    Connection& m_connection;
    UserInterface& m_userInterface;
    bool m_useFileNo;
    SearchResultModel* m_model;
    QTimer m_tmrSearch;
    std::optional<int> m_clientCount; // "Total Patients", once read
    bool m_clientCountArchived = false; // the count includes archived clients
    bool m_busy = false;
    bool m_centred = false;
    QMetaObject::Connection m_inactiveClicked;
    QMetaObject::Connection m_allClicked;
};

// Shows the search dialog modally and returns the ClientID of the row highlighted when the
// user pressed OK, or -1 (Cancel, Esc, the close box, no rows). Each call makes a new dialog.
int SelectPatient(Connection& connection, bool useFileNo, const QString& initialText, UserInterface& ui,
                  QWidget* parent = nullptr);

} // namespace kolvix
