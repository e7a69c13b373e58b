#include "iplist/formaddipr.h"

#include "iplist/iplistitem.h"
#include "iplist/targetentry.h"
#include "platform/textfile.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace netvane {

FormAddIPR::FormAddIPR(IpDialogState &state, QWidget *parent)
    : IpDialog(state, u" Add a Range of IP Addresses"_qs, u" Edit IP Range"_qs, parent),
      m_title(new QLineEdit(u"IP_Range_"_qs, this)), m_ip(new QLineEdit(this)),
      m_ip2(new QLineEdit(this)), m_equal(new QPushButton(u"="_qs, this)),
      m_scan(new QPushButton(u"Scan IP"_qs, this))
{
    setObjectName(u"FormAddIPR"_qs);
    m_title->setObjectName(u"TextTittle"_qs);
    m_ip->setObjectName(u"TextIP"_qs);
    m_ip2->setObjectName(u"TextIP2"_qs);
    m_ip2->installEventFilter(this);
    m_equal->setObjectName(u"Command3"_qs);
    m_equal->setToolTip(u"The last address is the first one"_qs);
    m_scan->setObjectName(u"Command4"_qs);
    for (QPushButton *b : {m_equal, m_scan})
        b->setAutoDefault(false);
    for (QLineEdit *e : {m_ip, m_ip2})
        e->setPlaceholderText(u"0.0.0.0"_qs);
    m_title->setMinimumWidth(260);

    auto *grid = new QGridLayout(this);
    auto *titleLabel = new QLabel(u"Title:"_qs, this);
    titleLabel->setBuddy(m_title);
    auto *firstLabel = new QLabel(u"From IP:"_qs, this);
    firstLabel->setBuddy(m_ip);
    auto *lastLabel = new QLabel(u"To IP:"_qs, this);
    lastLabel->setBuddy(m_ip2);
    grid->addWidget(titleLabel, 0, 0);
    grid->addWidget(m_title, 0, 1, 1, 3);
    grid->addWidget(firstLabel, 1, 0);
    grid->addWidget(m_ip, 1, 1, 1, 2);
    grid->addWidget(m_equal, 1, 3);
    grid->addWidget(lastLabel, 2, 0);
    grid->addWidget(m_ip2, 2, 1, 1, 3);
    grid->addWidget(m_accept, 3, 0, 1, 2);
    grid->addWidget(m_scan, 3, 2);
    grid->addWidget(m_exit, 3, 3);
    grid->addWidget(m_status, 4, 0, 1, 4);

    connect(m_ip, &QLineEdit::returnPressed, this, [this] {
        m_ip2->setFocus();
        m_ip2->selectAll();
    });
    connect(m_ip2, &QLineEdit::returnPressed, this, &FormAddIPR::Command1_Click);
    connect(m_equal, &QPushButton::clicked, this, &FormAddIPR::Command3_Click);
    connect(m_accept, &QPushButton::clicked, this, &FormAddIPR::Command1_Click);
    connect(m_scan, &QPushButton::clicked, this, &FormAddIPR::Command4_Click);
}

void FormAddIPR::activate(bool editMode)
{
    m_state.manualTarget[0].clear();
    if (!m_state.rangePrefillFirst.isEmpty()) {
        m_ip->setText(m_state.rangePrefillFirst);
        m_ip2->setText(m_state.rangePrefillLast);
        m_title->setText(u"IP_Range_"_qs);
        m_state.rangePrefillFirst.clear();
        m_state.rangePrefillLast.clear();
    } else if (editMode) {
        const QStringList parts = ItemParts(m_state.editSource);
        m_title->setText(ItemTitle(m_state.editSource));
        m_ip->setText(parts.value(0));
        m_ip2->setText(parts.value(1));
    } else {
        m_title->setText(u"IP_Range_"_qs);
    }
    m_title->setFocus();
}

bool FormAddIPR::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ip2 && event->type() == QEvent::FocusIn && m_ip2->text().isEmpty())
        m_ip2->setText(m_ip->text().trimmed());
    return IpDialog::eventFilter(watched, event);
}

void FormAddIPR::Command3_Click()
{
    m_ip2->setText(m_ip->text().trimmed());
}

namespace {

// Why an IPv6 text in a range field is none, after a blank line; empty otherwise.
QString ipv6Problem(const QString &field)
{
    const ClassifiedAddress c = ClassifyAddressText(field);
    return c.ipv6 && c.kind == AddressClass::Invalid ? u"\n\n"_qs + c.ipv6Problem : QString();
}

} // namespace

bool FormAddIPR::checkedRange(QString *first, QString *last)
{
    *first = StrictAddressText(m_ip->text());
    if (first->isEmpty()) {
        refuse(u"Invalid IP entry, Please check IP Field 1, Cannot enter URL."_qs
                   + ipv6Problem(m_ip->text()), m_ip);
        return false;
    }
    *last = StrictAddressText(m_ip2->text());
    if (last->isEmpty()) {
        refuse(u"Invalid IP entry, Please check IP Field 2, Cannot enter URL."_qs
                   + ipv6Problem(m_ip2->text()), m_ip2);
        return false;
    }
    if (const QString problem = RangeOrderProblem(*first, *last); !problem.isEmpty()) {
        refuse(u"Invalid IP range.\n\n"_qs + problem, m_ip);
        return false;
    }
    return true;
}

void FormAddIPR::Command1_Click()
{
    QString first, last;
    if (!checkedRange(&first, &last))
        return;
    if (ContainsControlCharacter(m_title->text())) {
        refuse(u"Invalid title, it cannot contain a line break, tab or other control character."_qs,
               m_title);
        return;
    }
    if (!IsValidItemTitle(m_title->text())) {
        refuse(u"Invalid title '"_qs + m_title->text().trimmed()
                   + u"', a title cannot contain ','."_qs,
               m_title);
        return;
    }
    m_state.title = m_title->text().trimmed();
    finish(first + u',' + last);
}

void FormAddIPR::Command4_Click()
{
    QString first, last;
    if (checkedRange(&first, &last))
        finishForTest(0, u"CIP_Range_Manual,"_qs + first + u',' + last);
}

} // namespace netvane
