#pragma once
// The ping settings boxes of the main window: interval (ComboInv), time-out
// (ComboTimeOut), send size (ComboSize), test times (ComboTimes) and repeat per target
// (ComboRepIP), the "A" buttons that open the sequence dialogs, and the planned total
// (Label1_28). A finished edit (Enter, or the focus leaving) is checked (a zero
// interval is put back); "Advanced" opens its dialog at once; ValidateAll checks every box when a test starts and leaves the
// checked settings in settings(). Texts set from outside (stored settings) run the
// same change handling as typing.

#include "ping/pingsettings.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace netvane {

class DialogAdvanceInterval;
class DialogAdvanceSize;

class PingSettingsBox final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PingSettingsBox)
public:
    explicit PingSettingsBox(QWidget *parent = nullptr);

    // Runs the checks in order (interval, send size, time-out, test times, repeat per
    // target) and stops at the first refusal, whose message is shown.
    bool ValidateAll();
    const PingSettings &settings() const { return m_settings; }

    QComboBox *comboInv() const { return m_comboInv; }
    QComboBox *comboTimeOut() const { return m_comboTimeOut; }
    QComboBox *comboSize() const { return m_comboSize; }
    QComboBox *comboTimes() const { return m_comboTimes; }
    QComboBox *comboRepIP() const { return m_comboRepIP; }
    // The address family a host name is tested on (ComboFamily); a choice takes
    // effect at once for every later look-up.
    QComboBox *comboFamily() const { return m_comboFamily; }
    QLabel *totalLabel() const { return m_total; }

private:
    void ComboInv_Change();
    void ComboTimeOut_Change();
    void ComboSize_Change();
    void ComboTimes_Change();
    void ComboRepIP_Change();
    // The checks of a finished edit.
    void intervalEdited();
    void timesEdited();
    void openIntervalDialog();
    void openSizeDialog();
    void refreshTotal();
    bool show(const SettingCheck &check);

    QComboBox *m_comboInv;
    QComboBox *m_comboTimeOut;
    QComboBox *m_comboSize;
    QComboBox *m_comboTimes;
    QComboBox *m_comboRepIP;
    QComboBox *m_comboFamily;
    QPushButton *m_command9;
    QPushButton *m_command13;
    QLabel *m_total;
    // The sequence dialogs, made at their first opening and kept with their entries.
    DialogAdvanceInterval *m_dialogInterval = nullptr;
    DialogAdvanceSize *m_dialogSize = nullptr;
    PingSettings m_settings;
    // Set while the box's own change is handled: the handler's writes to the box
    // raise change events that must not be handled again.
    bool m_inIntervalChange = false;
    bool m_inSizeChange = false;
};

} // namespace netvane
