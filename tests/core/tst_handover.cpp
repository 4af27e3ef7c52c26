// HandOver: work from a worker thread done on the owner's thread while the worker waits, and
// the wait ended by a cancel or by the owner going away.
#include "core/platform/handover.h"
#include "support/datatable.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

class TestHandOver : public QObject
{
    Q_OBJECT
private slots:
    void ownThreadRunsAtOnceUnlessCancelled()
    {
        QObject owner;
        HandOver handOver;
        int runs = 0;
        QVERIFY(handOver.run(&owner, [&] { ++runs; }));
        QCOMPARE(runs, 1);
        handOver.cancel();
        QVERIFY(!handOver.run(&owner, [&] { ++runs; }));
        QCOMPARE(runs, 1);
    }

    void handOver_data()
    {
        DataTable::columns<QString, bool>("whileWaiting", "ran");
        QTest::newRow("owner's thread runs it") << "nothing" << true;
        QTest::newRow("cancelled while waiting") << "cancel" << false;
        QTest::newRow("owner destroyed while waiting") << "destroy owner" << false;
        QTest::newRow("cancelled while it runs: waited for") << "cancel from the work" << true;
    }
    void handOver()
    {
        const auto [whileWaiting, ran] = DataTable::fetch<QString, bool>("whileWaiting", "ran");
        auto *owner = new QObject;
        HandOver handOver;
        std::atomic_bool calling{false};
        std::atomic_bool workDone{false};
        std::atomic<QThread *> workThread{nullptr};
        bool result = !ran;
        // A failed check leaves no worker behind: the cancel ends any wait.
        const auto end = [&](QThread *thread) {
            handOver.cancel();
            thread->wait();
            delete thread;
        };
        std::unique_ptr<QThread, decltype(end)> worker(
            QThread::create([&, whileWaiting = whileWaiting] {
                calling = true;
                result = handOver.run(owner, [&] {
                    workThread = QThread::currentThread();
                    if (whileWaiting == "cancel from the work")
                        handOver.cancel();
                    workDone = true;
                });
            }),
            end);
        worker->start();
        // Without handling events, so that the work stays queued while the worker waits.
        while (!calling)
            QThread::msleep(1);
        QThread::msleep(50);
        if (whileWaiting == "cancel")
            handOver.cancel();
        if (whileWaiting == "destroy owner") {
            delete owner;
            owner = nullptr;
        }
        // Events now run: a call that was given up must not run the work late.
        QTRY_VERIFY(worker->isFinished());
        QTest::qWait(10);
        QCOMPARE(result, ran);
        QCOMPARE(workDone.load(), ran);
        if (ran)
            QCOMPARE(workThread.load(), QThread::currentThread());
        delete owner;
    }
};

QTEST_GUILESS_MAIN(TestHandOver)
#include "tst_handover.moc"
