#pragma once
// DialogOutages (Operate > Outage Settings): the rule of an outage ("Outage after N
// lost echoes"), whether outages are told on the desktop, and the command run when one
// begins or ends. OK checks the number as a start checks the settings boxes and
// refuses with what is allowed; the values go into the settings kept between runs.

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace netvane {

class AppSettings;

class DialogOutages final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogOutages)
public:
    explicit DialogOutages(QWidget *parent = nullptr);

    // The dialog's boxes from the settings.
    void load(AppSettings &settings);
    // Checks the boxes; false (and a refusal shown) when the number is not allowed.
    bool store(AppSettings &settings);

Q_SIGNALS:
    // OK was pressed and the values are in the settings.
    void stored();

private:
    void okClicked();

    AppSettings *m_settings = nullptr;
    QLineEdit *m_after;
    QCheckBox *m_notify;
    QLineEdit *m_command;
};

} // namespace netvane
