#include "iplist/iplistpanel.h"

#include "app/formtester.h"
#include "iplist/formaddip.h"
#include "iplist/formaddipg.h"
#include "iplist/formaddipr.h"
#include "iplist/iplist.h"
#include "iplist/iplistfile.h"
#include "iplist/iplistitem.h"
#include "iplist/targetentry.h"
#include "ping/exportfile.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "probe/netlookup.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace netvane {

namespace {

constexpr int twips(int t) { return t / 15; }

bool askLargeRange(const QString &first, const QString &last, qint64 count)
{
    return MsgBox(u"The IP range '"_qs + first + u" - "_qs + last + u"' holds "_qs
                      + QString::number(count)
                      + u" addresses. Expanding all of them takes a long time.\n\n"
                        u"Expand the whole range anyway?"_qs,
                  BoxIcon::Question, BoxButtons::YesNo, u"IP Range"_qs)
           == BoxAnswer::Yes;
}

} // namespace

IpListPanel::IpListPanel(FormTester *owner, QWidget *parent)
    : QWidget(parent), m_owner(owner), m_list(new IpList(this)), m_listIP(new QListWidget(this)),
      m_checkReset(new QCheckBox(u"Select all"_qs, this)),
      m_pictureShowIP(new QFrame(owner ? static_cast<QWidget *>(owner) : this)),
      m_textShowIPsT(new QLabel(m_pictureShowIP)), m_textShowIPsT2(new QLabel(m_pictureShowIP)),
      m_textShowIPs(new QListWidget(m_pictureShowIP))
{
    setObjectName(u"IpListPanel"_qs);
    m_listIP->setObjectName(u"ListIP"_qs);
    // A click toggles an entry, so several items can be picked with the mouse alone.
    m_listIP->setSelectionMode(QAbstractItemView::MultiSelection);
    m_listIP->setMinimumWidth(200);
    m_checkReset->setObjectName(u"CheckReset"_qs);
    m_checkReset->setToolTip(u"Select all items of the IP list, or none"_qs);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *caption = new QLabel(u"IP List:"_qs, this);
    caption->setBuddy(m_listIP);
    // The column's two tab buttons: one lets the list grow to the column's whole
    // height, the other brings it back to its short height; one of them shows.
    auto *captionRow = new QHBoxLayout;
    captionRow->addWidget(caption, 1);
    const QString tabCaptions[2] = {u"More \u25bc"_qs, u"Less \u25b2"_qs};
    const QString tabTips[2] = {u"Show more entries of the IP List"_qs,
                                u"Show the IP List short again"_qs};
    for (int i = 0; i < 2; ++i) {
        m_picture1[size_t(i)] = new QPushButton(tabCaptions[i], this);
        m_picture1[size_t(i)]->setObjectName(u"Picture1_%1"_qs.arg(i + 1));
        m_picture1[size_t(i)]->setToolTip(tabTips[i]);
        m_picture1[size_t(i)]->setFlat(true);
        captionRow->addWidget(m_picture1[size_t(i)]);
        connect(m_picture1[size_t(i)], &QPushButton::clicked, this, [this, i] { Picture1_Click(i + 1); });
    }
    layout->addLayout(captionRow);
    layout->addWidget(m_listIP);
    m_listTail = new QWidget(this); // the room a short list leaves in the column
    layout->addWidget(m_listTail, 1);
    layout->addWidget(m_checkReset);
    auto *buttons = new QGridLayout;
    const QString captions[5] = {u"Add S"_qs, u"Add G"_qs, u"Add R"_qs, u"Edit"_qs,
                                 u"Delete"_qs};
    const QString tips[5] = {u"Add a single IP or URL"_qs, u"Add a group of IP addresses"_qs,
                             u"Add a range of IP addresses"_qs, u"Edit the seleted item"_qs,
                             u"Detete the seleted item"_qs};
    for (int i = 0; i < 5; ++i) {
        m_commandAdd[i] = new QPushButton(captions[i], this);
        m_commandAdd[i]->setObjectName(u"CommandAdd_%1"_qs.arg(i));
        m_commandAdd[i]->setToolTip(tips[i]);
        buttons->addWidget(m_commandAdd[i], i / 3, i % 3);
    }
    layout->addLayout(buttons);

    m_pictureShowIP->setObjectName(u"PictureShowIP"_qs);
    m_pictureShowIP->setFrameShape(QFrame::Box);
    m_pictureShowIP->setAutoFillBackground(true);
    m_textShowIPsT->setObjectName(u"TextShowIPsT"_qs);
    m_textShowIPsT2->setObjectName(u"TextShowIPsT2"_qs);
    m_textShowIPs->setObjectName(u"TextShowIPs"_qs);
    QFont bold = m_textShowIPsT2->font();
    bold.setBold(true);
    m_textShowIPsT2->setFont(bold);
    auto *detail = new QVBoxLayout(m_pictureShowIP);
    detail->addWidget(m_textShowIPsT);
    detail->addWidget(m_textShowIPsT2);
    detail->addWidget(m_textShowIPs, 1);
    m_pictureShowIP->hide();
    Picture1_Click(2); // short at start

    connect(m_commandAdd[0], &QPushButton::clicked, this, &IpListPanel::AddSingleItem);
    connect(m_commandAdd[1], &QPushButton::clicked, this, &IpListPanel::AddGroupItem);
    connect(m_commandAdd[2], &QPushButton::clicked, this, &IpListPanel::AddRangeItem);
    connect(m_commandAdd[3], &QPushButton::clicked, this, &IpListPanel::EditSelectedItem);
    connect(m_commandAdd[4], &QPushButton::clicked, this, &IpListPanel::DeleteSelectedItems);
    connect(m_listIP, &QListWidget::itemClicked, this, &IpListPanel::ListIP_Click);
    // The caption and the tick follow the selection, however it changed (a reload, an
    // import, the reset menu).
    connect(m_listIP, &QListWidget::itemSelectionChanged, this, &IpListPanel::selectionChanged);
    // The keyboard moves and toggles entries too (see eventFilter).
    m_listIP->installEventFilter(this);
    connect(m_checkReset, &QCheckBox::clicked, this, &IpListPanel::CheckReset_Click);
    connect(m_textShowIPs, &QListWidget::itemClicked, this, &IpListPanel::TextShowIPs_Click);

    if (owner) {
        m_textPing = owner->findChild<QLineEdit *>(u"TextPing"_qs);
        if (m_textPing) {
            m_textPing->installEventFilter(this);
            connect(m_textPing, &QLineEdit::textChanged, this, [this](const QString &text) {
                if (m_settingAddressBox)
                    return;
                if (auto *start = m_owner->findChild<QWidget *>(u"CommandStart"_qs))
                    start->setToolTip(u"Run Ping Test on the '"_qs + text + u"'."_qs);
                if (auto *scan = m_owner->findChild<QWidget *>(u"Command8"_qs))
                    scan->setToolTip(u"Quickly scan the ip addresses of '"_qs + text + u"'."_qs);
            });
            // What the user types is what Start tests: an edit lets go of the list as
            // entering the box does, even when the focus came back from a dialog.
            connect(m_textPing, &QLineEdit::textEdited, this, &IpListPanel::releaseSelection);
        }
    }
}

