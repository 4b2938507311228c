#include "CCirQueue.h"
#include "Fifo_Siso.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {
// Byte expected at a given stream offset; varies so that misplaced bytes are caught.
inline char streamByte(unsigned long long i)
{
    return static_cast<char>((i * 131u) ^ (i >> 9));
}

QByteArray streamBytes(unsigned long long from, int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int k = 0; k < n; ++k)
        b[k] = streamByte(from + k);
    return b;
}

// Pushes `total` bytes from one thread and checks every byte on another, through
// front/pop_front in chunks of varying size.
bool runProducerConsumer(IBuffer& q, unsigned long long total, unsigned int maxChunk, QString& why)
{
    std::atomic<bool> failed{false};
    std::thread producer([&]() {
        unsigned long long sent = 0;
        unsigned int seed = 1;
        char chunk[65536];
        while (sent < total && !failed) {
            seed = seed * 1103515245u + 12345u;
            unsigned int n = 1 + (seed >> 8) % maxChunk;
            if (n > total - sent)
                n = static_cast<unsigned int>(total - sent);
            for (unsigned int k = 0; k < n; ++k)
                chunk[k] = streamByte(sent + k);
            while (q.push_back(chunk, n) != 0) {
                if (failed)
                    return;
                std::this_thread::yield();
            }
            sent += n;
        }
    });
    unsigned long long got = 0;
    unsigned int seed = 7;
    while (got < total) {
        seed = seed * 1103515245u + 12345u;
        unsigned long long avail = q.buffer_usage();
        if (avail == 0) {
            std::this_thread::yield();
            continue;
        }
        unsigned int n = 1 + (seed >> 8) % q.max_front_size();
        if (n > avail)
            n = static_cast<unsigned int>(avail);
        const char* view = nullptr;
        if (q.front(view, n) != 0) {
            why = QStringLiteral("front failed at %1").arg(got);
            failed = true;
            break;
        }
        for (unsigned int k = 0; k < n; ++k) {
            if (view[k] != streamByte(got + k)) {
                why = QStringLiteral("byte %1 differs").arg(got + k);
                failed = true;
                break;
            }
        }
        if (failed || q.pop_front(n) != 0) {
            failed = true;
            break;
        }
        got += n;
    }
    producer.join();
    return !failed && q.bytes_output() == total;
}
} // namespace

class tst_Queues : public QObject
{
    Q_OBJECT
private slots:
    void cirPushLimit();
    void cirWrappedFront();
    void cirPopBeyondHeld();
    void cirStatusCodes_data();
    void cirStatusCodes();
    void cirFrontBeforeInitial();
    void cirBlockReader();
    void cirResetAndStatistics();
    void fifoRounding_data();
    void fifoRounding();
    void fifoStatusCodes();
    void fifoFetchFrontStopsAtRingEnd();
    void percentOfUsage();
    void producerConsumer_data();
    void producerConsumer();
};

void tst_Queues::cirPushLimit()
{
    CCirQueue q;
    QCOMPARE(q.Initial(16, 4), 0);
    const QByteArray d = streamBytes(0, 12);
    QCOMPARE(q.Push(d.constData(), 11), 0);
    QCOMPARE(q.Push(d.constData() + 11, 1), -3);
    QCOMPARE(q.Used(), 11LL);
}

void tst_Queues::cirWrappedFront()
{
    CCirQueue q;
    QCOMPARE(q.Initial(16, 4), 0);
    const QByteArray d = streamBytes(0, 20);
    QCOMPARE(q.Push(d.constData(), 10), 0);
    QCOMPARE(q.Pop(9), 0);
    QCOMPARE(q.Push(d.constData() + 10, 10), 0); // ring bytes 10..15 and 0..3
    QCOMPARE(q.Pop(5), 0);                      // read position 14
    const char* view = nullptr;
    QCOMPARE(q.Front(view, 4), 0);
    // Stream bytes 14..17 lie at ring positions 14, 15, 0, 1.
    QCOMPARE(QByteArray(view, 4), d.mid(14, 4));
    QCOMPARE(q.Front(view, 5), -1);
    int position = -1;
    QCOMPARE(q.Front(view, 2, position), 0);
    QCOMPARE(position, 14);
    QCOMPARE(QByteArray(view, 2), d.mid(14, 2));
}

void tst_Queues::cirPopBeyondHeld()
{
    CCirQueue q;
    QCOMPARE(q.Initial(64, 8), 0);
    const QByteArray d = streamBytes(0, 5);
    QCOMPARE(q.Push(d.constData(), 5), 0);
    QCOMPARE(q.Pop(6), -2);
    QCOMPARE(q.Used(), 5LL);
    QCOMPARE(q.bytes_output(), 0ULL);
    const char* view = nullptr;
    QCOMPARE(q.Front(view, 5), 0);
    QCOMPARE(QByteArray(view, 5), d);
}

