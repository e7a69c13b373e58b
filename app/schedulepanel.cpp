#include "app/schedulepanel.h"

#include "platform/dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace netvane {

namespace {

const QString ArmedLook = QStringLiteral("QComboBox { background-color: rgb(128, 255, 128); }");

QComboBox *pickerBox(const QString &name, int from, int to, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    for (int v = from; v <= to; ++v)
        box->addItem(QString::number(v));
    return box;
}

void selectNumber(QComboBox *box, int value)
{
    const QString text = QString::number(value);
    int index = box->findText(text);
    if (index < 0) { // a year outside the offered three, kept as it was written
        box->addItem(text);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

} // namespace

SchedulePanel::SchedulePanel(QWidget *window, QWidget *parent)
    : QGroupBox(u"Start"_qs, parent), m_window(window), m_comboFrom(new QComboBox(this)),
      m_comboTo(new QComboBox(this)), m_frameTime(new QFrame(window)), m_timer3(new QTimer(this))
{
    setObjectName(u"FrameSchedule"_qs);
    const char *const options[2] = {"Immediately", "Schedule"};
    const char *const labels[2] = {"From:", "To:"};
    auto *grid = new QGridLayout(this);
    for (int i = 0; i < 2; ++i) {
        m_optionSch[i] = new QRadioButton(QString::fromLatin1(options[i]), this);
        m_optionSch[i]->setObjectName(u"OptionSch_%1"_qs.arg(i));
        connect(m_optionSch[i], &QRadioButton::clicked, this, [this, i] { OptionSch_Click(i); });
        m_labels[i] = new QLabel(QString::fromLatin1(labels[i]), this);
        m_labels[i]->setObjectName(u"Label1_%1"_qs.arg(6 + i));
    }
    m_comboFrom->setObjectName(u"ComboFrom"_qs);
    m_comboTo->setObjectName(u"ComboTo"_qs);
    for (QComboBox *box : {m_comboFrom, m_comboTo}) {
        box->addItem(QString());
        box->setMinimumContentsLength(19);
        box->installEventFilter(this);
    }
    m_labels[0]->setBuddy(m_comboFrom);
    m_labels[1]->setBuddy(m_comboTo);
    grid->addWidget(m_optionSch[0], 0, 0);
    grid->addWidget(m_optionSch[1], 0, 1);
    grid->addWidget(m_labels[0], 1, 0);
    grid->addWidget(m_comboFrom, 1, 1);
    grid->addWidget(m_labels[1], 2, 0);
    grid->addWidget(m_comboTo, 2, 1);

    // The picker floats above the window's other controls, below the box it edits.
    m_frameTime->setObjectName(u"FrameTime"_qs);
    m_frameTime->setFrameShape(QFrame::Box);
    m_frameTime->setAutoFillBackground(true);
    const int year = m_clock().date().year();
    m_year = pickerBox(u"ComboSYear"_qs, year, year + 2, m_frameTime);
    m_month = pickerBox(u"ComboSMonth"_qs, 1, 12, m_frameTime);
    m_day = pickerBox(u"ComboSDay"_qs, 1, 31, m_frameTime);
    m_hour = pickerBox(u"ComboSHour"_qs, 0, 23, m_frameTime);
    m_minute = pickerBox(u"ComboSMinute"_qs, 0, 59, m_frameTime);
    m_commandOK = new QPushButton(u"OK"_qs, m_frameTime);
    m_commandOK->setObjectName(u"CommandOK"_qs);
    m_commandCancel = new QPushButton(u"Cancel"_qs, m_frameTime);
    m_commandCancel->setObjectName(u"CommandCancel"_qs);
    auto *picker = new QGridLayout(m_frameTime);
    const char *const heads[5] = {"Month", "Day", "Year", "Hour", "Minute"};
    QComboBox *const boxes[5] = {m_month, m_day, m_year, m_hour, m_minute};
    for (int i = 0; i < 5; ++i) {
        auto *head = new QLabel(QString::fromLatin1(heads[i]), m_frameTime);
        head->setBuddy(boxes[i]);
        picker->addWidget(head, 0, i);
        picker->addWidget(boxes[i], 1, i);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_commandOK);
    buttons->addWidget(m_commandCancel);
    picker->addLayout(buttons, 2, 0, 1, 5);
    m_frameTime->hide();
    connect(m_commandOK, &QPushButton::clicked, this, &SchedulePanel::CommandOK_Click);
    connect(m_commandCancel, &QPushButton::clicked, this, &SchedulePanel::CommandCancel_Click);

    m_timer3->setObjectName(u"Timer3"_qs);
    m_timer3->setInterval(3000);
    connect(m_timer3, &QTimer::timeout, this, &SchedulePanel::Timer3_Timer);

    FillScheduleDefaults();
    m_optionSch[0]->setChecked(true);
    for (QWidget *w : {static_cast<QWidget *>(m_labels[0]), static_cast<QWidget *>(m_labels[1]),
                       static_cast<QWidget *>(m_comboFrom), static_cast<QWidget *>(m_comboTo)})
        w->setEnabled(false);
}

QString SchedulePanel::boxText(const QComboBox *box)
{
    return box->itemText(0);
}

void SchedulePanel::setBoxText(QComboBox *box, const QString &text)
{
    box->setItemText(0, text);
}

bool SchedulePanel::scheduleChosen() const
{
    return m_optionSch[1]->isChecked();
}

void SchedulePanel::FillScheduleDefaults()
{
    const QDateTime now = m_clock();
    m_start = ScheduleMinute::of(now.addSecs(3600));
    m_end = ScheduleMinute::of(now.addSecs(8 * 3600));
    setBoxText(m_comboFrom, ScheduleText(m_start));
    setBoxText(m_comboTo, ScheduleText(m_end));
    const int year = now.date().year();
    m_year->clear();
    for (int y = year; y <= year + 2; ++y)
        m_year->addItem(QString::number(y));
}

void SchedulePanel::paintBoxes(bool armed)
{
    for (QComboBox *box : {m_comboFrom, m_comboTo})
        box->setStyleSheet(armed ? ArmedLook : QString());
}

void SchedulePanel::OptionSch_Click(int index)
{
    if (index < 0 || index > 1)
        return;
    m_optionSch[size_t(index)]->setChecked(true);
    if (index == 1) {
        m_labels[0]->setEnabled(true);
        m_labels[1]->setEnabled(true);
        m_comboFrom->setEnabled(true);
        commandTypeChanged();
        paintBoxes(true);
        FillScheduleDefaults();
        ShowScheduleCaption();
        m_timer3->start();
        hidePicker();
        return;
    }
    m_timer3->stop();
    for (QWidget *w : {static_cast<QWidget *>(m_labels[0]), static_cast<QWidget *>(m_labels[1]),
                       static_cast<QWidget *>(m_comboFrom), static_cast<QWidget *>(m_comboTo)})
        w->setEnabled(false);
    paintBoxes(false);
    if (QLabel *caption = m_hooks.caption ? m_hooks.caption() : nullptr;
        caption && caption->text().contains(u"will auto run at"))
        caption->clear();
    hidePicker();
}

void SchedulePanel::commandTypeChanged()
{
    const bool ping = !m_hooks.commandType || m_hooks.commandType() == u"Ping";
    m_comboTo->setEnabled(ping && m_comboFrom->isEnabled());
    m_labels[1]->setEnabled(ping && m_labels[0]->isEnabled());
}

void SchedulePanel::ShowScheduleCaption()
{
    if (m_hooks.testRunning && m_hooks.testRunning())
        return;
    if (m_hooks.showResultPanel)
        m_hooks.showResultPanel();
    QLabel *caption = m_hooks.caption ? m_hooks.caption() : nullptr;
    if (!caption)
        return;
    const bool ping = !m_hooks.commandType || m_hooks.commandType() != u"Tracert";
    if (m_hooks.commandType && m_hooks.commandType() == u"Path")
        caption->setText(u"Path Statistics will auto run at:  "_qs + boxText(m_comboFrom));
    else if (ping)
        caption->setText(u"Ping Test will auto run at:  "_qs + boxText(m_comboFrom) + u"  to  "_qs
                         + boxText(m_comboTo));
    else
        caption->setText(u"Trace Route will auto run at:  "_qs + boxText(m_comboFrom));
}

void SchedulePanel::loadPicker(const QString &text)
{
    // By position: MM/DD/YYYY HH:mm:00.
    selectNumber(m_year, text.mid(6, 4).toInt());
    selectNumber(m_month, text.mid(0, 2).toInt());
    selectNumber(m_day, text.mid(3, 2).toInt());
    selectNumber(m_hour, text.mid(11, 2).toInt());
    selectNumber(m_minute, text.mid(14, 2).toInt());
}

void SchedulePanel::editTime(QComboBox *box)
{
    if (!box->isEnabled())
        return;
    m_edited = box;
    loadPicker(boxText(box));
    m_frameTime->adjustSize();
    const QPoint below = box->mapTo(m_window, QPoint(0, box->height()));
    m_frameTime->move(qBound(0, below.x(), qMax(0, m_window->width() - m_frameTime->width())),
                      below.y());
    m_frameTime->show();
    m_frameTime->raise();
    m_commandOK->setFocus();
}

void SchedulePanel::hidePicker()
{
    // The focus leaves the picker for the window's command box, not for the edited
    // box, which would open the picker again.
    if (m_frameTime->isVisible() && m_frameTime->isAncestorOf(QApplication::focusWidget()))
        if (auto *text4 = m_window->findChild<QWidget *>(u"Text4"_qs))
            text4->setFocus();
    m_frameTime->hide();
}

void SchedulePanel::CommandOK_Click()
{
    hidePicker();
    if (!m_edited)
        return;
    const auto two = [](const QComboBox *box) {
        return u"%1"_qs.arg(box->currentText().toInt(), 2, 10, QLatin1Char('0'));
    };
    const QString text = two(m_month) + u'/' + two(m_day) + u'/' + m_year->currentText() + u' '
                         + two(m_hour) + u':' + two(m_minute) + u":00"_qs;
    const std::optional<ScheduleMinute> at = ReadScheduleText(text);
    if (!at) {
        MsgBox(u"Not a valid date: "_qs + text, BoxIcon::Critical);
        return;
    }
    setBoxText(m_edited, text);
    (m_edited == m_comboFrom ? m_start : m_end) = *at;
    ShowScheduleCaption();
}

void SchedulePanel::CommandCancel_Click()
{
    hidePicker();
}

void SchedulePanel::Timer3_Timer()
{
    if (m_hooks.testRunning && m_hooks.testRunning())
        return;
    if (!ScheduleDue(m_clock(), m_start))
        return;
    m_timer3->stop();
    Q_EMIT startDue();
}

bool SchedulePanel::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QComboBox *>(watched);
    if (box != m_comboFrom && box != m_comboTo)
        return QGroupBox::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        editTime(box);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // The box opens the picker, never a drop-down of its own.
        editTime(box);
        return true;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_F4 || key == Qt::Key_Down || key == Qt::Key_Up) {
            editTime(box);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace netvane
