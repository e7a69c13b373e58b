#include "ping/pingsettingsbox.h"

#include "ping/dialogadvanceinterval.h"
#include "ping/dialogadvancesize.h"
#include "ping/sequencedialogsupport.h"
#include "ping/sequenceparsers.h"
#include "platform/dialogs.h"
#include "probe/netlookup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace netvane {

namespace {

QComboBox *settingsCombo(const QString &name, const QStringList &items, int start,
                         int minimumWidth, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    // What is typed is what counts: no completion from the items ("10" must not
    // become "1000"), and nothing typed is added to them.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(start);
    combo->setMaxVisibleItems(20);
    combo->setMinimumWidth(minimumWidth);
    return combo;
}

QPushButton *advancedButton(const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(u"A"_qs, parent);
    button->setObjectName(name);
    button->setToolTip(u"Advanced"_qs);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(u"A"_qs) + 16);
    return button;
}

} // namespace

PingSettingsBox::PingSettingsBox(QWidget *parent)
    : QWidget(parent),
      m_comboInv(settingsCombo(u"ComboInv"_qs, IntervalItems(), IntervalStartItem, 190, this)),
      m_comboTimeOut(
          settingsCombo(u"ComboTimeOut"_qs, TimeOutItems(), TimeOutStartItem, 150, this)),
      m_comboSize(settingsCombo(u"ComboSize"_qs, SizeItems(), SizeStartItem, 190, this)),
      m_comboTimes(settingsCombo(u"ComboTimes"_qs, TestTimesItems(), 0, 110, this)),
      m_comboRepIP(settingsCombo(u"ComboRepIP"_qs, RepeatItems(), 0, 70, this)),
      m_comboFamily(new QComboBox(this)),
      m_command9(advancedButton(u"Command9"_qs, this)),
      m_command13(advancedButton(u"Command13"_qs, this)),
      m_total(new QLabel(this))
{
    setObjectName(u"PingSettingsBox"_qs);
    m_total->setObjectName(u"Label1_28"_qs);
    m_total->setMinimumWidth(m_total->fontMetrics().horizontalAdvance(u"Total: 6400000"_qs));

    auto caption = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->addWidget(caption(u"Inter&val:"_qs, m_comboInv), 0, 0);
    grid->addWidget(m_comboInv, 0, 1);
    grid->addWidget(m_command9, 0, 2);
    grid->addWidget(caption(u"Ti&me Out:"_qs, m_comboTimeOut), 0, 4);
    grid->addWidget(m_comboTimeOut, 0, 5);
    grid->addWidget(caption(u"&Repeat Per IP:"_qs, m_comboRepIP), 0, 7);
    grid->addWidget(m_comboRepIP, 0, 8);
    grid->addWidget(caption(u"Buffer &Size:"_qs, m_comboSize), 1, 0);
    grid->addWidget(m_comboSize, 1, 1);
    grid->addWidget(m_command13, 1, 2);
    grid->addWidget(caption(u"Test &Times:"_qs, m_comboTimes), 1, 4);
    grid->addWidget(m_comboTimes, 1, 5);
    grid->addWidget(m_total, 1, 7, 1, 2);
    m_comboFamily->setObjectName(u"ComboFamily"_qs);
    m_comboFamily->addItems(AddressFamilyTexts());
    m_comboFamily->setCurrentIndex(int(CurrentAddressFamily()));
    m_comboFamily->setToolTip(u"The address family a host name with both IPv4 and IPv6 addresses "
                              u"is tested on; Automatic takes the address the system would connect to."_qs);
    grid->addWidget(caption(u"Address Famil&y:"_qs, m_comboFamily), 0, 10);
    grid->addWidget(m_comboFamily, 0, 11);
    connect(m_comboFamily, &QComboBox::currentIndexChanged, this,
            [](int index) { SetAddressFamily(AddressFamily(qBound(0, index, 2))); });
    grid->setColumnMinimumWidth(3, 12);
    grid->setColumnMinimumWidth(6, 12);
    grid->setColumnStretch(9, 1);
    grid->setColumnMinimumWidth(9, 12);

    // editTextChanged comes for typing, for a chosen item and for a text set from
    // outside alike: it follows the choices that act at once ("Advanced", the step-up
    // item) and the total. A text is checked when its editing ends (Enter, or the focus
    // leaving the box), never after each key: "Continually" must be typeable.
    connect(m_comboInv, &QComboBox::editTextChanged, this, &PingSettingsBox::ComboInv_Change);
    connect(m_comboSize, &QComboBox::editTextChanged, this, &PingSettingsBox::ComboSize_Change);
    connect(m_comboTimes, &QComboBox::editTextChanged, this, &PingSettingsBox::ComboTimes_Change);
    connect(m_comboRepIP, &QComboBox::editTextChanged, this, &PingSettingsBox::ComboRepIP_Change);
    const auto checkWhenEdited = [this](QComboBox *box, void (PingSettingsBox::*check)()) {
        connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this, box, check] {
            if (!box->lineEdit()->isModified())
                return; // left as it was: nothing new to check
            box->lineEdit()->setModified(false);
            (this->*check)();
        });
    };
    checkWhenEdited(m_comboInv, &PingSettingsBox::intervalEdited);
    checkWhenEdited(m_comboTimeOut, &PingSettingsBox::ComboTimeOut_Change);
    checkWhenEdited(m_comboTimes, &PingSettingsBox::timesEdited);
    connect(m_command9, &QPushButton::clicked, this,
            [this] { m_comboInv->setEditText(AdvancedText); });
    connect(m_command13, &QPushButton::clicked, this,
            [this] { m_comboSize->setEditText(AdvancedText); });
    refreshTotal();
}

