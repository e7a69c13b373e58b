#pragma once
// The console panel PictureDOS: the command box TextCmd with the built-in command
// list ListCmd, the address picker ListIP2 and the run history ListDOSHis. A command
// runs in a terminal window of its own (RunConsoleCommand) that stays open; the
// panel remembers those windows so that "Close All Opening DOS Forms" closes them.
// The history lives in CommandHistory; this panel asks the questions and shows it.

#include "console/commandhistory.h"
#include "platform/process.h"

#include <QFrame>
#include <array>

class QAction;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace netvane {

class ConsolePanel final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsolePanel)
public:
    explicit ConsolePanel(const QString &dataFolder, QWidget *parent = nullptr);
    ~ConsolePanel() override;

    // Puts the panel's menu items into the main window's menus: the history export
    // and import into File (before its last item, Exit), and "DOS Commands", "Close
    // All Opening DOS Forms" and the delete pop-up into Utility.
    void addMenuItems(QMenu *fileMenu, QMenu *utilityMenu);

    // The address picker's entries: the single addresses of the target list, then
    // "----------------------------" and "Add a IP / URL".
    void setAddressPicks(const QStringList &entries);

    void Command11_Click();
    void CommandDOS_Click(int index);
    void RunConsoleCommand();
    void mnuCloseAllDOS_Click();

    void LoadHistory();
    void AddHistory(const QString &command);
    void DeleteSelectedHistory();
    void KeepLastHistory(int n);
    void DeleteAllHistory();
    void ToggleHistorySort();
    void ExportHistory();
    void ImportHistory();
    void EditHistoryFile();

    CommandHistory &history() { return m_history; }
    platform::ConsoleWindows &consoleWindows() { return m_consoleWindows; }
    QMenu *deleteMenu() const { return m_mnuDeleteDos; }

Q_SIGNALS:
    // "Add a IP / URL" was chosen in the address picker.
    void addAddressRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    void hidePickers();
    void takeCommand(const QString &text);
    void showHistory();
    void ListCmd_Click(const QString &text);
    void ListIP2_Click(const QString &text);
    void ListDOSHis_Click(const QString &text);

    CommandHistory m_history;
    platform::ConsoleWindows m_consoleWindows;

    QLineEdit *m_textCmd;
    QCheckBox *m_checkAutoAdd;
    std::array<QPushButton *, 7> m_commandDOS{};
    QListWidget *m_listCmd;
    QListWidget *m_listDOSHis;
    QListWidget *m_listIP2;
    QMenu *m_mnuDeleteDos;
};

} // namespace netvane
