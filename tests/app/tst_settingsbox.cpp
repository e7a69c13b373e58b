// The settings boxes of the main window, offscreen: their items, edits, the checks
// at Start and the two sequence dialogs, driven through their named controls.
#include "app/formtester.h"
#include "ping/pingpanel.h"
#include "ping/pingsettingsbox.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace netvane;

using IntList = QList<int>;

class TestSettingsBox final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startingItems();
    void edits();
    void totalLabel();
    void checksAtStart_data();
    void checksAtStart();
    void validStartRuns();
    void sizeDialog_data();
    void sizeDialog();
    void sizeDialogControls();
    void typedSizeLists();
    void intervalDialog();
    void noCompletion_data();
    void noCompletion();
    void sequenceDialogsKeepTheirEntries();
    void menusShowNoDashItems();
    void wholeAtTheSmallestSize();

private:
    QComboBox *combo(const char *name) const
    {
        return m_window->findChild<QComboBox *>(QString::fromLatin1(name));
    }
    // Runs `answer` on the next modal dialog once it is up; `answered` tells if it ran.
    void onNextDialog(std::function<void(QDialog *)> answer);
    static void setBox(QDialog *dialog, const char *name, const QString &text)
    {
        auto *box = dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
        QVERIFY2(box, name);
        box->setText(text);
    }
    static void click(QDialog *dialog, const char *name)
    {
        auto *button = dialog->findChild<QAbstractButton *>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        button->click();
    }

    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
    bool m_answered = false;
};

void TestSettingsBox::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
    m_window = std::make_unique<FormTester>();
    m_window->findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    m_window->show();
    m_answered = false;
}

void TestSettingsBox::cleanup()
{
    if (m_window && m_window->pingTest()->isRunning()) {
        m_window->CommandStop_Click();
        QSignalSpy finished(m_window->pingTest(), &PingTest::finished);
        QVERIFY(finished.wait(5000));
    }
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

void TestSettingsBox::onNextDialog(std::function<void(QDialog *)> answer)
{
    auto *poll = new QTimer(this);
    poll->setInterval(10);
    connect(poll, &QTimer::timeout, this, [this, poll, answer] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        m_answered = true;
        answer(dialog);
    });
    poll->start();
}

