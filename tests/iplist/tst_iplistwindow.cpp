#include <QTest>
class TestIpListWindow : public QObject { Q_OBJECT };
QTEST_MAIN(TestIpListWindow)
#include "tst_iplistwindow.moc"
