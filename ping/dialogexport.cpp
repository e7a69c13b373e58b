#include "ping/dialogexport.h"

#include "ping/smalldialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace netvane {

DialogExport::DialogExport(QWidget *parent)
    : QDialog(parent),
      m_label1(new QLabel(this)),
      m_option1(new QRadioButton(u"Text"_qs, this)),
      m_option2(new QRadioButton(u"CSV / Excel"_qs, this)),
      m_option3(new QRadioButton(u"JSON"_qs, this)),
      m_okButton(new QPushButton(u"OK"_qs, this)),
      m_cancelButton(new QPushButton(u"Cancel"_qs, this))
{
    setObjectName(u"DialogExport"_qs);
    setWindowFlags(SmallDialogFlags);
    setWindowTitle(u" Export"_qs);
    setModal(true);
    m_label1->setObjectName(u"Label1"_qs);
    m_option1->setObjectName(u"Option1"_qs);
    m_option2->setObjectName(u"Option2"_qs);
    m_option3->setObjectName(u"Option3"_qs);
    m_okButton->setObjectName(u"OKButton"_qs);
    m_cancelButton->setObjectName(u"CancelButton"_qs);
    m_option1->setChecked(true);
    m_okButton->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_option1);
    layout->addWidget(m_option2);
    layout->addWidget(m_option3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);

    connect(m_okButton, &QPushButton::clicked, this, &DialogExport::okClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        m_choice.clear();
        hide();
    });
}

QString DialogExport::ask(const QString &kind)
{
    if (kind == u"Ping")
        m_label1->setText(u"Export the ping test results to the"_qs);
    else if (kind == u"Report")
        m_label1->setText(u"Export the summary report to the"_qs);
    else if (kind == u"Tracert")
        m_label1->setText(u"Export the traceroute log to the"_qs);
    else if (kind == u"Path")
        m_label1->setText(u"Export the path statistics to the"_qs);
    else
        m_label1->setText(u"Export the ip scan test results to the"_qs);
    // Only ping results and path statistics have a JSON layout; a JSON choice left
    // from them falls back.
    const bool json = kind == u"Ping" || kind == u"Path";
    m_option3->setVisible(json);
    if (!json && m_option3->isChecked())
        m_option1->setChecked(true);
    m_choice.clear();
    exec();
    return m_choice;
}

void DialogExport::okClicked()
{
    if (m_option1->isChecked())
        m_choice = u"Text"_qs;
    else if (m_option2->isChecked())
        m_choice = u"CSV"_qs;
    else if (m_option3->isChecked() && m_option3->isVisibleTo(this))
        m_choice = u"JSON"_qs;
    hide();
}

void DialogExport::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Centred on the screen, a little (100 twips) above the middle.
    if (const QScreen *s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center().x() - width() / 2, area.center().y() - height() / 2 - 100 / 15);
    }
}

} // namespace netvane