IpListPanel::~IpListPanel() = default;

void IpListPanel::addMenuItems(QMenu *ipMenu, QMenu *fileMenu, QAction *before)
{
    struct Entry {
        const char16_t *name;
        const char16_t *text;
        void (IpListPanel::*slot)();
    };
    const Entry ipEntries[] = {
        {u"mnuAddS", u"Add a single IP or URL", &IpListPanel::AddSingleItem},
        {u"mnuAddG", u"Add a group of IP addresses", &IpListPanel::AddGroupItem},
        {u"munAddR", u"Add a range of IP addresses", &IpListPanel::AddRangeItem},
        {u"mnuEdit", u"Edit the seleted item", &IpListPanel::EditSelectedItem},
        {u"mnuDelete", u"Detete the seleted item", &IpListPanel::DeleteSelectedItems},
        {nullptr, nullptr, nullptr},
        {u"mnuScanLocalIP", u"Scan local subnet and save the ip addresses",
         &IpListPanel::OfferLocalSubnetRange},
        {nullptr, nullptr, nullptr},
        {u"mnuReset", u"Reset all checked Checkbox", &IpListPanel::mnuReset_Click},
    };
    for (const Entry &e : ipEntries) {
        if (!e.name) {
            ipMenu->addSeparator();
            continue;
        }
        QAction *action = ipMenu->addAction(QString::fromUtf16(e.text));
        action->setObjectName(QString::fromUtf16(e.name));
        connect(action, &QAction::triggered, this, e.slot);
    }

    // The export/import entries of the File menu, indexes 0 to 3 of its array.
    auto addFileEntry = [&](int index, const QString &text, void (IpListPanel::*slot)()) {
        auto *action = new QAction(text, fileMenu);
        action->setObjectName(u"mnuExpImp_%1"_qs.arg(index));
        if (slot)
            connect(action, &QAction::triggered, this, slot);
        else
            action->setSeparator(true);
        fileMenu->insertAction(before, action);
    };
    addFileEntry(0, u"-"_qs, nullptr);
    addFileEntry(1, u"Export IP List"_qs, &IpListPanel::ExportIpList);
    addFileEntry(2, u"Import IP List"_qs, &IpListPanel::ImportIpList);
    addFileEntry(3, u"-"_qs, nullptr);
}

