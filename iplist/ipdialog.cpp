#include "iplist/ipdialog.h"

#include "ping/elidedlabel.h"
#include "ping/smalldialog.h"
#include "platform/dialogs.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace netvane {

IpDialog::IpDialog(IpDialogState &state, const QString &addCaption, const QString &editCaption,
                   QWidget *parent)
    : QDialog(parent), m_state(state), m_accept(new QPushButton(u"Add to IP List"_qs, this)),
      m_exit(new QPushButton(u"Exit"_qs, this)), m_status(new ElidedLabel(this)),
      m_addCaption(addCaption), m_editCaption(editCaption)
{
    setModal(true);
    setWindowFlags(SmallDialogFlags);
    m_accept->setObjectName(u"Command1"_qs);
    m_exit->setObjectName(u"Command2"_qs);
    m_status->setObjectName(u"LabelStatus"_qs);
    for (QPushButton *b : {m_accept, m_exit})
        b->setAutoDefault(false);
    connect(m_exit, &QPushButton::clicked, this, &IpDialog::Exit);
}

void IpDialog::showEvent(QShowEvent *event)
{
    move(m_state.owner + QPoint(3500 / 15, 1280 / 15));
    const bool edit = m_state.editMode;
    m_state.editMode = false;
    m_accept->setText(edit ? u"Save"_qs : u"Add to IP List"_qs);
    setWindowTitle(edit ? m_editCaption : m_addCaption);
    m_state.result.clear();
    const QString message = m_state.message;
    m_state.message.clear();
    m_status->setText(message);
    m_status->setStyleSheet(message.contains(u"existed"_qs) ? u"color: #ff0000;"_qs
                                                            : u"color: #008000;"_qs);
    activate(edit);
    QDialog::showEvent(event);
}

void IpDialog::Exit()
{
    m_state.result = IpDialogState::Left;
    done(QDialog::Rejected);
}

void IpDialog::reject()
{
    Exit();
}

void IpDialog::closeEvent(QCloseEvent *event)
{
    m_state.result = IpDialogState::Left;
    QDialog::closeEvent(event);
}

void IpDialog::refuse(const QString &text, QWidget *field)
{
    MsgBox(text, BoxIcon::Critical, BoxButtons::Ok, u"IP Error"_qs);
    if (field)
        field->setFocus();
}

void IpDialog::finish(const QString &result)
{
    m_state.result = result;
    done(QDialog::Accepted);
}

void IpDialog::finishForTest(int slot, const QString &target)
{
    m_state.result = IpDialogState::Left;
    m_state.manualTarget[size_t(slot)] = target;
    done(QDialog::Accepted);
}

} // namespace netvane
