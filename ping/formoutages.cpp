#include "ping/formoutages.h"

#include "ping/pingtest.h"

#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace netvane {

FormOutages::FormOutages(const PingTest &test, QWidget *parent)
    : QWidget(parent, Qt::Window), m_test(test), m_summary(new QLabel(this)), m_tree(new QTreeWidget(this)),
      m_later(new QTimer(this))
{
    setObjectName(u"FormOutages"_qs);
    setWindowTitle(u"Outages"_qs);
    m_summary->setObjectName(u"LabelOutages"_qs);
    m_tree->setObjectName(u"TreeOutages"_qs);
    m_tree->setHeaderLabels({u"Start"_qs, u"End"_qs, u"Duration"_qs, u"Echoes lost"_qs});
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_tree);
    resize(640, 420);
    connect(m_tree, &QTreeWidget::itemClicked, this, &FormOutages::itemClicked);
    // Outages that come together (a line that drops takes every target down) are
    // listed together, at most twice a second.
    m_later->setSingleShot(true);
    m_later->setInterval(500);
    connect(m_later, &QTimer::timeout, this, [this] { if (isVisible()) refresh(); });
    const auto soon = [this] {
        if (isVisible() && !m_later->isActive())
            m_later->start();
    };
    connect(&test, &PingTest::outageBegan, this, soon);
    connect(&test, &PingTest::outageEnded, this, soon);
    connect(&test, &PingTest::finished, this, soon);
    // A new test's first echo: the list of the one before goes.
    connect(&test, &PingTest::replyRecorded, this, [soon](int row) { if (row == 0) soon(); });
}

void FormOutages::refresh()
{
    const OutageFinder &finder = m_test.outages();
    m_shown = finder.outages();
    m_tree->clear();
    m_summary->setText(finder.count() == 0
                           ? u"No outage: no target lost %1 echoes in a row."_qs.arg(finder.lostEchoes())
                           : u"An outage begins at %1 lost echoes in a row to a target."_qs.arg(finder.lostEchoes()));
    // One item per target, in the order their first outages came.
    std::vector<QTreeWidgetItem *> targets(size_t(finder.targets().size()), nullptr);
    for (size_t i = 0; i < m_shown.size(); ++i) {
        const Outage &o = m_shown[i];
        QTreeWidgetItem *&parent = targets[o.target];
        if (!parent) {
            parent = new QTreeWidgetItem(m_tree, {finder.target(o.target)});
            parent->setFirstColumnSpanned(true);
            parent->setText(0, finder.target(o.target) + u":  "_qs + OutageTotalsText(finder.totals(o.target)));
            parent->setExpanded(true);
        }
        auto *item = new QTreeWidgetItem(parent, OutageRowTexts(finder, o));
        item->setData(0, Qt::UserRole, qulonglong(i));
    }
}

void FormOutages::itemClicked(QTreeWidgetItem *item)
{
    if (!item || !item->parent())
        return;
    const size_t i = size_t(item->data(0, Qt::UserRole).toULongLong());
    if (i < m_shown.size())
        Q_EMIT outageChosen(m_shown[i]);
}

} // namespace netvane
