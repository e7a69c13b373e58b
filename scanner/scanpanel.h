#pragma once
// The IP range scan on the main window: the scan panel Picture3 with its 20-row grid
// (ssTYPE, ssIP, sHOST, sMAC, sTTL, sMS), the scroll bar VScroll2, the counters and
// the status box Text2, and the result buttons CmdShowScan_0..3.
//
// StartScan gathers the addresses of the chosen list items and starts one probe
// program per address (scanner/probe/), paced 10 ms apart; each probe answers through
// the channel (platform/scanchannel.h) into ScanMessageReceived. TimerS1 redraws and
// notices completion (every launch answered, or its probe ended without answering,
// which counts as "Dead"); then the missing MACs come from "arp -a" and, for this
// machine's own address, "nbtstat -a". The finished results can be filtered, turned
// into a new IP group, and exported.

#include "scanner/scanresults.h"

#include <QColor>
#include <QHash>
#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;

namespace netvane {

class ClassDos;
class FormTester;
namespace platform { class ScanChannel; }

class ScanPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanPanel)
public:
    static constexpr int Rows = 20;
    static constexpr int PacingCount = 350;

    explicit ScanPanel(FormTester *owner, QWidget *parent = nullptr);
    ~ScanPanel() override;

    // Writes the probe program out (at start-up); a failure is told when a scan starts.
    void installProbe(const QString &dataFolder);
    QString probePath() const { return m_probePath; }

    void StartScan();
    void ScanMessageReceived(const QByteArray &text);
    void ScanProgressTick();
    void ShowScanRows();
    void LookUpMacAddresses();
    void LookUpOwnMac();
    // The stop button while the ping panel is hidden.
    void requestStop();

    void FilterScanResults(const QString &kind);
    void GroupFromScan(const QString &kind);
    void ExportScanResults(const QString &extension);

    QMenu *addG2Menu() const { return m_mnuAddG2; }
    const ScanTally &tally() const { return m_tally; }
    const QList<ScanResultRecord> &resultsAll() const { return m_resultsAll; }
    bool browsable() const { return m_browsable; }

    // The vendor that a MAC's first three bytes are registered to, from the IEEE
    // registry file (read once, on first use: a MAC cell's tooltip); empty when
    // unknown.
    static QString MacVendor(const QString &mac, const QString &registry = {});

Q_SIGNALS:
    // A probe was started for the address with this index.
    void probeLaunched(int index);
    // The results are complete and the result buttons shown.
    void scanCompleted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void clearGrid();
    void reapProbes();
    void setRowColour(int row, const QColor &colour);
    void focusText402();
    void scrollRange(int count);

    FormTester *m_owner;
    QString m_probePath;
    QString m_probeError;
    platform::ScanChannel *m_channel;
    ClassDos *m_dos = nullptr;

    std::array<QLabel *, Rows> m_ssTYPE {};
    std::array<QLabel *, Rows> m_ssIP {};
    std::array<QLabel *, Rows> m_sHOST {};
    std::array<QLabel *, Rows> m_sMAC {};
    std::array<QLabel *, Rows> m_sTTL {};
    std::array<QLabel *, Rows> m_sMS {};
    QScrollBar *m_vScroll2;
    QLabel *m_labelTotal;
    QLabel *m_labelActive;
    QLabel *m_labelInactive;
    QLabel *m_label9;
    QLineEdit *m_text2;
    QLineEdit *m_text402;
    std::array<QPushButton *, 4> m_cmdShowScan {};
    QMenu *m_mnuAddG2;
    QTimer *m_timerS1;
    QTimer *m_timerS3;
    QTimer *m_reaper;

    std::array<QColor, Rows> m_rowColour {};
    std::array<bool, Rows> m_rowColourSet {};

    ScanTally m_tally;
    QList<ScanResultRecord> m_resultsAll;
    QHash<qint64, int> m_probes; // running probe pid -> index
    QList<qint64> m_strays;      // running probes of an earlier scan
    int m_startSeconds = 0;
    int m_scanNumber = 0; // counts the scans started
    int m_elapsedSeconds = 0;
    int m_okTicks = 0;
    int m_s3Ticks = 0;
    bool m_stopRequested = false;
    bool m_browsable = false;
    bool m_userScrolled = false;
};

} // namespace netvane
