#pragma once
// The target list column of the main window: the list ListIP (several entries may
// be selected), the add/edit/delete buttons CommandAdd_0..4, the select-all box
// CheckReset, and the detail panel PictureShowIP that shows the members of a
// selected group or the bounds of a range. It drives the three add/edit dialogs,
// gathers the targets of a ping test from the selection, the address box TextPing
// and the dialogs' test buttons, and exports and imports the list file.

#include "iplist/dialogstate.h"
#include "iplist/targettable.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;

namespace netvane {

class FormAddIP;
class FormAddIPG;
class FormAddIPR;
class FormTester;
class IpList;

class IpListPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IpListPanel)
public:
    // owner: the main window (its TextPing, busy state and ping start).
    explicit IpListPanel(FormTester *owner, QWidget *parent = nullptr);
    ~IpListPanel() override;

    // Adds the list's entries to the IP menu and the export/import entries to the
    // File menu (before `before`).
    void addMenuItems(QMenu *ipMenu, QMenu *fileMenu, QAction *before);

    void setFolder(const QString &dataFolder);
    void LoadIpList();

    void AddSingleItem();
    void AddGroupItem();
    void AddRangeItem();
    void EditSelectedItem();
    void DeleteSelectedItems();
    void ExportIpList();
    void ImportIpList();
    void OfferLocalSubnetRange();

    // The list column's tab buttons: 1 grows the list to its long height, 2 brings
    // it back to its short one.
    void Picture1_Click(int index);
    void ListIP_Click();
    void TextShowIPs_Click(QListWidgetItem *item);
    void ShowItemAddresses(const QString &item);
    void CheckReset_Click();
    void mnuReset_Click();

    // The targets of a ping test: a pending single entry or group from the
    // dialogs' Ping buttons, else TextPing when no list entry is current, else the
    // selected items (or the current one). Unresolved names are in the table; the
    // expansion reports to `progress` and stops when it says so.
    TargetTable gatherTargets(TargetTable::Progress progress = {});
    // Empties the dialogs' pending test targets (slots 1 and 2) when a start does
    // not happen, so the next Start tests what the window shows.
    void clearManualTargets();
    // The targets of a scan: the range pending from the range dialog's "Scan IP",
    // else those of gatherTargets.
    TargetTable gatherScanTargets();

    IpList *list() const { return m_list; }
    IpDialogState &dialogState() { return m_state; }
    // The entries of the traceroute target box (display text, 50 spaces, index).
    QStringList traceTargetEntries() const;
    // True while the list sets TextPing itself (the window's own reaction is skipped).
    bool settingAddressBox() const { return m_settingAddressBox; }

Q_SIGNALS:
    // An entry was clicked while no run is in progress: the window's captions follow it.
    void itemChosen(const QString &item);
    // The range dialog's "Scan IP" stored a range in manual slot 0 to scan.
    void scanRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class DialogKind { Single, Group, Range };
    void runDialog(DialogKind kind);
    void addItem(DialogKind kind);
    bool startManualTest();
    void fillList();
    void selectRow(int row);
    void setAddressBox(const QString &text);
    // The list lets go: no selection, no current entry, no detail panel (what
    // entering or editing TextPing does, so that Start tests the typed text).
    void releaseSelection();
    // The address box's caption and the select-all tick after any change of the selection.
    void selectionChanged();
    void placeDetailPanel(int heightPx);
    bool rewrite(const QStringList &items);
    QString newLine(DialogKind kind) const;

    FormTester *m_owner;
    IpList *m_list;
    IpDialogState m_state;
    FormAddIP *m_formAddIP = nullptr;
    FormAddIPG *m_formAddIPG = nullptr;
    FormAddIPR *m_formAddIPR = nullptr;

    QListWidget *m_listIP;
    std::array<QPushButton *, 5> m_commandAdd {};
    QCheckBox *m_checkReset;
    std::array<QPushButton *, 2> m_picture1{}; // Picture1_1, Picture1_2
    QWidget *m_listTail = nullptr;
    bool m_longList = false;
    QLineEdit *m_textPing = nullptr;
    QFrame *m_pictureShowIP;
    QLabel *m_textShowIPsT;
    QLabel *m_textShowIPsT2;
    QListWidget *m_textShowIPs;
    QChar m_panelKind;
    bool m_settingAddressBox = false;
    // The current entry was made current by the user (a click, a key, an added or
    // edited entry), not by the focus passing over the list.
    bool m_chosen = false;
};

// What a start with nothing to test says.
inline const QString NoTargetMessage = QStringLiteral(
    "There is no target to test: type an IP address or host name into the IP / URL box, "
    "or select entries of the IP List.");

} // namespace netvane
