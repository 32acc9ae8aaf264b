#pragma once

#include <QtGlobal>

// What tells, without reading a day's rows, that nobody changed the file since a moment: the file's
// data version (changed by every other connection's commit) and this connection's own writes.
// Invalid (the server, or not known) means: compare the rows.
struct ChangeStamp {
    qint64 dataVersion = -1;
    qint64 ownWrites = -1;
    bool isValid() const { return dataVersion >= 0; }
    bool operator==(const ChangeStamp&) const = default;
};