void IpListPanel::setFolder(const QString &dataFolder)
{
    m_list->setFolder(dataFolder);
}

void IpListPanel::LoadIpList()
{
    QString error;
    if (!m_list->LoadIpList(&error))
        MsgBox(error + u"    Fill_IP_List_2"_qs, BoxIcon::Exclamation);
    fillList();
}

void IpListPanel::fillList()
{
    m_chosen = false; // the entries are new: none was chosen
    m_listIP->clear();
    m_listIP->addItems(m_list->displayTexts());
    m_listIP->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    m_pictureShowIP->hide();
    selectionChanged();
}

QStringList IpListPanel::traceTargetEntries() const
{
    return m_list->traceTargetEntries();
}

bool IpListPanel::rewrite(const QStringList &items)
{
    QString error;
    const bool ok = m_list->rewrite(items, &error);
    if (!ok)
        MsgBox(error + u"    Fill_IP_List_2"_qs, BoxIcon::Exclamation);
    fillList();
    return ok;
}

void IpListPanel::selectRow(int row)
{
    if (row < 0 || row >= m_listIP->count())
        return;
    m_listIP->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    m_listIP->scrollToItem(m_listIP->item(row));
    ListIP_Click();
}

void IpListPanel::setAddressBox(const QString &text)
{
    if (!m_textPing)
        return;
    m_settingAddressBox = true;
    m_textPing->setText(text);
    m_settingAddressBox = false;
}

// ---- selection and the detail panel

void IpListPanel::Picture1_Click(int index)
{
    // Long: the list takes the column's whole height; short: about a quarter of the
    // long one (1605 of 7000 twips as designed), never fewer than eight entries.
    m_longList = index == 1;
    m_pictureShowIP->hide();
    const int shortRows = 8;
    const int rowHeight = qMax(m_listIP->sizeHintForRow(0), fontMetrics().height());
    if (m_longList) {
        m_listIP->setMaximumHeight(QWIDGETSIZE_MAX);
        m_listIP->setMinimumHeight(0);
        m_listTail->hide();
    } else {
        const int height = shortRows * rowHeight + 2 * m_listIP->frameWidth() + 4;
        m_listIP->setMinimumHeight(height);
        m_listIP->setMaximumHeight(height);
        m_listTail->show();
    }
    QSizePolicy policy = m_listIP->sizePolicy();
    policy.setVerticalStretch(m_longList ? 1 : 0);
    m_listIP->setSizePolicy(policy);
    m_picture1[0]->setVisible(!m_longList);
    m_picture1[1]->setVisible(m_longList);
}

