#include <QtTest>
class TstFrames : public QObject { Q_OBJECT private slots: void nothing() {} };
QTEST_MAIN(TstFrames)
#include "tst_frames.moc"