bool PingSettingsBox::show(const SettingCheck &check)
{
    if (!check.message.isEmpty())
        MsgBox(check.boxText(), BoxIcon::Critical);
    return check.passed;
}

bool PingSettingsBox::ValidateAll()
{
    return show(CheckInterval(m_comboInv->currentText(), m_settings))
           && show(CheckSendSize(m_comboSize->currentText(), m_settings))
           && show(CheckTimeOut(m_comboTimeOut->currentText(), m_settings))
           && show(CheckTestTimes(m_comboTimes->currentText(), m_settings))
           && show(CheckRepeatPerTarget(m_comboRepIP->currentText(), m_settings));
}

void PingSettingsBox::ComboInv_Change()
{
    if (m_inIntervalChange)
        return;
    m_inIntervalChange = true;
    if (m_comboInv->currentText() == AdvancedText)
        openIntervalDialog();
    m_inIntervalChange = false;
}

void PingSettingsBox::intervalEdited()
{
    const QString message = IntervalEditMessage(m_comboInv->currentText());
    if (message.isEmpty())
        return;
    MsgBox(message + u"\n\n"_qs + IntervalAllowed(), BoxIcon::Critical);
    m_inIntervalChange = true;
    m_comboInv->setCurrentIndex(IntervalStartItem);
    m_comboInv->setEditText(m_comboInv->itemText(IntervalStartItem));
    m_inIntervalChange = false;
}

void PingSettingsBox::openIntervalDialog()
{
    // One dialog for the window's life: shown again, it holds the user's last entries.
    if (!m_dialogInterval)
        m_dialogInterval = new DialogAdvanceInterval(window());
    DialogAdvanceInterval &dialog = *m_dialogInterval;
    PlaceBesideMainWindow(&dialog, window());
    if (dialog.exec() != QDialog::Accepted) {
        m_comboInv->setCurrentIndex(IntervalStartItem);
        m_comboInv->setEditText(m_comboInv->itemText(IntervalStartItem));
        return;
    }
    m_comboInv->setEditText(IntervalText(dialog.sequence()));
}

void PingSettingsBox::ComboTimeOut_Change()
{
    show(CheckTimeOut(m_comboTimeOut->currentText(), m_settings));
}

void PingSettingsBox::ComboSize_Change()
{
    if (m_inSizeChange)
        return;
    m_inSizeChange = true;
    const QString text = m_comboSize->currentText();
    if (text == StepUpItem)
        m_comboTimes->setEditText(u"1000"_qs); // one pass for each of the 1000 sizes
    else if (text == AdvancedText)
        openSizeDialog();
    m_inSizeChange = false;
}

void PingSettingsBox::openSizeDialog()
{
    m_settings.sizePlan = SingleSizePlan(32);
    m_settings.sizePlan.count = 0;
    if (!m_dialogSize)
        m_dialogSize = new DialogAdvanceSize(window());
    DialogAdvanceSize &dialog = *m_dialogSize;
    PlaceBesideMainWindow(&dialog, window());
    if (dialog.exec() != QDialog::Accepted) {
        m_comboSize->setCurrentIndex(SizeStartItem);
        m_comboSize->setEditText(m_comboSize->itemText(SizeStartItem));
        m_settings.sizePlan = SingleSizePlan(32);
        m_settings.sendSize = 32;
        return;
    }
    const SendSizePlan &plan = dialog.plan();
    m_settings.sizePlan = plan;
    if (plan.mode == u"Incremental") {
        m_comboSize->setEditText(IncrementalSizeText(plan));
        // The number of passes is kept as a 16-bit number.
        const qint64 passes = qint64(plan.repeat) * plan.count;
        if (passes > MaxPlanCount)
            MsgBox(u"Overflow - Inalid Send Buffer Size."_qs, BoxIcon::Critical);
        else
            m_comboTimes->setEditText(QString::number(passes));
    } else {
        m_comboSize->setEditText(plan.valuesText);
        m_comboTimes->setCurrentIndex(0);
        m_comboTimes->setEditText(ContinuallyText);
    }
}

void PingSettingsBox::ComboTimes_Change()
{
    refreshTotal();
}

void PingSettingsBox::timesEdited()
{
    show(CheckTestTimes(m_comboTimes->currentText(), m_settings));
}

void PingSettingsBox::ComboRepIP_Change()
{
    refreshTotal();
}

void PingSettingsBox::refreshTotal()
{
    m_total->setText(TotalText(m_comboRepIP->currentText(), m_comboTimes->currentText()));
}

} // namespace netvane