void tst_Queues::cirStatusCodes_data()
{
    QTest::addColumn<int>("op"); // 0 Initial, 1 Push, 2 Pop, 3 Front
    QTest::addColumn<long long>("arg1");
    QTest::addColumn<int>("arg2");
    QTest::addColumn<int>("expected");
    QTest::newRow("initial zero size") << 0 << 0LL << 4 << -1;
    QTest::newRow("initial negative size") << 0 << -5LL << 4 << -1;
    QTest::newRow("initial zero front") << 0 << 64LL << 0 << -1;
    QTest::newRow("push zero") << 1 << 0LL << 0 << -2;
    QTest::newRow("push negative") << 1 << -1LL << 0 << -2;
    QTest::newRow("pop zero") << 2 << 0LL << 0 << -1;
    QTest::newRow("pop negative") << 2 << -3LL << 0 << -1;
    QTest::newRow("front more than held") << 3 << 5LL << 0 << -1;
    QTest::newRow("front more than max front") << 3 << 9LL << 0 << -1;
}

void tst_Queues::cirStatusCodes()
{
    QFETCH(int, op);
    QFETCH(long long, arg1);
    QFETCH(int, arg2);
    QFETCH(int, expected);
    CCirQueue q;
    QCOMPARE(q.Initial(64, 8), 0);
    const QByteArray d = streamBytes(0, 32);
    QCOMPARE(q.Push(d.constData(), 4), 0);
    const char* view = nullptr;
    int rc = 0;
    switch (op) {
    case 0: rc = q.Initial(arg1, arg2); break;
    case 1: rc = q.Push(d.constData(), static_cast<int>(arg1)); break;
    case 2: rc = q.Pop(static_cast<int>(arg1)); break;
    case 3: rc = q.Front(view, static_cast<int>(arg1)); break;
    }
    QCOMPARE(rc, expected);
}

void tst_Queues::cirFrontBeforeInitial()
{
    CCirQueue q;
    const char* view = nullptr;
    QCOMPARE(q.Front(view, 0), -1);
    QCOMPARE(q.Front(view, 4), -1);
    QCOMPARE(view, nullptr);
    QCOMPARE(q.Push("ab", 2), -1);
    QCOMPARE(q.Reset(), -1);
    QCOMPARE(q.Memset(1), -1);
    QCOMPARE(q.max_front_size(), 1040u);
}

void tst_Queues::cirBlockReader()
{
    CCirQueue q;
    QCOMPARE(q.Initial(64, 8), 0);
    QCOMPARE(q.GetBlockPointer(7), nullptr); // 64 is no multiple of 7
    const QByteArray d = streamBytes(0, 40);
    QCOMPARE(q.Push(d.constData(), 20), 0);
    const char* p = q.GetBlockPointer(16);
    QVERIFY(p);
    QCOMPARE(QByteArray(p, 16), d.left(16));
    QCOMPARE(q.GetBlockPointer(16), nullptr); // only 4 more bytes
    // The block reader is independent of Pop: the bytes are still held.
    QCOMPARE(q.Used(), 20LL);

    // A reader that fell behind by more than size - max front is moved forward.
    CCirQueue r;
    QCOMPARE(r.Initial(64, 8), 0);
    const QByteArray e = streamBytes(0, 64);
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(r.Push(e.constData(), 16), 0);
        QCOMPARE(r.Pop(16), 0);
    }
    long long lost = -1;
    const char* b = r.GetBlockPointer(8, lost);
    QCOMPARE(lost, 8LL); // 64 written, 56 may be kept
    QVERIFY(b);
    const char* view = nullptr;
    unsigned int n = r.fetch_front(view, 8);
    QCOMPARE(n, 8u);
    QCOMPARE(view, b + 8);
}

void tst_Queues::cirResetAndStatistics()
{
    CCirQueue q;
    QCOMPARE(q.initialize(64, 8, nullptr), 0);
    const QByteArray d = streamBytes(0, 20);
    QCOMPARE(q.push_back(d.constData(), 20), 0);
    QCOMPARE(q.pop_front(4), 0);
    QCOMPARE(q.buffer_usage(), 16ULL);
    QCOMPARE(q.buffer_free(), 48ULL);
    QCOMPARE(q.bytes_input(), 20ULL);
    QCOMPARE(q.bytes_output(), 4ULL);
    QCOMPARE(q.buffer_size(), 64ULL);
    QCOMPARE(q.max_front_size(), 8u);
    QCOMPARE(q.input_bytes(), 0ULL);
    QCOMPARE(q.reset(), 0);
    QCOMPARE(q.buffer_usage(), 0ULL);
    QCOMPARE(q.bytes_input(), 0ULL);
    QCOMPARE(q.Used(), 0LL);
    const char* view = nullptr;
    QCOMPARE(q.front(view, 1), -1);
}

void tst_Queues::fifoRounding_data()
{
    QTest::addColumn<unsigned long long>("asked");
    QTest::addColumn<unsigned long long>("size");
    QTest::newRow("1000 rounds up") << 1000ULL << 1024ULL;
    QTest::newRow("1024 stays") << 1024ULL << 1024ULL;
    QTest::newRow("1025 rounds up") << 1025ULL << 2048ULL;
    QTest::newRow("1 stays") << 1ULL << 1ULL;
}

