#include "app/dialogoutages.h"

#include "app/appsettings.h"
#include "ping/outagefinder.h"
#include "ping/pingsettings.h"
#include "ping/smalldialog.h"
#include "platform/dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace netvane {

namespace {

// One line of the settings file: no control characters.
QString oneLine(const QString &text)
{
    QString out;
    for (const QChar c : text)
        if (!c.isNull() && c.category() != QChar::Other_Control)
            out += c;
    return out.trimmed();
}

} // namespace

DialogOutages::DialogOutages(QWidget *parent)
    : QDialog(parent, SmallDialogFlags), m_after(new QLineEdit(this)), m_notify(new QCheckBox(this)),
      m_command(new QLineEdit(this))
{
    setObjectName(u"DialogOutages"_qs);
    setWindowTitle(u"Outage Settings"_qs);
    m_after->setObjectName(u"TextOutageAfter"_qs);
    m_after->setPlaceholderText(QString::number(DefaultOutageAfter));
    m_notify->setObjectName(u"CheckOutageNotify"_qs);
    m_notify->setText(u"Tell the desktop when an outage begins and ends"_qs);
    m_command->setObjectName(u"TextOutageCommand"_qs);
    m_command->setPlaceholderText(u"none"_qs);
    m_command->setToolTip(u"Run with the target, \"began\" or \"ended\", the start, the end and the seconds "
                          u"as arguments of their own; never through a shell"_qs);
    auto *form = new QFormLayout(this);
    form->addRow(u"Outage after N lost echoes:"_qs, m_after);
    form->addRow(QString(), m_notify);
    form->addRow(u"Command at an outage:"_qs, m_command);
    auto *note = new QLabel(u"A new number applies to the test on show once it has ended, and to the "
                            u"tests after it."_qs, this);
    note->setWordWrap(true);
    form->addRow(note);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(u"CommandOutagesOK"_qs);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(u"CommandOutagesCancel"_qs);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &DialogOutages::okClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void DialogOutages::load(AppSettings &settings)
{
    m_settings = &settings;
    m_after->setText(settings.value(AppSettings::OutageAfter).trimmed());
    m_notify->setChecked(settings.value(AppSettings::OutageNotify).trimmed() != u"0");
    m_command->setText(settings.value(AppSettings::OutageCommand));
}

bool DialogOutages::store(AppSettings &settings)
{
    int n = DefaultOutageAfter;
    const SettingCheck check = CheckOutageAfter(m_after->text(), n);
    if (!check.passed) {
        MsgBox(check.boxText(), BoxIcon::Critical);
        m_after->setFocus();
        m_after->selectAll();
        return false;
    }
    settings.setValue(AppSettings::OutageAfter, m_after->text().trimmed().isEmpty() ? QString() : QString::number(n));
    settings.setValue(AppSettings::OutageNotify, m_notify->isChecked() ? u"1"_qs : u"0"_qs);
    settings.setValue(AppSettings::OutageCommand, oneLine(m_command->text()));
    return true;
}

void DialogOutages::okClicked()
{
    if (!m_settings || !store(*m_settings))
        return;
    Q_EMIT stored();
    accept();
}

} // namespace netvane
