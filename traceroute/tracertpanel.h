#pragma once
// The traceroute controls of the main window and the display of a run: the option
// frame Frame1_2 (ComboTracert_1 .. _3, CheckIPtoName), the CommandTracert button,
// the jump buttons CmdJumpTo_0 / _1 with their host list TraceIP, and the run
// (TraceRun) whose lines it shows on the ping panel's 20 result rows, paged by
// VScroll1. The window builds the target list, keeps the busy state and calls
// start / stop; this panel reads its boxes, shows and exports.

#include "ping/pingtest.h"

#include <QObject>
#include <QStringList>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class QWidget;

namespace netvane {

class PingPanel;
class TraceRun;

class TracertPanel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TracertPanel)
public:
    // The controls are made as children of `parent` (the window's central widget);
    // the window places the frame and the buttons.
    TracertPanel(PingPanel *pingPanel, QWidget *parent);

    QGroupBox *frame() const { return m_frame; }
    QPushButton *commandTracert() const { return m_commandTracert; }
    QPushButton *jumpButton(int index) const { return m_cmdJumpTo[size_t(index)]; }
    TraceRun *run() const { return m_run; }
    // Called where the focus returns after an operation (Text4).
    void setFocusReturn(std::function<void()> focus) { m_focusReturn = std::move(focus); }

    // Checks the three boxes and keeps the options; a refusal is shown.
    bool BuildTracertOptions();
    // The entries of the host-list drop-down (display text, 50 blanks, list index)
    // and the list items they stand for.
    void setHostListChoices(const QStringList &entries, std::function<QString(int)> itemAt);
    void ComboTracert_Click(int index);

    void start(const QList<PingTarget> &hosts, const QString &dataFolder);
    void stop();
    // The previous run from its saved file prefix, host count and hop box text.
    void reload(const QString &prefix, const QString &hostCount, const QString &hops);
    // Another function takes the result rows.
    void leaveDisplay();
    // Hides the jump buttons, their host list and "Jump to Host:".
    void hideJumpControls();
    bool isShowing() const { return m_showing; }

    void CmdJumpTo_Click(int index);
    void jumpToHost(int host);
    // Export of the last run's lines ("txt" or "csv", the same content).
    void exportLog(const QString &extension);

    int firstShownHost() const { return m_firstHost; }
    // The hop count BuildTracertOptions accepted last, and the name check box.
    int maxHops() const { return m_maxHops; }
    bool resolvesNames() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void redraw();
    void scrolled(int value);
    void showCaption(const QString &caption);

    PingPanel *m_pingPanel;
    QWidget *m_parent;
    QGroupBox *m_frame;
    std::array<QComboBox *, 4> m_comboTracert{}; // 1 .. 3 used
    QCheckBox *m_checkIPtoName;
    QPushButton *m_commandTracert;
    std::array<QPushButton *, 2> m_cmdJumpTo{};
    QListWidget *m_traceIP;
    TraceRun *m_run;
    std::function<void()> m_focusReturn;
    std::function<QString(int)> m_itemAt;

    QStringList m_options;
    int m_maxHops;
    int m_firstHost = 0;
    int m_lineOffset = 0;
    bool m_showing = false;
    bool m_ignoreScroll = false;
};

} // namespace netvane
