#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace kolvix {

class TaInfo;

// The row logic of the account merging dialog, without widgets: what each row shows when
// loaded, the validation of new names and the write-back into TaInfo::Accounts on OK.
// The dialog displays it; kolvix-merge drives it from its --map options.
class AccountMergeModel
{
public:
    enum Action { Merge = 0, Add = 1 };

    // The longest new account name: the size of the account-name column (ShortDescription).
    static constexpr int kMaxNameLength = 16;

    struct Row
    {
        qint32 tag = -1; // the From AccountID of the slot
        QString name; // fraAction00, fraAction01, ...
        QString source; // edtSource: the From account's name
        int action = Add; // cmbAction's selection
        // cmbDestination: the To client's accounts (text, AccountID) in AccountList order
        std::vector<std::pair<QString, qint32>> destinations;
        int destinationIndex = -1; // selected item; -1 when the list is empty
        QString newName; // edtDestination
        bool locked = false;
    };

    explicit AccountMergeModel(TaInfo& info);

    TaInfo& info() const { return m_info; }
    const QString& fromName() const;
    const QString& toName() const;
    std::vector<Row>& rows() { return m_rows; }
    const std::vector<Row>& rows() const { return m_rows; }
    // The row of a From AccountID, or nullptr.
    Row* rowForAccount(qint32 fromAccountID);

    // OK pressed: the issues message ("The following issues were encountered ...") when a
    // new name is empty, already used by a To account or, as stored, longer than
    // kMaxNameLength characters; empty when the rows are valid.
    QString validate() const;
    // Writes the decisions into TaInfo::Accounts; new accounts are numbered from the
    // greater of 0 and the To client's highest AccountID, plus one. Throws
    // std::out_of_range for a Merge row without a destination.
    void writeBack();
    // validate(), then writeBack() when valid; the issues message, empty on success.
    QString accept();

    // The final confirmation asked after OK.
    QString confirmationText() const;

private:
    TaInfo& m_info;
    std::vector<Row> m_rows;
};

} // namespace kolvix
