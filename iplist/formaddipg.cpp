#include "iplist/formaddipg.h"

#include "iplist/iplistitem.h"
#include "iplist/targetentry.h"
#include "platform/textfile.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace netvane {

FormAddIPG::FormAddIPG(IpDialogState &state, QWidget *parent)
    : IpDialog(state, u" Add a Group of IP Addresses"_qs, u" Edit IP Group"_qs, parent),
      m_title(new QLineEdit(u"IP_Group_"_qs, this)), m_ips(new QPlainTextEdit(Hint, this)),
      m_ping(new QPushButton(u"Ping"_qs, this)), m_image1(new QToolButton(this)),
      m_example(new QFrame(this))
{
    setObjectName(u"FormAddIPG"_qs);
    m_title->setObjectName(u"TextTittle"_qs);
    m_ips->setObjectName(u"TextIPs"_qs);
    m_ips->setMinimumSize(320, 220);
    m_ips->setTabChangesFocus(true);
    m_ips->installEventFilter(this);
    m_ping->setObjectName(u"Command4"_qs);
    m_ping->setAutoDefault(false);
    m_image1->setObjectName(u"Image1"_qs);
    m_image1->setText(u"?"_qs);
    m_image1->setToolTip(u"Show an example"_qs);

    auto *grid = new QGridLayout(this);
    auto *titleLabel = new QLabel(u"Title:"_qs, this);
    titleLabel->setBuddy(m_title);
    grid->addWidget(titleLabel, 0, 0);
    grid->addWidget(m_title, 0, 1, 1, 2);
    grid->addWidget(m_image1, 0, 3);
    grid->addWidget(m_ips, 1, 0, 1, 4);
    grid->addWidget(m_accept, 2, 0, 1, 2);
    grid->addWidget(m_ping, 2, 2);
    grid->addWidget(m_exit, 2, 3);
    grid->addWidget(m_status, 3, 0, 1, 4);

    // The example panel floats over the fields until its OK is pressed.
    m_example->setObjectName(u"Picture1"_qs);
    m_example->setFrameShape(QFrame::Box);
    m_example->setAutoFillBackground(true);
    auto *exampleLayout = new QVBoxLayout(m_example);
    exampleLayout->addWidget(new QLabel(
        u"Example of an IP group:\n\n192.168.1.1\n192.168.1.2   (File Server)\n"
        u"10.0.0.5\nwww.example.com\n\nOne entry a line; a host name in brackets\n"
        u"after an address is kept as a note."_qs,
        m_example));
    auto *ok = new QPushButton(u"OK"_qs, m_example);
    ok->setObjectName(u"Command3"_qs);
    ok->setAutoDefault(false);
    exampleLayout->addWidget(ok);
    m_example->hide();

    connect(m_accept, &QPushButton::clicked, this, &FormAddIPG::Command1_Click);
    connect(m_ping, &QPushButton::clicked, this, &FormAddIPG::Command4_Click);
    connect(m_image1, &QToolButton::clicked, this, [this] {
        m_example->move(240 / 15, 240 / 15);
        m_example->adjustSize();
        m_example->show();
        m_example->raise();
    });
    connect(ok, &QPushButton::clicked, m_example, &QWidget::hide);
}

void FormAddIPG::activate(bool editMode)
{
    m_state.manualTarget[2].clear();
    if (!m_state.groupPrefill.isEmpty()) {
        m_ips->setPlainText(m_state.groupPrefill);
        m_title->setText(u"IP_Group_"_qs);
        m_state.groupPrefill.clear();
    } else if (editMode) {
        m_title->setText(ItemTitle(m_state.editSource));
        m_ips->setPlainText(ItemParts(m_state.editSource).join(u'\n'));
    } else {
        m_title->setText(u"IP_Group_"_qs);
    }
    m_ips->setStyleSheet(m_ips->toPlainText().startsWith(u"Enter"_qs) ? u"color: #808080;"_qs
                                                                      : u"color: #000080;"_qs);
    m_title->setFocus();
}

bool FormAddIPG::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ips && event->type() == QEvent::FocusIn
        && m_ips->toPlainText().startsWith(u"Enter"_qs)) {
        m_ips->clear();
        m_ips->setStyleSheet(u"color: #000080;"_qs);
    }
    return IpDialog::eventFilter(watched, event);
}

bool FormAddIPG::checkedMembers(QString *joined)
{
    QString text = m_ips->toPlainText().trimmed();
    text.replace(u'\r', u',');
    text.replace(u'\n', u','); // the editor's line breaks are the members' separators
    text.replace(u'\t', u','); // and so are tabs, which its Tab key inserts
    if (text.isEmpty()) {
        refuse(u"Invalid IP entry, Please check."_qs, m_ips);
        return false;
    }
    if (text.endsWith(u','))
        text.chop(1);
    QStringList members = text.split(u',');
    for (QString &part : members) {
        const ClassifiedAddress c = ClassifyAddressText(StripHostAnnotation(part));
        if (const QString problem = TargetEntryProblem(StripHostAnnotation(part));
            !problem.isEmpty()) {
            refuse(u"Invalid IP entry '"_qs + c.stripped + u"'.\n\n"_qs + problem, m_ips);
            return false;
        }
        if (ContainsControlCharacter(part)) {
            refuse(u"Invalid IP entry '"_qs + part.trimmed()
                       + u"', it cannot contain a control character."_qs,
                   m_ips);
            return false;
        }
        part = StoredEntryText(part); // an IPv6 address in its one stored form
    }
    *joined = members.join(u',');
    return true;
}

bool FormAddIPG::checkedTitle()
{
    if (ContainsControlCharacter(m_title->text())) {
        refuse(u"Invalid title, it cannot contain a line break, tab or other control character."_qs,
               m_title);
        return false;
    }
    if (IsValidItemTitle(m_title->text()))
        return true;
    refuse(u"Invalid title '"_qs + m_title->text().trimmed()
               + u"', a title cannot contain ','."_qs,
           m_title);
    return false;
}

void FormAddIPG::Command1_Click()
{
    if (m_ips->toPlainText().startsWith(u"ENTER"_qs, Qt::CaseInsensitive)) {
        done(QDialog::Rejected); // nothing entered yet: shown again
        return;
    }
    QString joined;
    if (!checkedMembers(&joined) || !checkedTitle())
        return;
    m_state.title = m_title->text().trimmed();
    finish(joined);
}

void FormAddIPG::Command4_Click()
{
    QString joined;
    if (!checkedMembers(&joined))
        return;
    finishForTest(2, u"BManual,"_qs + joined);
}

} // namespace netvane
