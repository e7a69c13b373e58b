#pragma once
// The scheduled start of the main window: the choice OptionSch_0 "Immediately" /
// OptionSch_1 "Schedule", the start and end boxes ComboFrom / ComboTo, the picker
// frame FrameTime that edits them, and Timer3, which watches the clock every three
// seconds while a schedule is armed. When the start minute has come the panel turns
// the watch off and says startDue(); the window starts the task of its current
// command type ("Ping" or "Tracert"). The end time (ping tests only) is read by the
// window when the scheduled test starts, for the run loop's scheduled stop.

#include "app/schedule.h"

#include <QGroupBox>

#include <array>
#include <functional>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace netvane {

class SchedulePanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SchedulePanel)
public:
    // window: the main window, which holds the picker frame above its other controls.
    SchedulePanel(QWidget *window, QWidget *parent);

    // What the panel asks of the window.
    struct Hooks {
        std::function<QString()> commandType;   // "Ping" or "Tracert"
        std::function<bool()> testRunning;
        std::function<QLabel *()> caption;      // LabelTittle_0
        std::function<void()> showResultPanel;  // the ping/traceroute panel to the front
    };
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    void setClock(Clock clock) { m_clock = std::move(clock); }
    Clock clock() const { return m_clock; }

    void OptionSch_Click(int index);
    // Selects "Immediately" (every start does this first).
    void selectImmediately() { OptionSch_Click(0); }
    bool scheduleChosen() const;
    void FillScheduleDefaults();
    void ShowScheduleCaption();
    // The picker opens on the box that got the focus.
    void editTime(QComboBox *box);
    void CommandOK_Click();
    void CommandCancel_Click();
    void Timer3_Timer();
    // ComboTo is for ping tests only: it follows ComboFrom when the command type is
    // "Ping" and stays disabled otherwise.
    void commandTypeChanged();
    void hidePicker();

    ScheduleMinute start() const { return m_start; }
    ScheduleMinute end() const { return m_end; }
    QTimer *timer3() const { return m_timer3; }
    QFrame *frameTime() const { return m_frameTime; }

Q_SIGNALS:
    void startDue();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintBoxes(bool armed);
    void loadPicker(const QString &text);
    static QString boxText(const QComboBox *box);
    static void setBoxText(QComboBox *box, const QString &text);

    QWidget *m_window;
    Hooks m_hooks;
    Clock m_clock = SystemClock;
    std::array<QRadioButton *, 2> m_optionSch{};
    std::array<QLabel *, 2> m_labels{};  // Label1_6, Label1_7
    QComboBox *m_comboFrom;
    QComboBox *m_comboTo;
    QFrame *m_frameTime;
    QComboBox *m_year;
    QComboBox *m_month;
    QComboBox *m_day;
    QComboBox *m_hour;
    QComboBox *m_minute;
    QPushButton *m_commandOK;
    QPushButton *m_commandCancel;
    QTimer *m_timer3;
    QComboBox *m_edited = nullptr;
    ScheduleMinute m_start;
    ScheduleMinute m_end;
};

} // namespace netvane
