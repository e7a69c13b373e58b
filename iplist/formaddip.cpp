#include "iplist/formaddip.h"

#include "iplist/iplistitem.h"
#include "iplist/targetentry.h"
#include "platform/textfile.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace netvane {

FormAddIP::FormAddIP(IpDialogState &state, QWidget *parent)
    : IpDialog(state, u" Add Single IP"_qs, u" Edit IP Address"_qs, parent),
      m_text2(new QLineEdit(Hint, this)), m_ping(new QPushButton(u"Ping"_qs, this))
{
    setObjectName(u"FormAddIP"_qs);
    m_text2->setObjectName(u"Text2"_qs);
    m_text2->setMinimumWidth(260);
    m_text2->installEventFilter(this);
    m_ping->setObjectName(u"Command3"_qs);
    m_ping->setAutoDefault(false);

    auto *grid = new QGridLayout(this);
    auto *label = new QLabel(u"IP address or URL:"_qs, this);
    label->setBuddy(m_text2);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text2, 1, 0, 1, 3);
    grid->addWidget(m_accept, 2, 0);
    grid->addWidget(m_ping, 2, 1);
    grid->addWidget(m_exit, 2, 2);
    grid->addWidget(m_status, 3, 0, 1, 3);

    connect(m_text2, &QLineEdit::returnPressed, this, &FormAddIP::Command1_Click);
    connect(m_accept, &QPushButton::clicked, this, &FormAddIP::Command1_Click);
    connect(m_ping, &QPushButton::clicked, this, &FormAddIP::Command3_Click);
}

void FormAddIP::activate(bool editMode)
{
    m_state.manualTarget[1].clear();
    if (editMode)
        m_text2->setText(ItemPayload(m_state.editSource));
    if (m_text2->text() == Hint)
        m_text2->setStyleSheet(u"color: #808080;"_qs);
    m_text2->setFocus();
}

bool FormAddIP::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text2 && event->type() == QEvent::FocusIn && m_text2->text() == Hint) {
        m_text2->clear();
        m_text2->setStyleSheet(u"color: #000080;"_qs);
    }
    return IpDialog::eventFilter(watched, event);
}

bool FormAddIP::checkedEntry(QString *entry)
{
    QString text = m_text2->text();
    text.remove(u' ');
    text.remove(u'\r');
    text.remove(u'\n');
    if (ContainsControlCharacter(text)) { // it would not survive as a line of the list file
        refuse(u"Invalid IP entry, it cannot contain a tab or other control character."_qs,
               m_text2);
        return false;
    }
    // The hint still showing is nothing entered.
    if (const QString problem = TargetEntryProblem(m_text2->text() == Hint ? QString() : text);
        !problem.isEmpty()) {
        refuse(u"Invalid IP entry, Please check.\n\n"_qs + problem, m_text2);
        return false;
    }
    *entry = StoredEntryText(text); // an IPv6 address in its one stored form
    return true;
}

void FormAddIP::Command1_Click()
{
    QString entry;
    if (checkedEntry(&entry))
        finish(entry);
}

void FormAddIP::Command3_Click()
{
    QString entry;
    if (checkedEntry(&entry))
        finishForTest(1, entry);
}

} // namespace netvane
