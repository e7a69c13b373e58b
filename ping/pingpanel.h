#pragma once
// The ping panel Picture2: the 20-row reply log (row number, left and right text),
// the statistics column, the title labels and the scroll bar VScroll1 that pages
// through every record of the test. It only shows; the window tells it what.

#include "ping/logpaging.h"
#include "ping/replyrecord.h"

#include <QFrame>
#include <array>

class QGridLayout;
class QLabel;
class QPushButton;
class QScrollBar;

namespace netvane {

class PingPanel final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PingPanel)
public:
    explicit PingPanel(QWidget *parent = nullptr);

    QLabel *title(int index) const { return m_title[size_t(index)]; }
    QPushButton *reportButton() const { return m_report; }
    // Opens the latency graph; beside the report's button.
    QPushButton *graphButton() const { return m_graph; }
    // Opens the outage list; shown and hidden with the graph's button.
    QPushButton *outagesButton() const { return m_outages; }
    QScrollBar *scrollBar() const { return m_scroll; }

    // Black while a test runs, grey otherwise.
    void setRunningLook(bool running);
    // Widens the address column for the longest address of a test (its length in
    // characters): a dotted one as it always was, an IPv6 one whole and never to
    // fewer than 39 characters.
    void setWideAddresses(int widestAddress);
    void clearRows();
    void clearStatistics();
    void showStatisticsCaptions(bool shown);
    // Row index `row` of the test goes to display row row % 20 (the 21st clears the rows).
    void ShowReplyRow(int row, const ReplyRowTexts &texts);
    // Free texts in display row r (a traceroute shows its lines on these rows).
    void setRowTexts(int r, const QString &type, const QString &left, const QString &right);
    // Lines: each row's left text spans the right text's place too (a traceroute's
    // lines are longer than a reply's left half); off: a reply's two halves.
    void setLineRows(bool lines);
    void ShowStatistics(const std::array<QString, 9> &values);
    // The bar follows the newest row n.
    void FollowNewestRow(int n);
    // Shows records top .. top+19 of the log; false (rows left empty) when the log's
    // file changed.
    bool showPage(const PingReplyLog &log, int top);
    int topRow() const { return m_top; }
    // Pages to the page that begins at `row` (or ends the log), the bar with it;
    // false when paging is not allowed now or the page cannot be read.
    bool showRow(int row);
    // The window allows paging only in ping mode with no test running.
    void setPagingSource(const PingReplyLog *log) { m_pagingLog = log; }

Q_SIGNALS:
    // A page could not be read: the result file changed since it was read or written.
    void logChanged();

protected:
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scrollChanged(int value);

    std::array<QLabel *, 4> m_title{};
    std::array<QLabel *, LogRows> m_type{};
    std::array<QLabel *, LogRows> m_left{};
    std::array<QLabel *, LogRows> m_right{};
    std::array<QLabel *, LogRows> m_caption{};
    std::array<QLabel *, LogRows> m_value{};
    QGridLayout *m_grid;
    QScrollBar *m_scroll;
    QPushButton *m_report;
    QPushButton *m_graph;
    QPushButton *m_outages;
    const PingReplyLog *m_pagingLog = nullptr;
    int m_top = 0;
    int m_previousValue = 0;
    bool m_ignoreScroll = false;
    bool m_dragging = false;
};

} // namespace netvane
