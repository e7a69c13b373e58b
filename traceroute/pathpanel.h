#pragma once
// The path mode of the traceroute on the main window: the result panel PicturePath
// with the target chooser ComboPathTarget (up to 64 targets), the verdict line
// LabelPathVerdict, the per-hop table TablePath (Hop, Address, Name, Loss %, Sent,
// Last, Avg, Best, Worst, StDev, Jitter, p95, and a strip of loss and latency per
// minute over the whole run), and the route changes LabelPathChanges. The button
// CommandPath starts it; the window gathers the targets, keeps the busy state and
// calls start / stop. The panel redraws at most a few times a second (TimerPath),
// however fast rounds come in.

#include "traceroute/pathrun.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace netvane {

class PathPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PathPanel)
public:
    explicit PathPanel(QWidget *parent);

    PathRun *run() const { return m_run; }
    QPushButton *commandPath() const { return m_commandPath; }
    QComboBox *targetChooser() const { return m_target; }
    QLabel *verdictLabel() const { return m_verdict; }
    QTableWidget *table() const { return m_table; }
    void setFocusReturn(std::function<void()> focus) { m_focusReturn = std::move(focus); }
    // The other result panels of its place: showing one hides this one, and showing
    // this one hides them.
    void setSiblings(const QList<QWidget *> &siblings);
    void showPanel();

    // A refusal is shown; false then.
    bool start(const QList<PingTarget> &targets, const PathRunSettings &settings, bool resolveNames,
               const QString &dataFolder);
    void stop();
    // The previous run from its log in the data folder (nothing when there is none).
    void reload(const QString &dataFolder);
    // "txt", "csv" or "json".
    void exportRun(const QString &extension);
    void showTarget(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillChooser();
    void redraw();

    PathRun *m_run;
    QPushButton *m_commandPath;
    QComboBox *m_target;
    QLabel *m_verdict;
    QLabel *m_changes;
    QTableWidget *m_table;
    QTimer *m_timerPath;
    QList<QWidget *> m_siblings;
    std::function<void()> m_focusReturn;
};

} // namespace netvane
