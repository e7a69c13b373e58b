#include "ping/dialogadvanceinterval.h"

#include "ping/smalldialog.h"
#include "ping/numericvalue.h"
#include "ping/sequencedialogsupport.h"
#include "ping/sequenceparsers.h"
#include "platform/dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace netvane {

namespace {

QLineEdit *numberBox(const QString &name, const QString &text, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setMinimumWidth(70);
    box->setMaximumWidth(110);
    return box;
}

} // namespace

DialogAdvanceInterval::DialogAdvanceInterval(QWidget *mainWindow)
    : QDialog(mainWindow),
      m_textIFrom(numberBox(u"TextIFrom"_qs, u"1000"_qs, this)),
      m_textITo(numberBox(u"TextITo"_qs, u"0"_qs, this)),
      m_textIIncre(numberBox(u"TextIIncre"_qs, u"10"_qs, this)),
      m_textIRe(numberBox(u"TextIRe"_qs, u"1"_qs, this)),
      m_stepLabel(new QLabel(this)),
      m_command2(new QPushButton(u"OK"_qs, this)),
      m_command1(new QPushButton(u"Cancel"_qs, this))
{
    setObjectName(u"DialogAdvanceInterval"_qs);
    setWindowFlags(SmallDialogFlags);
    setWindowTitle(u"Advanced Test Interval Setting"_qs);
    setModal(true);
    m_stepLabel->setObjectName(u"LabelStep"_qs);
    m_command2->setObjectName(u"Command2"_qs);
    m_command1->setObjectName(u"Command1"_qs);
    m_command2->setDefault(true);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(u"Test interval:   from"_qs, this), 0, 0, Qt::AlignRight);
    grid->addWidget(m_textIFrom, 0, 1);
    grid->addWidget(new QLabel(u"to"_qs, this), 0, 2, Qt::AlignCenter);
    grid->addWidget(m_textITo, 0, 3);
    grid->addWidget(new QLabel(u"Milliseconds"_qs, this), 0, 4);
    grid->addWidget(m_stepLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(m_textIIncre, 1, 1);
    grid->addWidget(new QLabel(u"Milliseconds"_qs, this), 1, 2, 1, 3);
    grid->addWidget(new QLabel(u"Repeat:"_qs, this), 2, 0, Qt::AlignRight);
    grid->addWidget(m_textIRe, 2, 1);
    grid->addWidget(new QLabel(u"times for each value"_qs, this), 2, 2, 1, 3);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_command2);
    buttons->addWidget(m_command1);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addSpacing(8);
    outer->addLayout(buttons);

    auto *digits = new CharacterKeyFilter(u"0123456789"_qs, this);
    for (QLineEdit *box : {m_textIFrom, m_textITo, m_textIIncre, m_textIRe})
        box->installEventFilter(digits);

    // The label follows both ends, so it never names the wrong direction.
    connect(m_textIFrom, &QLineEdit::textChanged, this, &DialogAdvanceInterval::updateStepLabel);
    connect(m_textITo, &QLineEdit::textChanged, this, &DialogAdvanceInterval::updateStepLabel);
    connect(m_command2, &QPushButton::clicked, this, &DialogAdvanceInterval::Command2_Click);
    connect(m_command1, &QPushButton::clicked, this, &QDialog::reject);

    updateStepLabel();
    PlaceBesideMainWindow(this, mainWindow);
}

void DialogAdvanceInterval::updateStepLabel()
{
    m_stepLabel->setText(NumericValue(m_textITo->text()) >= NumericValue(m_textIFrom->text())
                             ? u"Step up with"_qs
                             : u"Step down with"_qs);
}

void DialogAdvanceInterval::Command2_Click()
{
    const IntervalSequenceResult result = IntervalFromDialog(
        m_textIFrom->text(), m_textITo->text(), m_textIIncre->text(), m_textIRe->text());
    if (!result.ok) {
        MsgBox(result.message, BoxIcon::Exclamation);
        return;
    }
    m_sequence = result.sequence;
    accept();
}

} // namespace netvane
