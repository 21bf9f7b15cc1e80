// Writes numbered rows into the queue of the folder given, one batch after the other, and
// prints each batch's number once it is committed, until it is killed.
#include "queue_test_items.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const int batchSize = std::atoi(argv[2]);
    tw::QueueStore store(QString::fromLocal8Bit(argv[1]));
    if (!store.open().persistent)
        return 1;
    for (std::int64_t batch = 0; batch < 100000; ++batch) {
        tw::QueueChanges changes;
        for (int i = 0; i < batchSize; ++i)
            changes.upserts.push_back(tw::test::NumberedRecord(batch * batchSize + i));
        // The first row is rewritten by every batch: its transferred count is the batch.
        tw::QueueRecord first = tw::test::NumberedRecord(0);
        first.item.transferred = std::uint64_t(batch);
        changes.upserts.push_back(first);
        if (!store.save(changes))
            return 1;
        std::printf("%lld\n", static_cast<long long>(batch));
        std::fflush(stdout);
    }
    return 0;
}
