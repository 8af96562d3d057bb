#include <QtTest>
class TestLimitsSim : public QObject {
    Q_OBJECT
};
QTEST_MAIN(TestLimitsSim)
#include "tst_limits_sim.moc"