void TestSettingsBox::startingItems()
{
    const struct {
        const char *name;
        int count;
        int index;
        QString text;
    } boxes[] = {
        {"ComboInv", 79, 14, u"600  Milliseconds"_qs},
        {"ComboTimeOut", 27, 14, u"600  Milliseconds"_qs},
        {"ComboSize", 16, 2, u"32  Bytes"_qs},
        {"ComboTimes", 19, 0, u"Continually"_qs},
        {"ComboRepIP", 100, 0, u"1"_qs},
    };
    for (const auto &b : boxes) {
        QComboBox *c = combo(b.name);
        QVERIFY2(c, b.name);
        QVERIFY(c->isEditable());
        QCOMPARE(c->count(), b.count);
        QCOMPARE(c->currentIndex(), b.index);
        QCOMPARE(c->currentText(), b.text);
        QVERIFY(c->isVisible());
    }
    QCOMPARE(m_window->findChild<QPushButton *>(u"Command9"_qs)->text(), u"A"_qs);
    QCOMPARE(m_window->findChild<QPushButton *>(u"Command13"_qs)->text(), u"A"_qs);
    QVERIFY(m_window->findChild<QLabel *>(u"Label1_28"_qs)->text().isEmpty());
    // The boxes sit in the settings frame.
    QVERIFY(m_window->findChild<QWidget *>(u"Frame1_1"_qs)->isAncestorOf(combo("ComboInv")));
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestSettingsBox::edits()
{
    // A zero interval is refused when its editing ends and the 600 ms entry put back;
    // not while it is typed.
    const auto edit = [this](const char *name, const QString &text) {
        QLineEdit *line = combo(name)->lineEdit();
        line->selectAll();
        QTest::keyClicks(line, text);
        QVERIFY(m_ui->boxes.isEmpty());
        QTest::keyClick(line, Qt::Key_Return);
    };
    edit("ComboInv", u"abc"_qs);
    QCOMPARE(m_ui->firstLines(), QStringList{u"Inalid Test Interval."_qs});
    QCOMPARE(m_ui->boxes.first().icon, BoxIcon::Critical);
    QCOMPARE(m_ui->boxes.first().title, ProgramTitle);
    QCOMPARE(combo("ComboInv")->currentText(), u"600  Milliseconds"_qs);
    m_ui->clear();
    combo("ComboInv")->setEditText(u"1500"_qs);
    QVERIFY(m_ui->boxes.isEmpty());
    QCOMPARE(combo("ComboInv")->currentText(), u"1500"_qs);

    edit("ComboTimeOut", u"0"_qs);
    QCOMPARE(m_ui->firstLines(), QStringList{u"Inalid Time Out Value."_qs});
    m_ui->clear();
    edit("ComboTimes", u"continually"_qs);
    QCOMPARE(m_ui->firstLines(), QStringList{u"Inalid Test Times."_qs});
    m_ui->clear();
    edit("ComboTimes", u"Continually"_qs); // the word is typed letter by letter, unrefused
    QVERIFY(m_ui->boxes.isEmpty());
    m_ui->clear();
    combo("ComboRepIP")->setEditText(u"0"_qs); // only the total follows a repeat edit
    QVERIFY(m_ui->boxes.isEmpty());

    // Choosing the step-up item plans one pass for each of its 1000 sizes.
    combo("ComboRepIP")->setEditText(u"1"_qs);
    combo("ComboSize")->setCurrentIndex(14);
    QCOMPARE(combo("ComboSize")->currentText(), u"Step up with 32 Bytes"_qs);
    QCOMPARE(combo("ComboTimes")->currentText(), u"1000"_qs);
    QCOMPARE(m_window->findChild<QLabel *>(u"Label1_28"_qs)->text(), u"Total: 1000"_qs);
    combo("ComboSize")->setCurrentIndex(13);
    QCOMPARE(combo("ComboTimes")->currentText(), u"1000"_qs);
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestSettingsBox::totalLabel()
{
    auto *total = m_window->findChild<QLabel *>(u"Label1_28"_qs);
    combo("ComboRepIP")->setEditText(u"3"_qs);
    QVERIFY(total->text().isEmpty());
    combo("ComboTimes")->setCurrentIndex(4); // "8"
    QCOMPARE(total->text(), u"Total: 24"_qs);
    combo("ComboRepIP")->setCurrentIndex(9);
    QCOMPARE(total->text(), u"Total: 80"_qs);
    combo("ComboTimes")->setCurrentIndex(0);
    QVERIFY(total->text().isEmpty());
}

void TestSettingsBox::checksAtStart_data()
{
    QTest::addColumn<QStringList>("texts"); // interval, size, time-out, times, repeat
    QTest::addColumn<QString>("message");
    // Each row makes one check refuse; later boxes are bad too, so a second message
    // would show that the checks went on after a refusal.
    QTest::newRow("interval") << QStringList{u"5 to 1"_qs, u"0 Bytes"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
                              << u"Inalid Test Interval."_qs;
    QTest::newRow("interval below 1 ms")
        << QStringList{u"0.4"_qs, u"0 Bytes"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
        << u"Inalid Test Interval."_qs;
    QTest::newRow("size") << QStringList{u"600"_qs, u"16,,32 /1"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
                          << u"Invalid 0 value in the 'Values'."_qs;
    // A size that is none is refused, whether a word or a number below 1.
    QTest::newRow("size abc") << QStringList{u"600"_qs, u"abc"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
                              << u"Inalid Buffer Size Value."_qs;
    QTest::newRow("size 0") << QStringList{u"600"_qs, u"0 Bytes"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
                            << u"Inalid Buffer Size Value."_qs;
    QTest::newRow("typed steps that never end")
        << QStringList{u"600"_qs, u"100 to 32, 32++, 1"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
        << u"Inalid Send Buffer Size."_qs;
    QTest::newRow("time-out") << QStringList{u"600"_qs, u"32"_qs, u"-100"_qs, u"0"_qs, u"0"_qs}
                              << u"Inalid Time Out Value."_qs;
    QTest::newRow("test times") << QStringList{u"600"_qs, u"32"_qs, u"600"_qs, u"-4"_qs, u"0"_qs}
                                << u"Inalid Test Times."_qs;
    QTest::newRow("repeat") << QStringList{u"600"_qs, u"32"_qs, u"600"_qs, u"4"_qs, u"0"_qs}
                            << u"Inalid Value of Repeat Per IP."_qs;
    QTest::newRow("negative repeat")
        << QStringList{u"600"_qs, u"32"_qs, u"600"_qs, u"4"_qs, u"-2"_qs}
        << u"Inalid Value of Repeat Per IP."_qs;
}

void TestSettingsBox::checksAtStart()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, message);
    const char *names[] = {"ComboInv", "ComboSize", "ComboTimeOut", "ComboTimes", "ComboRepIP"};
    for (int i = 0; i < 5; ++i)
        combo(names[i])->setEditText(texts.at(i));
    m_ui->clear(); // the edits' own messages

    m_window->findChild<QPushButton *>(u"CommandStart"_qs)->click();
    QCOMPARE(m_ui->firstLines(), QStringList{message});
    QVERIFY2(m_ui->texts().first().contains(u"\n\n"_qs), "a refusal says what is allowed");
    QCOMPARE(m_ui->boxes.first().icon, BoxIcon::Critical);
    QCOMPARE(m_ui->boxes.first().title, ProgramTitle);
    QVERIFY(!m_window->pingTest()->isRunning());
    QVERIFY(!m_window->isBusy());

    const PingSettings &s = m_window->settingsBox()->settings();
    if (message.contains(u"Time Out"))
        QCOMPARE(s.timeout, 500);
    if (message.contains(u"Test Times"))
        QCOMPARE(s.testTimes, 0);
    if (message.contains(u"Repeat Per IP"))
        QCOMPARE(s.repeatPerTarget, 0);
    if (message.contains(u"Size") || message.contains(u"Values")) {
        QVERIFY(!s.sizePlan.active());
        QCOMPARE(s.sizePlan.sizes, IntList{32});
    }
}

void TestSettingsBox::validStartRuns()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
    combo("ComboInv")->setEditText(u"20"_qs);
    combo("ComboSize")->setEditText(u"48 Bytes"_qs);
    combo("ComboTimeOut")->setEditText(u"700  Milliseconds"_qs);
    combo("ComboTimes")->setEditText(u"3"_qs);
    combo("ComboRepIP")->setEditText(u"2"_qs);
    QVERIFY(m_ui->boxes.isEmpty());
    QSignalSpy finished(m_window->pingTest(), &PingTest::finished);
    m_window->CommandStart_Click();
    QVERIFY(m_ui->boxes.isEmpty());
    QVERIFY(finished.wait(10000));
    PingTest *test = m_window->pingTest();
    QCOMPARE(test->interval, 20);
    QCOMPARE(test->repeatPerTarget, 2);
    QCOMPARE(test->testTimes, 3);
    QCOMPARE(PingTimeout, 700);
    QCOMPARE(test->log().size(), 6);
    QCOMPARE(test->log().at(5).size, 48);
}

void TestSettingsBox::sizeDialog_data()
{
    QTest::addColumn<QStringList>("fields"); // name=value pairs; Option2 set when TextMV given
    QTest::addColumn<QString>("message");    // the OK button's refusal, if any
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<QString>("timesText");
    QTest::newRow("defaults") << QStringList{} << QString() << u"32 to 32000, 32++, 1"_qs
                              << u"1000"_qs;
    QTest::newRow("repeat 40 overflows the passes")
        << QStringList{u"TextIRe=40"_qs} << QString() << u"32 to 32000, 32++, 40"_qs
        << u"Continually"_qs;
    QTest::newRow("same ends") << QStringList{u"TextIFrom=100"_qs, u"TextITo=100"_qs}
                               << u"Invalid Value of 'Send buffer size'."_qs << u"32  Bytes"_qs
                               << u"Continually"_qs;
    QTest::newRow("increment too large")
        << QStringList{u"TextIFrom=32"_qs, u"TextITo=1000"_qs, u"TextIIncre=1000"_qs}
        << u"Invalid Value of 'Increment  value', the max size is 968."_qs << u"32  Bytes"_qs
        << u"Continually"_qs;
    QTest::newRow("values with outer commas") << QStringList{u"TextMV=,16,32,"_qs} << QString()
                                              << u"16,32 /4"_qs << u"Continually"_qs;
    QTest::newRow("empty value") << QStringList{u"TextMV=16,,32"_qs}
                                 << u"Invalid 0 value in the 'Values'."_qs << u"32  Bytes"_qs
                                 << u"Continually"_qs;
}

void TestSettingsBox::sizeDialog()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    QFETCH(QString, sizeText);
    QFETCH(QString, timesText);
    bool stayedOpen = false;
    onNextDialog([&](QDialog *dialog) {
        QCOMPARE(dialog->objectName(), u"DialogAdvanceSize"_qs);
        QCOMPARE(dialog->windowTitle(), u"Advanced Send Buffer Size Setting"_qs);
        for (const QString &field : fields) {
            const QStringList pair = field.split(u'=');
            setBox(dialog, pair[0].toLatin1().constData(), pair[1]);
            if (pair[0] == u"TextMV")
                click(dialog, "Option2");
        }
        click(dialog, "OKButton");
        if (dialog->isVisible()) {
            stayedOpen = true;
            click(dialog, "CancelButton");
        }
    });
    m_window->findChild<QPushButton *>(u"Command13"_qs)->click();
    QVERIFY(m_answered);
    QCOMPARE(stayedOpen, !message.isEmpty());
    QCOMPARE(combo("ComboSize")->currentText(), sizeText);
    QCOMPARE(combo("ComboTimes")->currentText(), timesText);
    if (!message.isEmpty())
        QCOMPARE(m_ui->texts(), QStringList{message});
    else if (sizeText.endsWith(u", 40"))
        QCOMPARE(m_ui->firstLines(), QStringList{u"Overflow - Inalid Send Buffer Size."_qs});
    else
        QVERIFY(m_ui->boxes.isEmpty());

    // What the dialog wrote is what the start reads back.
    m_ui->clear();
    if (sizeText == u"16,32 /4") {
        QVERIFY(m_window->settingsBox()->ValidateAll());
        QCOMPARE(m_window->settingsBox()->settings().sizePlan.sizes, (IntList{16, 32}));
        QCOMPARE(m_window->settingsBox()->settings().sizePlan.repeat, 4);
    }
}

void TestSettingsBox::sizeDialogControls()
{
    onNextDialog([&](QDialog *dialog) {
        const QStringList defaults{u"TextIFrom=32"_qs,  u"TextITo=32000"_qs,
                                   u"TextIIncre=32"_qs, u"TextIRe=1"_qs,
                                   u"TextMV=16,32,64,128,1024"_qs, u"TextMRe=4"_qs};
        for (const QString &d : defaults) {
            const QStringList pair = d.split(u'=');
            QCOMPARE(dialog->findChild<QLineEdit *>(pair[0])->text(), pair[1]);
        }
        QCOMPARE(dialog->findChild<QLabel *>(u"Label1"_qs)->text(),
                 u"Send buffer size:       from"_qs);
        QCOMPARE(dialog->findChild<QLabel *>(u"Label12"_qs)->text(), u"(Separate by Comma)"_qs);
        QCOMPARE(dialog->findChild<QRadioButton *>(u"Option2"_qs)->text(), u"Multiple Size: "_qs);
        // The key filters: the values box takes digits and commas, the others digits.
        auto *values = dialog->findChild<QLineEdit *>(u"TextMV"_qs);
        values->clear();
        QTest::keyClicks(values, u"1a6,3 2."_qs);
        QCOMPARE(values->text(), u"16,32"_qs);
        QTest::keyClick(values, Qt::Key_Backspace);
        QCOMPARE(values->text(), u"16,3"_qs);
        auto *repeat = dialog->findChild<QLineEdit *>(u"TextMRe"_qs);
        repeat->clear();
        QTest::keyClicks(repeat, u"2,-5"_qs);
        QCOMPARE(repeat->text(), u"25"_qs);

        // Focus picks the option of its group and greys the other group.
        auto *from = dialog->findChild<QLineEdit *>(u"TextIFrom"_qs);
        auto *option1 = dialog->findChild<QRadioButton *>(u"Option1"_qs);
        auto *option2 = dialog->findChild<QRadioButton *>(u"Option2"_qs);
        const QColor grey(128, 128, 128);
        QFocusEvent focusIn(QEvent::FocusIn);
        QApplication::sendEvent(values, &focusIn);
        QVERIFY(option2->isChecked());
        QCOMPARE(from->palette().color(QPalette::Text), grey);
        QVERIFY(values->palette().color(QPalette::Text) != grey);
        QApplication::sendEvent(from, &focusIn);
        QVERIFY(option1->isChecked());
        QCOMPARE(values->palette().color(QPalette::Text), grey);
        QCOMPARE(dialog->findChild<QLabel *>(u"Label8"_qs)->palette().color(QPalette::WindowText),
                 grey);
        QVERIFY(from->palette().color(QPalette::Text) != grey);

        // Multiple with the typed values.
        QApplication::sendEvent(values, &focusIn);
        click(dialog, "OKButton");
    });
    m_window->findChild<QPushButton *>(u"Command13"_qs)->click();
    QVERIFY(m_answered);
    QCOMPARE(combo("ComboSize")->currentText(), u"16,3 /25"_qs);
    QVERIFY(m_ui->boxes.isEmpty());

    // A cancelled dialog leaves 32 bytes.
    m_answered = false;
    onNextDialog([&](QDialog *dialog) { click(dialog, "CancelButton"); });
    combo("ComboSize")->setCurrentIndex(15); // "Advanced" chosen from the list
    QVERIFY(m_answered);
    QCOMPARE(combo("ComboSize")->currentText(), u"32  Bytes"_qs);
}

void TestSettingsBox::typedSizeLists()
{
    PingSettingsBox *box = m_window->settingsBox();
    combo("ComboSize")->setEditText(u"16, 32, 64 / 2"_qs);
    QVERIFY(box->ValidateAll());
    QCOMPARE(box->settings().sizePlan.mode, u"Multiple"_qs);
    QCOMPARE(box->settings().sizePlan.sizes, (IntList{16, 32, 64}));
    QCOMPARE(box->settings().sizePlan.repeat, 2);

    combo("ComboSize")->setEditText(u"100 /4"_qs);
    QVERIFY(box->ValidateAll());
    QVERIFY(!box->settings().sizePlan.active());
    QCOMPARE(box->settings().sendSize, 100);
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestSettingsBox::intervalDialog()
{
    QString stepLabel;
    onNextDialog([&](QDialog *dialog) {
        QCOMPARE(dialog->objectName(), u"DialogAdvanceInterval"_qs);
        QCOMPARE(dialog->windowTitle(), u"Advanced Test Interval Setting"_qs);
        QCOMPARE(dialog->findChild<QLineEdit *>(u"TextIFrom"_qs)->text(), u"1000"_qs);
        QCOMPARE(dialog->findChild<QLineEdit *>(u"TextITo"_qs)->text(), u"0"_qs);
        QCOMPARE(dialog->findChild<QLineEdit *>(u"TextIIncre"_qs)->text(), u"10"_qs);
        QCOMPARE(dialog->findChild<QLineEdit *>(u"TextIRe"_qs)->text(), u"1"_qs);
        auto *label = dialog->findChild<QLabel *>(u"LabelStep"_qs);
        QCOMPARE(label->text(), u"Step down with"_qs);
        setBox(dialog, "TextIFrom", u"5"_qs);
        QCOMPARE(label->text(), u"Step down with"_qs);
        setBox(dialog, "TextIFrom", u"0"_qs);
        stepLabel = label->text();
        setBox(dialog, "TextIFrom", u"1000"_qs);
        auto *to = dialog->findChild<QLineEdit *>(u"TextITo"_qs);
        QTest::keyClicks(to, u"-x"_qs);
        QCOMPARE(to->text(), u"0"_qs);
        click(dialog, "Command2");
    });
    m_window->findChild<QPushButton *>(u"Command9"_qs)->click();
    QVERIFY(m_answered);
    QCOMPARE(stepLabel, u"Step up with"_qs);
    QCOMPARE(combo("ComboInv")->currentText(), u"1000 to 0, 10--, 1"_qs);
    QVERIFY(m_ui->boxes.isEmpty());

    PingSettingsBox *box = m_window->settingsBox();
    QVERIFY(box->ValidateAll());
    QCOMPARE(box->settings().intervalSequence.increment, -10);
    QCOMPARE(box->settings().intervalSequence.currentInterval, 1000);
    QCOMPARE(box->settings().interval, 1000);

    // A stored "Advanced" opens the dialog again; cancelling puts back 600 ms.
    m_answered = false;
    onNextDialog([&](QDialog *dialog) { click(dialog, "Command1"); });
    combo("ComboInv")->setEditText(u"Advanced"_qs);
    QVERIFY(m_answered);
    QCOMPARE(combo("ComboInv")->currentText(), u"600  Milliseconds"_qs);
    QVERIFY(box->ValidateAll());
    QVERIFY(!box->settings().intervalSequence.active());
    QCOMPARE(box->settings().interval, 600);
}

void TestSettingsBox::noCompletion_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed"); // the start of one of the box's items
    QTest::newRow("test times") << u"ComboTimes"_qs << u"10"_qs;
    QTest::newRow("interval") << u"ComboInv"_qs << u"20"_qs;
    QTest::newRow("size") << u"ComboSize"_qs << u"16"_qs;
}

void TestSettingsBox::noCompletion()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QComboBox *box = combo(name.toLatin1().constData());
    const int items = box->count();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), typed);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(box->currentText(), typed);
    QCOMPARE(box->count(), items);
    QVERIFY(m_ui->boxes.isEmpty());
    for (QComboBox *other : m_window->findChildren<QComboBox *>())
        QVERIFY(!other->isEditable() || !other->completer());
}

void TestSettingsBox::sequenceDialogsKeepTheirEntries()
{
    // Entries typed at one opening are there at the next, after OK or Cancel alike.
    const auto open = [this](const char *button, std::function<void(QDialog *)> answer) {
        m_answered = false;
        onNextDialog(std::move(answer));
        m_window->findChild<QPushButton *>(QString::fromLatin1(button))->click();
        QVERIFY(m_answered);
    };
    const auto text = [](QDialog *d, const char *name) {
        return d->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
    };
    open("Command13", [&](QDialog *d) {
        setBox(d, "TextMV", u"8,16"_qs);
        click(d, "Option2");
        click(d, "OKButton");
    });
    open("Command13", [&](QDialog *d) {
        QCOMPARE(text(d, "TextMV"), u"8,16"_qs);
        QVERIFY(d->findChild<QRadioButton *>(u"Option2"_qs)->isChecked());
        click(d, "CancelButton");
    });
    open("Command9", [&](QDialog *d) {
        setBox(d, "TextIFrom", u"200"_qs);
        click(d, "Command1");
    });
    open("Command9", [&](QDialog *d) {
        QCOMPARE(text(d, "TextIFrom"), u"200"_qs);
        QCOMPARE(d->findChild<QLabel *>(u"LabelStep"_qs)->text(), u"Step down with"_qs);
        click(d, "Command1");
    });
}

void TestSettingsBox::menusShowNoDashItems()
{
    // Of every menu: no "-" caption, no separator first, last or twice in a row.
    for (QMenu *menu : m_window->findChildren<QMenu *>()) {
        QString shown;
        for (QAction *a : menu->actions()) {
            QVERIFY(a->text() != u"-");
            if (a->isVisible())
                shown += a->isSeparator() ? u'-' : u'a';
        }
        QVERIFY2(!shown.startsWith(u'-') && !shown.endsWith(u'-') && !shown.contains(u"--"),
                 qPrintable(menu->objectName() + u' ' + shown));
    }
}

// Lets each layout level answer the one below it (they ask through posted events).
static void settleLayouts()
{
    for (int level = 0; level < 8; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

void TestSettingsBox::wholeAtTheSmallestSize()
{
    m_window->resize(1, 1);
    settleLayouts();
    const QSize smallest = m_window->size();
    // The widest texts a test shows, in every row.
    PingPanel *panel = m_window->pingPanel();
    panel->title(0)->setText(u"Ping testing with 65500 bytes of data:            65535  IP "_qs);
    panel->showStatisticsCaptions(true);
    for (int row = 0; row < LogRows; ++row)
        panel->ShowReplyRow(row + 999999960, // rows 999999961. to 999999980.
                            {u"12/31 23:59:59   Reply from 255.255.255.255"_qs,
                             row % 2 ? u"bytes=65500  time=99999ms  TTL=255  ok"_qs
                                     : u"bytes=65500  inet_addr: bad IP format"_qs});
    panel->ShowStatistics({u"2147483647"_qs, u"2147483647"_qs, u"2147483647"_qs, u"100.00 %"_qs,
                           QString(), u"99999 ms"_qs, u"99999 ms"_qs, u"99999 ms"_qs, u"255"_qs});
    settleLayouts();
    QCOMPARE(m_window->size(), smallest); // the empty window's minimum already held them

    m_window->findChild<QPushButton *>(u"Command11"_qs)->click(); // the console panel
    m_window->resize(1, 1);
    settleLayouts();
    // Every text is whole (so, in their grids, none covers another), every log row a
    // line high.
    for (QWidget *w : m_window->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(w);
        const auto *button = qobject_cast<QAbstractButton *>(w);
        if (!w->isVisible() || !(label || button))
            continue;
        const QSize need = label ? label->minimumSizeHint()
                                 : w->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        QVERIFY2(w->width() >= need.width() && w->height() >= need.height(),
                 qPrintable(w->objectName()));
    }
    for (int row = 0; row < LogRows; ++row)
        QVERIFY(panel->findChild<QLabel *>(u"sIP_%1"_qs.arg(row))->height()
                >= panel->fontMetrics().height());
}

QTEST_MAIN(TestSettingsBox)
#include "tst_settingsbox.moc"