void IpListPanel::ListIP_Click()
{
    QListWidgetItem *current = m_listIP->currentItem();
    m_chosen = current != nullptr;
    if (current && !current->text().isEmpty()) {
        const QString item = m_list->item(m_listIP->row(current));
        // The detail panel shows beside the short list only.
        if (!(m_owner && m_owner->isBusy()) && !m_longList) {
            Q_EMIT itemChosen(item);
            ShowItemAddresses(item);
        }
    }
    if (m_listIP->selectedItems().isEmpty())
        setAddressBox(current ? current->text() : QString());
    selectionChanged();
}

void IpListPanel::selectionChanged()
{
    const int selected = int(m_listIP->selectedItems().size());
    // Ticked only when it says the truth: every entry is selected.
    m_checkReset->setChecked(selected > 0 && selected == m_listIP->count());
    if (selected > 0) {
        setAddressBox(u"Selected "_qs + QString::number(selected) + u" Items"_qs);
    } else if (m_textPing && m_textPing->text().startsWith(u"Selected"_qs)) {
        // The count of a selection that is gone: the entry still chosen, or nothing.
        QListWidgetItem *current = m_chosen ? m_listIP->currentItem() : nullptr;
        setAddressBox(current ? current->text() : QString());
    }
}

void IpListPanel::ShowItemAddresses(const QString &item)
{
    const QChar kind = ItemKind(item);
    const QStringList parts = ItemParts(item);
    if (kind == u'B') {
        m_textShowIPsT->setText(u"Current selected IP Group:"_qs);
        m_textShowIPsT2->setText(ItemTitle(item));
        m_textShowIPs->clear();
        m_textShowIPs->addItems(parts);
        placeDetailPanel(std::min(twips(190 * int(parts.size() + 1) + 1200), twips(5405)));
    } else if (kind == u'C') {
        m_textShowIPsT->setText(u"Current selected IP Range:"_qs);
        m_textShowIPsT2->setText(ItemTitle(item));
        m_textShowIPs->clear();
        m_textShowIPs->addItems({QString(), parts.value(0) + u"  -  "_qs + parts.value(1)});
        placeDetailPanel(twips(1700));
    } else {
        m_pictureShowIP->hide();
        return;
    }
    m_panelKind = kind;
}

void IpListPanel::placeDetailPanel(int heightPx)
{
    // Beside the list, over the top of the result area, so the list stays usable.
    QWidget *host = m_pictureShowIP->parentWidget();
    const QPoint topLeft = m_listIP->mapTo(host, QPoint(m_listIP->width() + 6, 0));
    m_pictureShowIP->setGeometry(topLeft.x(), topLeft.y(), 260,
                                 std::max(heightPx, m_pictureShowIP->minimumSizeHint().height()));
    m_pictureShowIP->show();
    m_pictureShowIP->raise();
}

void IpListPanel::TextShowIPs_Click(QListWidgetItem *item)
{
    if (m_panelKind != u'B' || !item || item->text().isEmpty() || m_checkReset->isChecked())
        return;
    setAddressBox(StripHostAnnotation(item->text()));
    m_listIP->clearSelection();
    m_listIP->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
}

void IpListPanel::CheckReset_Click()
{
    if (m_checkReset->isChecked())
        m_listIP->selectAll();
    else
        m_listIP->clearSelection();
    selectionChanged(); // an empty list selects nothing: the box is not ticked then
    m_pictureShowIP->hide();
}

void IpListPanel::mnuReset_Click()
{
    m_checkReset->setChecked(false); // clicked() is not emitted: its handler does not run
    m_listIP->clearSelection();
}

