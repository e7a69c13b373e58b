#pragma once
// FormGraph, the latency graph of the current or reloaded ping test: the round-trip
// time of every target over time (one colour each), outages as shaded spans behind
// them, lost echoes as marks under the time axis, and a legend with each target's jitter, percentiles and longest loss
// run over the whole test and over the shown range. The wheel zooms the time axis
// around the pointer, dragging pans it, a double click shows the whole test again,
// and the echo under the pointer is named below the graph. While the test runs the
// graph follows it, redrawn once a second.
//
// It draws from LatencyGraphData: every pixel column merges the summary buckets that
// fall into it, so the drawing costs the same for a test of any length.

#include "ping/latencygraphdata.h"
#include "ping/outagefinder.h"

#include <QWidget>

class QLabel;
class QTimer;

namespace netvane {

class PingTest;

class LatencyGraph final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LatencyGraph)
public:
    explicit LatencyGraph(LatencyGraphData &data, QWidget *parent = nullptr);

    // The shown range, in seconds (EchoSeconds); the whole test until zoomed.
    double viewFrom() const { return m_from; }
    double viewTo() const { return m_to; }
    bool showsWholeTest() const { return m_whole; }
    void showWholeTest();
    void setView(double from, double to);
    // Zooms by `factor` (below 1 closer) around the time at pixel x.
    void zoomAt(int x, double factor);
    // The plot area, the pixel column of a second in it, and the row of the loss
    // marks of target k.
    QRect plotRect() const;
    int columnOfSecond(double second) const;
    int lossMarkY(qsizetype target) const;
    static QColor targetColor(qsizetype target);
    // Lost echoes are marked in this colour, whichever target lost them; no target
    // line has it.
    static inline const QColor LossColor = QColor(0xff, 0x00, 0x00);
    // The span of an outage of any target, behind the lines.
    static inline const QColor OutageShade = QColor(0xff, 0xe0, 0xe0);
    // The outages shaded; none by default. They must outlive the graph.
    void setOutages(const OutageFinder *outages) { m_outages = outages; }

Q_SIGNALS:
    void viewChanged();
    // The echo under the pointer, as a text; empty when there is none.
    void hovered(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double secondAt(int x) const;
    void rangeChanged();

    LatencyGraphData &m_data;
    const OutageFinder *m_outages = nullptr;
    double m_from = 0;
    double m_to = 1;
    bool m_whole = true;
    double m_yMax = 1; // ms at the top of the plot, from the last drawing
    bool m_dragging = false;
    int m_dragX = 0;
    double m_dragFrom = 0;
};

class FormLatencyGraph final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormLatencyGraph)
public:
    explicit FormLatencyGraph(PingTest &test, QWidget *parent = nullptr);

    // Reads the test again from its log and shows it whole.
    void refresh();
    LatencyGraph *graph() const { return m_graph; }
    const LatencyGraphData &data() const { return m_data; }

protected:
    // Opens over the main window, wholly on its screen.
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void echoRecorded(int row);
    void redraw();
    void showLegend();

    PingTest &m_test;
    LatencyGraphData m_data;
    LatencyGraph *m_graph;
    QLabel *m_legend;
    QLabel *m_echo;
    QTimer *m_redraw;
    bool m_placed = false;
};

} // namespace netvane
