// The clock rules of the scheduled start and the open-log-file choices, as tables.

#include "app/openlogfile.h"
#include "app/schedule.h"

#include <QLocale>
#include <QtTest>

using namespace netvane;

class TestSchedule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pickedText_data();
    void pickedText();
    void due_data();
    void due();
    void logFileNames_data();
    void logFileNames();
};

void TestSchedule::pickedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("month first") << u"03/04/2027 09:05:00"_qs << true;
    QTest::newRow("leap day") << u"02/29/2028 00:00:00"_qs << true;
    QTest::newRow("02/29 of a common year") << u"02/29/2027 00:00:00"_qs << false;
    QTest::newRow("02/30") << u"02/30/2027 12:00:00"_qs << false;
    QTest::newRow("13th month") << u"13/01/2027 12:00:00"_qs << false;
    QTest::newRow("hour 24") << u"01/01/2027 24:00:00"_qs << false;
    QTest::newRow("not a date") << u"tomorrow"_qs << false;
}

void TestSchedule::pickedText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    // Whatever the user's locale, the text is month first.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::optional<ScheduleMinute> at = ReadScheduleText(text);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(at.has_value(), valid);
    if (valid)
        QCOMPARE(ScheduleText(*at), text); // written back the same
    if (text.startsWith(u"03/04"))
        QCOMPARE(at->month, 3);
}

void TestSchedule::due_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("due");
    const auto t = [](int y, int mo, int d, int h, int mi, int s = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    };
    QTest::newRow("a minute early") << u"06/15/2027 10:30:00"_qs << t(2027, 6, 15, 10, 29, 59) << false;
    QTest::newRow("in the minute") << u"06/15/2027 10:30:00"_qs << t(2027, 6, 15, 10, 30, 0) << true;
    QTest::newRow("seconds do not count") << u"06/15/2027 10:30:00"_qs << t(2027, 6, 15, 10, 30, 59) << true;
    QTest::newRow("later hour, smaller minute") << u"06/15/2027 10:30:00"_qs << t(2027, 6, 15, 11, 0) << true;
    QTest::newRow("earlier day, later hour") << u"06/15/2027 10:30:00"_qs << t(2027, 6, 14, 23, 59) << false;
    QTest::newRow("31 December 23:59 on 1 January")
        << u"12/31/2026 23:59:00"_qs << t(2027, 1, 1, 0, 0) << true;
}

void TestSchedule::due()
{
    QFETCH(QString, at);
    QFETCH(QDateTime, now);
    QFETCH(bool, due);
    QCOMPARE(ScheduleDue(now, *ReadScheduleText(at)), due);
}

void TestSchedule::logFileNames_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("associated");
    QTest::newRow("csv any case") << u"/home/u/LOG.Csv"_qs << u"/home/u/LOG.Csv"_qs << u"/home/u/"_qs << true;
    QTest::newRow("cs is no csv") << u"/home/u/log.cs"_qs << u"/home/u/log.cs"_qs << u"/home/u/"_qs << false;
    QTest::newRow("cut at line feed") << u"/tmp/a.csv\n/tmp/b.txt"_qs << u"/tmp/a.csv"_qs << u"/tmp/"_qs << true;
    QTest::newRow("cut at NUL") << u"/tmp/a.txt"_qs + QChar(0) + u"x.csv"_qs << u"/tmp/a.txt"_qs << u"/tmp/"_qs << false;
    QTest::newRow("folder is its own part") << u"/tmp/dir/"_qs << u"/tmp/dir/"_qs << u"/tmp/dir/"_qs << false;
    QTest::newRow("no folder") << u"log.csv"_qs << u"log.csv"_qs << QString() << true;
}

void TestSchedule::logFileNames()
{
    QFETCH(QString, chosen);
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(bool, associated);
    const QString cut = CutChosenName(chosen);
    QCOMPARE(cut, path);
    QCOMPARE(FolderPart(cut), folder);
    QCOMPARE(ViewerFor(cut) == LogViewer::Associated, associated);
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
