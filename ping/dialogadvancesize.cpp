#include "ping/dialogadvancesize.h"

#include "ping/smalldialog.h"
#include "ping/sequencedialogsupport.h"
#include "ping/sequenceparsers.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace netvane {

namespace {

QLabel *namedLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QLineEdit *numberBox(const QString &name, const QString &text, QWidget *parent, int width)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setMinimumWidth(width);
    box->setMaximumWidth(width * 3);
    return box;
}

void paintText(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

} // namespace

DialogAdvanceSize::DialogAdvanceSize(QWidget *mainWindow)
    : QDialog(mainWindow),
      m_option1(new QRadioButton(u"Incremental Size:"_qs, this)),
      m_option2(new QRadioButton(u"Multiple Size: "_qs, this)),
      m_textIFrom(numberBox(u"TextIFrom"_qs, u"32"_qs, this, 60)),
      m_textITo(numberBox(u"TextITo"_qs, u"32000"_qs, this, 60)),
      m_textIIncre(numberBox(u"TextIIncre"_qs, u"32"_qs, this, 60)),
      m_textIRe(numberBox(u"TextIRe"_qs, u"1"_qs, this, 40)),
      m_textMV(numberBox(u"TextMV"_qs, u"16,32,64,128,1024"_qs, this, 180)),
      m_textMRe(numberBox(u"TextMRe"_qs, u"4"_qs, this, 40)),
      m_okButton(new QPushButton(u"OK"_qs, this)),
      m_cancelButton(new QPushButton(u"Cancel"_qs, this))
{
    setObjectName(u"DialogAdvanceSize"_qs);
    setWindowFlags(SmallDialogFlags);
    setWindowTitle(u"Advanced Send Buffer Size Setting"_qs);
    setModal(true);
    m_option1->setObjectName(u"Option1"_qs);
    m_option2->setObjectName(u"Option2"_qs);
    m_okButton->setObjectName(u"OKButton"_qs);
    m_cancelButton->setObjectName(u"CancelButton"_qs);
    m_okButton->setDefault(true);

    QLabel *label1 = namedLabel(u"Label1"_qs, u"Send buffer size:       from"_qs, this);
    QLabel *label2 = namedLabel(u"Label2"_qs, u"to"_qs, this);
    QLabel *label3 = namedLabel(u"Label3"_qs, u"bytes"_qs, this);
    QLabel *label4 = namedLabel(u"Label4"_qs, u"Increment:"_qs, this);
    QLabel *label5 = namedLabel(u"Label5"_qs, u"bytes,   Repeat:"_qs, this);
    QLabel *label7 = namedLabel(u"Label7"_qs, u"times for each value"_qs, this);
    QLabel *label8 = namedLabel(u"Label8"_qs, u"Values:"_qs, this);
    QLabel *label9 = namedLabel(u"Label9"_qs, u"bytes"_qs, this);
    QLabel *label10 = namedLabel(u"Label10"_qs, u"Repeat:"_qs, this);
    QLabel *label11 = namedLabel(u"Label11"_qs, u"times for each value"_qs, this);
    QLabel *label12 = namedLabel(u"Label12"_qs, u"(Separate by Comma)"_qs, this);

    auto *grid = new QGridLayout;
    grid->addWidget(m_option1, 0, 0, 1, 6);
    grid->addWidget(label1, 1, 0);
    grid->addWidget(m_textIFrom, 1, 1);
    grid->addWidget(label2, 1, 2, Qt::AlignCenter);
    grid->addWidget(m_textITo, 1, 3);
    grid->addWidget(label3, 1, 4);
    grid->addWidget(label4, 2, 0, Qt::AlignRight);
    grid->addWidget(m_textIIncre, 2, 1);
    grid->addWidget(label5, 2, 2, 1, 2, Qt::AlignRight);
    grid->addWidget(m_textIRe, 2, 4);
    grid->addWidget(label7, 2, 5);
    grid->addWidget(m_option2, 3, 0, 1, 6);
    grid->addWidget(label8, 4, 0, Qt::AlignRight);
    grid->addWidget(m_textMV, 4, 1, 1, 3);
    grid->addWidget(label9, 4, 4);
    grid->addWidget(label12, 4, 5);
    grid->addWidget(label10, 5, 0, Qt::AlignRight);
    grid->addWidget(m_textMRe, 5, 1);
    grid->addWidget(label11, 5, 2, 1, 4);
    grid->setRowMinimumHeight(3, 28);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addSpacing(8);
    outer->addLayout(buttons);

    m_incrementalGroup = {m_option1, label1, m_textIFrom, label2, m_textITo, label3, label4,
                          m_textIIncre, label5, m_textIRe, label7};
    m_multipleGroup = {m_option2, label8, m_textMV, label9, label10, m_textMRe, label11,
                       label12};

    auto *digits = new CharacterKeyFilter(u"0123456789"_qs, this);
    auto *digitsAndComma = new CharacterKeyFilter(u"0123456789,"_qs, this);
    for (QLineEdit *box : {m_textIFrom, m_textITo, m_textIIncre, m_textIRe, m_textMV, m_textMRe}) {
        box->installEventFilter(box == m_textMV ? digitsAndComma : digits);
        box->installEventFilter(this);
    }

    connect(m_option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            selectIncremental(true);
    });
    connect(m_option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            selectIncremental(false);
    });
    connect(m_okButton, &QPushButton::clicked, this, &DialogAdvanceSize::OKButton_Click);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    m_option1->setChecked(true);
    selectIncremental(true);
    PlaceBesideMainWindow(this, mainWindow);
}

bool DialogAdvanceSize::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_textMV || watched == m_textMRe)
            m_option2->setChecked(true);
        else
            m_option1->setChecked(true);
    }
    return QDialog::eventFilter(watched, event);
}

void DialogAdvanceSize::selectIncremental(bool incremental)
{
    const QColor active = QApplication::palette().color(QPalette::ButtonText);
    const QColor grey(128, 128, 128);
    for (QWidget *w : std::as_const(m_incrementalGroup))
        paintText(w, incremental ? active : grey);
    for (QWidget *w : std::as_const(m_multipleGroup))
        paintText(w, incremental ? grey : active);
}

void DialogAdvanceSize::OKButton_Click()
{
    const SizeSequenceResult result =
        m_option1->isChecked()
            ? CheckIncrementalSizes(m_textIFrom->text(), m_textITo->text(), m_textIIncre->text(),
                                    m_textIRe->text())
            : CheckMultipleSizes(m_textMV->text(), m_textMRe->text());
    if (!result.ok) {
        MsgBox(result.message, result.unexpected ? BoxIcon::Exclamation : BoxIcon::Critical);
        return;
    }
    m_plan = result.plan;
    accept();
}

} // namespace netvane