bool IpListPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listIP && event->type() == QEvent::KeyRelease) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Space:
            ListIP_Click();
            break;
        default:
            break;
        }
    }
    if (watched == m_textPing && event->type() == QEvent::KeyPress
        && m_textPing->text().startsWith(u"Selected"_qs)) {
        // "Selected n Items" only counts the selection: a key that edits the box
        // replaces it with what is typed.
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool edits = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete
                           || (!key->text().isEmpty() && key->text().at(0).isPrint());
        if (edits) {
            setAddressBox(QString());
            releaseSelection();
        }
    }
    if (watched == m_textPing) {
        // Coming back to the window (after a dialog or from another program) is not
        // the user entering the box: the selection stays.
        const bool entered = event->type() == QEvent::FocusIn
                             && static_cast<QFocusEvent *>(event)->reason()
                                    != Qt::ActiveWindowFocusReason
                             && static_cast<QFocusEvent *>(event)->reason()
                                    != Qt::PopupFocusReason;
        if (entered) {
            if (m_textPing->text().startsWith(u"Selected"_qs))
                setAddressBox(QString());
            else
                QTimer::singleShot(0, m_textPing, &QLineEdit::selectAll); // after the click lands
            releaseSelection();
        } else if (event->type() == QEvent::FocusOut) {
            // Leaving the box empty chooses nothing: Start then says there is no target.
            QString text = m_textPing->text();
            text.remove(u' ');
            if (text != m_textPing->text())
                m_textPing->setText(text);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- targets

TargetTable IpListPanel::gatherTargets(TargetTable::Progress progress)
{
    m_pictureShowIP->hide();
    TargetTable table({}, &askLargeRange);
    table.setProgress(std::move(progress));
    // What the window shows is what is tested: a dialog's pending target, else the
    // selected entries, else the entry the user chose (a click or a key; the focus
    // passing over the list chooses nothing), else what IP / URL holds.
    const bool anySelected = !m_listIP->selectedItems().isEmpty();
    const int current = m_listIP->currentRow();
    if (!m_state.manualTarget[1].isEmpty()) {
        table.ExpandListItem(u"A"_qs + m_state.manualTarget[1]);
        m_state.manualTarget[1].clear();
    } else if (!m_state.manualTarget[2].isEmpty()) {
        table.ExpandListItem(m_state.manualTarget[2]);
        m_state.manualTarget[2].clear();
    } else if (anySelected) {
        for (int i = 0; i < m_listIP->count(); ++i) {
            if (!m_listIP->item(i)->isSelected())
                continue;
            table.ExpandListItem(m_list->item(i));
            LetWindowCatchUp();
        }
    } else if (m_chosen && current >= 0 && !m_listIP->item(current)->text().isEmpty()) {
        m_listIP->item(current)->setSelected(true);
        table.ExpandListItem(m_list->item(current));
    } else {
        QString text = m_textPing ? m_textPing->text() : QString();
        text.remove(u' ');
        if (text.startsWith(u"Selected"_qs)) // the count of a selection, never a host
            text.clear();
        if (text.isEmpty()) {
            MsgBox(NoTargetMessage, BoxIcon::Information);
            return table;
        }
        // Typed here or in the single-entry dialog: the same rule.
        if (const QString problem = TargetEntryProblem(text); !problem.isEmpty()) {
            MsgBox(u"Invalid IP / URL '"_qs + text + u"'.\n\n"_qs + problem, BoxIcon::Critical,
                   BoxButtons::Ok, u"IP Error"_qs);
            return table;
        }
        table.ExpandListItem(u"A"_qs + text);
    }
    return table;
}

void IpListPanel::releaseSelection()
{
    m_chosen = false;
    m_listIP->clearSelection();
    m_listIP->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    m_pictureShowIP->hide();
}

void IpListPanel::clearManualTargets()
{
    m_state.manualTarget[1].clear();
    m_state.manualTarget[2].clear();
}

TargetTable IpListPanel::gatherScanTargets()
{
    if (m_state.manualTarget[0].isEmpty())
        return gatherTargets();
    m_pictureShowIP->hide();
    TargetTable table({}, &askLargeRange);
    table.ExpandListItem(m_state.manualTarget[0]);
    m_state.manualTarget[0].clear();
    return table;
}

// ---- adding, editing, deleting

bool IpListPanel::startManualTest()
{
    const bool pending = !m_state.manualTarget[0].isEmpty() || !m_state.manualTarget[1].isEmpty()
                         || !m_state.manualTarget[2].isEmpty();
    if (pending && m_owner && m_owner->isBusy()) {
        // A test already runs: this one cannot start, and a target left in its slot
        // would take the place of the selection at the next Start.
        m_state.manualTarget = {};
        MsgBox(u"Please click 'Stop' button to stop the testing first."_qs, BoxIcon::Information,
               BoxButtons::Ok, u"Test is Running."_qs);
        return false;
    }
    if (!m_state.manualTarget[0].isEmpty()) {
        Q_EMIT scanRequested();
        return true;
    }
    if (!m_state.manualTarget[1].isEmpty() || !m_state.manualTarget[2].isEmpty()) {
        if (m_owner)
            m_owner->CommandStart_Click();
        return true;
    }
    return false;
}

void IpListPanel::runDialog(DialogKind kind)
{
    m_state.owner = window()->pos();
    QDialog *dialog = nullptr;
    switch (kind) {
    case DialogKind::Single:
        if (!m_formAddIP)
            m_formAddIP = new FormAddIP(m_state, window());
        dialog = m_formAddIP;
        break;
    case DialogKind::Group:
        if (!m_formAddIPG)
            m_formAddIPG = new FormAddIPG(m_state, window());
        dialog = m_formAddIPG;
        break;
    case DialogKind::Range:
        if (!m_formAddIPR)
            m_formAddIPR = new FormAddIPR(m_state, window());
        dialog = m_formAddIPR;
        break;
    }
    dialog->exec();
}

QString IpListPanel::newLine(DialogKind kind) const
{
    switch (kind) {
    case DialogKind::Single:
        return u"A"_qs + m_state.result;
    case DialogKind::Group:
        return u"B"_qs + m_state.title + u',' + m_state.result;
    case DialogKind::Range:
        return u"C"_qs + m_state.title + u',' + m_state.result;
    }
    return {};
}

namespace {

QString duplicateMessage(bool single, const QString &name)
{
    return single ? u"The same ip/url '"_qs + name + u"' has existed."_qs
                  : u"The same tittle '"_qs + name + u"' has existed."_qs;
}

} // namespace

void IpListPanel::AddSingleItem()
{
    addItem(DialogKind::Single);
}

void IpListPanel::AddGroupItem()
{
    addItem(DialogKind::Group);
}

void IpListPanel::AddRangeItem()
{
    addItem(DialogKind::Range);
}

void IpListPanel::addItem(DialogKind kind)
{
    m_state.result.clear();
    m_state.title.clear();
    m_state.editSource.clear();
    const bool single = kind == DialogKind::Single;
    for (;;) {
        runDialog(kind);
        if (m_state.result == IpDialogState::Left) {
            startManualTest();
            return;
        }
        if (m_state.result.isEmpty())
            continue;
        if (!single && m_state.title.isEmpty())
            m_state.title = kind == DialogKind::Group ? u"IP_Group"_qs : u"IP_Range"_qs;
        // A single entry is known by its address, a group or range by its title.
        const QString name = single ? m_state.result : m_state.title;
        if (m_list->findDisplayText(name) >= 0) {
            m_state.message = duplicateMessage(single, name);
            continue;
        }
        const QString line = newLine(kind);
        rewrite(m_list->items() + QStringList{line});
        selectRow(m_list->indexOfItem(line));
        m_state.message = u"'"_qs + name + u"' has been added to the list."_qs;
    }
}

void IpListPanel::EditSelectedItem()
{
    QListWidgetItem *current = m_listIP->currentItem();
    if (!current || current->text().isEmpty())
        return;
    const int editIndex = m_listIP->row(current);
    m_state.result.clear();
    m_state.title.clear();
    m_state.editSource = m_list->item(editIndex);
    const QChar kindLetter = ItemKind(m_state.editSource);
    const DialogKind kind = kindLetter == u'A'   ? DialogKind::Single
                            : kindLetter == u'B' ? DialogKind::Group
                                                 : DialogKind::Range;
    for (;;) {
        m_state.editMode = true;
        runDialog(kind);
        if (m_state.result == IpDialogState::Left) {
            startManualTest();
            return;
        }
        if (m_state.result.isEmpty())
            continue;
        QString name = m_state.result;
        if (kind == DialogKind::Single) {
            if (m_list->findDisplayText(name, editIndex) >= 0) {
                m_state.message = duplicateMessage(true, name);
                continue;
            }
            if (ItemDisplayText(m_state.editSource).compare(name, Qt::CaseInsensitive) == 0)
                return; // the same entry: nothing to change
        } else {
            if (m_state.title.isEmpty())
                m_state.title = kind == DialogKind::Group ? u"IP_Group"_qs : u"IP_Range"_qs;
            name = m_state.title;
            if (m_list->findDisplayText(name, editIndex) >= 0) {
                m_state.message = duplicateMessage(false, name);
                continue;
            }
        }
        const QString line = newLine(kind);
        QStringList items = m_list->items();
        items[editIndex] = line;
        rewrite(items);
        selectRow(m_list->indexOfItem(line));
        return;
    }
}

void IpListPanel::DeleteSelectedItems()
{
    QStringList names;
    QStringList kept;
    int lastDeletedIndex = -1;
    for (int i = 0; i < m_listIP->count(); ++i) {
        if (m_listIP->item(i)->isSelected()) {
            names << m_listIP->item(i)->text();
            lastDeletedIndex = i;
        } else {
            kept << m_list->item(i);
        }
    }
    if (names.isEmpty()) {
        QListWidgetItem *current = m_listIP->currentItem();
        if (!current || current->text().isEmpty())
            return;
        if (MsgBox(u"Are you sure to delete the item '"_qs + current->text() + u"'?"_qs,
                   BoxIcon::Question, BoxButtons::YesNo, u"Delete IP"_qs)
            != BoxAnswer::Yes)
            return;
        lastDeletedIndex = m_listIP->row(current);
        kept = m_list->items();
        kept.removeAt(lastDeletedIndex);
    } else if (MsgBox(u"Are you sure to delete "_qs + QString::number(names.size())
                          + u" seleted items ?\n"_qs + DeleteNameList(names),
                      BoxIcon::Question, BoxButtons::YesNo, u"Delete IP"_qs)
               != BoxAnswer::Yes) {
        return;
    }
    rewrite(kept);
    selectRow(std::min(lastDeletedIndex, m_listIP->count() - 1));
}

// ---- export, import, local subnet

void IpListPanel::ExportIpList()
{
    const QString path =
        AskSavePath(u"IP List will be export to this File"_qs,
                    u"IP_List_"_qs + QDateTime::currentDateTime().toString(u"yyyyMMddhhmm"_qs),
                    u"txt"_qs);
    if (path.isEmpty())
        return;
    // The list file onto itself: it already holds what would be written.
    if (!IsSameFile(path, m_list->filePath())) {
        QByteArray content;
        QString error;
        if (!ReadFileBytes(m_list->filePath(), &content, &error)
            || !ReplaceFile(path, content, &error)) {
            MsgBox(error, BoxIcon::Critical);
            return;
        }
    }
    LetWindowCatchUp();
    ShowFileSaved(u"IP List has export to file: "_qs + path);
}

void IpListPanel::ImportIpList()
{
    const QString target = m_list->filePath();
    const QString path = AskImportPath(u"Import an IP List from this File"_qs, target,
                                       u"Overwrite the current IP List?"_qs);
    if (path.isEmpty())
        return;
    if (!IsSameFile(path, target)) {
        QByteArray content;
        QString error;
        if (!ReadFileBytes(path, &content, &error)) {
            MsgBox(error, BoxIcon::Critical);
            return;
        }
        // A file that would load as an empty list is no list: the current one stays.
        if (ReadIpListFile(path).isEmpty()) {
            MsgBox(u"No IP List item was found in this file, the IP List has not been changed:\r\n"_qs
                       + path,
                   BoxIcon::Critical);
            return;
        }
        // Copied unchanged, whole or not at all: a failed copy leaves the old list.
        if (!ReplaceFile(target, content, &error, FileAccess::OwnerOnly)) {
            MsgBox(error, BoxIcon::Critical);
            return;
        }
    }
    LetWindowCatchUp();
    MsgBox(u"IP List has been imported"_qs, BoxIcon::Information, BoxButtons::Ok, u"Imported"_qs);
    LoadIpList();
}

void IpListPanel::OfferLocalSubnetRange()
{
    const SubnetRange range = LocalSubnetRange();
    m_state.rangePrefillFirst = range.first;
    m_state.rangePrefillLast = range.last;
    LetWindowCatchUp();
    AddRangeItem();
}

} // namespace netvane
