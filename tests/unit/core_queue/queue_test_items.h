#pragma once

#include "core/queue/queue_store.h"

#include <cstdint>
#include <string>

namespace tw::test {

// A row whose every field follows from its id, so that a reader can tell each stored row from
// the id alone: non-UTF-8 path bytes, sizes beyond 32 bits, every direction, kind and state.
inline QueueRecord NumberedRecord(std::int64_t id) {
    QueueRecord r;
    queue::TransferItem& i = r.item;
    i.id = id;
    i.group = id / 10;
    i.direction = id % 2 ? queue::Direction::Upload : queue::Direction::Download;
    i.kind = queue::ItemKind(id % 3);
    i.localPath = "/home/u/caf\xe9-" + std::to_string(id);
    i.remotePath = "/pub/\xff\xfe-" + std::to_string(id);
    i.size = (std::uint64_t(1) << 40) + std::uint64_t(id);
    i.transferred = std::uint64_t(id) * 7;
    i.state = queue::ItemState(id % 6 == 1 ? 0 : id % 6); // never Running: it loads as Stopped
    i.error = "550 no\xa0" + std::to_string(id);
    i.errorCode = 12000 + int(id % 100);
    i.retries = int(id % 4);
    i.sourceTime = 1'700'000'000 + id;
    i.sourceSize = i.size;
    i.partialPath = "/home/u/.caf\xe9-" + std::to_string(id) + ".part";
    r.account = {QStringLiteral("ftp.example.org"), 2121, QStringLiteral("anne"), 2};
    return r;
}

} // namespace tw::test
