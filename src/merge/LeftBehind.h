#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace kolvix {

class Dataset;

// Tables outside the merge catalogue whose ClientID column holds rows of the client: rows
// that a merge would leave behind. The client's own Client and Account rows, which stay by
// design, are not listed. Read from the database's own catalogue.
std::vector<std::pair<QString, int>> tablesNotMoved(Dataset& dsTemp, qint32 clientID);

} // namespace kolvix
