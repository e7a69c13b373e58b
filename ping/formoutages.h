#pragma once
// FormOutages, the outage list of the current or reloaded ping test: per target its
// totals (outages, downtime, longest, availability over the test) and under them each
// outage with its start, end (or "ongoing"), duration and echoes lost. Kept up to date
// as outages begin and end; a click on an outage tells the window, which shows the log
// from the outage's first echo and the graph over its time.

#include "ping/outagefinder.h"

#include <QWidget>

class QLabel;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace netvane {

class PingTest;

class FormOutages final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormOutages)
public:
    explicit FormOutages(const PingTest &test, QWidget *parent = nullptr);

    // Lists the test's outages as they are now.
    void refresh();
    QTreeWidget *tree() const { return m_tree; }

Q_SIGNALS:
    void outageChosen(const netvane::Outage &outage);

private:
    void itemClicked(QTreeWidgetItem *item);

    const PingTest &m_test;
    QLabel *m_summary;
    QTreeWidget *m_tree;
    QTimer *m_later; // a refresh soon
    std::vector<Outage> m_shown; // as listed; an item's data is its index
};

} // namespace netvane