void tst_Queues::fifoRounding()
{
    QFETCH(unsigned long long, asked);
    QFETCH(unsigned long long, size);
    Fifo_Siso f;
    QCOMPARE(f.initialize(asked, 16, nullptr), 0);
    QCOMPARE(f.buffer_size(), size);
    QCOMPARE(f.max_front_size(), 16u);
}

void tst_Queues::fifoStatusCodes()
{
    Fifo_Siso f;
    const char* view = nullptr;
    QCOMPARE(f.push_back("a", 1), 3);
    QCOMPARE(f.pop_front(1), 3);
    QCOMPARE(f.front(view, 1), 3);
    QCOMPARE(f.percent_of_usage(), 0.0f);

    QCOMPARE(f.initialize(16, 0, nullptr), 0); // no front buffer
    QCOMPARE(f.max_front_size(), 0u);
    const QByteArray d = streamBytes(0, 32);
    QCOMPARE(f.push_back(d.constData(), 17), 6);
    QCOMPARE(f.push_back(d.constData(), 12), 0);
    QCOMPARE(f.pop_front(13), 2);
    QCOMPARE(f.front(view, 13), 5);
    QCOMPARE(f.pop_front(10), 0);
    QCOMPARE(f.push_back(d.constData() + 12, 10), 0); // wraps
    QCOMPARE(f.front(view, 6), 0);                    // 6 bytes up to the ring's end
    QCOMPARE(QByteArray(view, 6), d.mid(10, 6));
    QCOMPARE(f.front(view, 8), 2);                    // crosses the wrap, no front buffer

    Fifo_Siso g;
    QCOMPARE(g.initialize(16, 4, nullptr), 0);
    QCOMPARE(g.push_back(d.constData(), 14), 0);
    QCOMPARE(g.pop_front(14), 0);
    QCOMPARE(g.push_back(d.constData(), 6), 0);
    QCOMPARE(g.front(view, 4), 0);
    QCOMPARE(QByteArray(view, 4), d.left(4));
    QCOMPARE(g.front(view, 5), 2); // larger than the front buffer
}

void tst_Queues::fifoFetchFrontStopsAtRingEnd()
{
    Fifo_Siso f;
    const char* view = nullptr;
    QCOMPARE(f.fetch_front(view, 4), 0u);
    QCOMPARE(view, nullptr);
    QCOMPARE(f.initialize(16, 4, nullptr), 0);
    const QByteArray d = streamBytes(0, 32);
    QCOMPARE(f.push_back(d.constData(), 12), 0);
    QCOMPARE(f.fetch_front(view, 12), 12u);
    QCOMPARE(f.pop_front(12), 0);
    QCOMPARE(f.push_back(d.constData() + 12, 10), 0);
    QCOMPARE(f.fetch_front(view, 10), 4u); // up to the end of the ring
    QCOMPARE(QByteArray(view, 4), d.mid(12, 4));
    QCOMPARE(f.fetch_front(view, 10), 6u); // continues at the start
    QCOMPARE(QByteArray(view, 6), d.mid(16, 6));
    QCOMPARE(f.fetch_front(view, 10), 0u); // nothing new
    // The fetch cursor never drops data.
    QCOMPARE(f.buffer_usage(), 10ULL);
}

void tst_Queues::percentOfUsage()
{
    const QByteArray d = streamBytes(0, 8);
    CCirQueue c;
    QCOMPARE(c.Initial(32, 4), 0);
    QCOMPARE(c.Push(d.constData(), 8), 0);
    QCOMPARE(c.percent_of_usage(), 25.0f);
    Fifo_Siso f;
    QCOMPARE(f.initialize(32, 4, nullptr), 0);
    QCOMPARE(f.push_back(d.constData(), 8), 0);
    QCOMPARE(f.percent_of_usage(), 25.0f);
}

void tst_Queues::producerConsumer_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("CCirQueue") << QStringLiteral("cir");
    QTest::newRow("Fifo_Siso") << QStringLiteral("fifo");
}

void tst_Queues::producerConsumer()
{
    QFETCH(QString, kind);
    std::unique_ptr<IBuffer> q;
    if (kind == QLatin1String("cir"))
        q = std::make_unique<CCirQueue>();
    else
        q = std::make_unique<Fifo_Siso>();
    QCOMPARE(q->initialize(1 << 20, 4096, nullptr), 0);
    QString why;
    const unsigned long long total = 300ULL << 20;
    QVERIFY2(runProducerConsumer(*q, total, 6000, why), qPrintable(why));
    QCOMPARE(q->bytes_input(), total);
    QCOMPARE(q->buffer_usage(), 0ULL);
}

QTEST_APPLESS_MAIN(tst_Queues)
#include "tst_queues.moc"
