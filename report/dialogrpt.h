#pragma once
// DialogRpt, the summary report of the last ping test: the group-by choice (minutes of
// a time period, or the send size), Generate, the seven columns of the table kept in
// step, and Export, Open and Print. The report is computed by the core
// (report/summaryreport.h) in one pass over the log while the window keeps repainting.

#include "report/summaryreport.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QRadioButton;

namespace netvane {

class DialogExport;
class ReportColumnModel;

class DialogRpt final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogRpt)
public:
    explicit DialogRpt(QWidget *parent = nullptr);
    ~DialogRpt() override;

    // The test to report on; the group-by box takes its opening value from it.
    void setSource(const ReportSource &source);
    // A report built by the caller for the chosen minutes (a path run's hops), instead
    // of a ping test's log; grouping by size is not offered then.
    void setBuilder(std::function<SummaryReport(int minutes)> build);
    // The test reported on is gone (a new one started): the dialog closes.
    void sourceGone();
    void setExportDialog(DialogExport *dialog) { m_dialogExport = dialog; }

    void CommandBUild_Click();
    void CommandExport_Click();
    // The export in the text ("txt") or CSV ("csv") layout.
    void ExportReport(const QString &extension);
    void CommandOpen_Click();
    void CommandPrint_Click();

    QComboBox *comboGroupBy() const { return m_comboGroupBy; }
    QListView *list(int index) const { return m_list[size_t(index)]; }
    bool hasReport() const { return m_report.has_value(); }
    const SummaryReport *report() const { return m_report ? &*m_report : nullptr; }

protected:
    void showEvent(QShowEvent *event) override;

Q_SIGNALS:
    // Generate finished (built or refused); for whoever waits on it.
    void buildFinished();

private:
    void setBuilding(bool building);
    void groupByEdited(bool finished);
    // Shows the report just built (taken over), or none.
    void showReport(SummaryReport *built);
    // The report's lines are the text layout; false (and a message) without a report.
    bool checkReport();

    ReportSource m_source;
    std::function<SummaryReport(int)> m_build;
    std::optional<SummaryReport> m_report;
    int m_reportMinutes = 1; // the group minutes the report was built with
    DialogExport *m_dialogExport = nullptr;
    QComboBox *m_comboGroupBy;
    QRadioButton *m_option[2];
    QLabel *m_label1;
    QLabel *m_text2;
    QLabel *m_header0;
    std::array<QListView *, 7> m_list{};
    std::array<ReportColumnModel *, 7> m_models{};
    QList<QPushButton *> m_buttons;
    bool m_syncing = false;
};

} // namespace netvane
