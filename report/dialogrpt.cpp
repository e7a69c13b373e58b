#include "report/dialogrpt.h"

#include "report/reportprint.h"

#include "ping/dialogexport.h"
#include "ping/exportfile.h"
#include "platform/desktopopen.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/textfile.h"
#include "ping/numericvalue.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractListModel>
#include <QFontMetrics>
#include <QListView>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>

#include <atomic>

namespace netvane {

// One column of the report, its texts made when a row is drawn.
class ReportColumnModel final : public QAbstractListModel
{
public:
    ReportColumnModel(int column, QObject *parent) : QAbstractListModel(parent), m_column(column) {}

    void setReport(const SummaryReport *report)
    {
        beginResetModel();
        m_report = report;
        m_rows = report ? ReportRowCount(*report) : 0;
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(std::min<qsizetype>(m_rows, INT_MAX));
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !m_report || !index.isValid())
            return {};
        return ReportCellText(*m_report, m_column, index.row());
    }

private:
    const SummaryReport *m_report = nullptr;
    qsizetype m_rows = 0;
    int m_column;
};

namespace {
// Clears the busy pointer however the build ends.
struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
};
} // namespace

DialogRpt::DialogRpt(QWidget *parent)
    : QDialog(parent), m_comboGroupBy(new QComboBox(this)), m_label1(new QLabel(this)),
      m_text2(new QLabel(u"Calculating..."_qs, this)), m_header0(new QLabel(this))
{
    setObjectName(u"DialogRpt"_qs);
    setWindowTitle(u" Ping Test Summary Report"_qs);
    setWindowModality(Qt::ApplicationModal);

    m_comboGroupBy->setObjectName(u"ComboGroupBy"_qs);
    m_comboGroupBy->setEditable(true);
    m_comboGroupBy->setInsertPolicy(QComboBox::NoInsert);
    m_comboGroupBy->setCompleter(nullptr);
    for (int m = 1; m <= 60; ++m)
        m_comboGroupBy->addItem(QString::number(m));
    for (int m = 90; m <= 300; m += 30)
        m_comboGroupBy->addItem(QString::number(m));
    connect(m_comboGroupBy->lineEdit(), &QLineEdit::editingFinished, this, [this] { groupByEdited(true); });
    connect(m_comboGroupBy, &QComboBox::currentTextChanged, this, [this] { groupByEdited(false); });

    m_option[0] = new QRadioButton(u"Time Period:"_qs, this);
    m_option[1] = new QRadioButton(u"Send Buffer Size"_qs, this);
    m_option[0]->setObjectName(u"Option1_0"_qs);
    m_option[1]->setObjectName(u"Option1_1"_qs);
    m_option[0]->setChecked(true);
    m_label1->setObjectName(u"Label1_0"_qs);
    m_label1->setText(u"Minutes"_qs);
    auto *groupBy = new QLabel(u"Group By:"_qs, this);

    m_text2->setObjectName(u"Text2"_qs);
    m_text2->hide();

    auto *top = new QGridLayout;
    top->addWidget(groupBy, 0, 0);
    top->addWidget(m_option[0], 0, 1);
    top->addWidget(m_comboGroupBy, 0, 2);
    top->addWidget(m_label1, 0, 3);
    top->addWidget(m_option[1], 1, 1);
    top->addWidget(m_text2, 1, 2, 1, 2);
    // The "Minutes" label stands beside the option that is chosen.
    connect(m_option[0], &QRadioButton::toggled, this, [this, top](bool timePeriod) {
        top->removeWidget(m_label1);
        top->addWidget(m_label1, timePeriod ? 0 : 1, 3);
    });

    auto *buttons = new QHBoxLayout;
    // Each command has a text button and a picture twin that does the same.
    const struct {
        const char *name, *text;
        QStyle::StandardPixmap picture; // for a twin
        bool twin;
    } named[] = {{"CommandBUild", "Generate", {}, false},
                 {"Command3", "Generate", QStyle::SP_BrowserReload, true},
                 {"CommandExport", "Export", {}, false},
                 {"Command5", "Export", QStyle::SP_DialogSaveButton, true},
                 {"CommandOpen", "Open", {}, false},
                 {"Command6", "Open", QStyle::SP_DialogOpenButton, true},
                 {"CommandPrint", "Print", {}, false},
                 {"Command4", "Print", QStyle::SP_FileDialogDetailedView, true}};
    for (const auto &n : named) {
        auto *b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(n.name));
        b->setAutoDefault(false);
        if (n.twin) {
            b->setIcon(style()->standardIcon(n.picture));
            b->setToolTip(QString::fromLatin1(n.text));
            b->setFlat(true);
            buttons->insertWidget(buttons->count() - 1, b);
        } else {
            b->setText(QString::fromLatin1(n.text));
            buttons->addWidget(b);
        }
        m_buttons.append(b);
    }
    connect(m_buttons[0], &QPushButton::clicked, this, &DialogRpt::CommandBUild_Click);
    connect(m_buttons[1], &QPushButton::clicked, this, &DialogRpt::CommandBUild_Click);
    connect(m_buttons[2], &QPushButton::clicked, this, &DialogRpt::CommandExport_Click);
    connect(m_buttons[3], &QPushButton::clicked, this, &DialogRpt::CommandExport_Click);
    connect(m_buttons[4], &QPushButton::clicked, this, &DialogRpt::CommandOpen_Click);
    connect(m_buttons[5], &QPushButton::clicked, this, &DialogRpt::CommandOpen_Click);
    connect(m_buttons[6], &QPushButton::clicked, this, &DialogRpt::CommandPrint_Click);
    connect(m_buttons[7], &QPushButton::clicked, this, &DialogRpt::CommandPrint_Click);

    auto *table = new QGridLayout;
    table->setHorizontalSpacing(0);
    const QString headers[7] = {ReportFirstHeader(ReportGrouping::TimePeriod),
                                u"TTL"_qs, u"Sent"_qs, u"Lost"_qs, u"AvgTime"_qs,
                                u"Loss Rate - Chart"_qs, QString()};
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int stretch[7] = {5, 1, 1, 1, 2, 2, 3};
    for (int i = 0; i < 7; ++i) {
        auto *list = new QListView(this);
        list->setObjectName(u"List1_"_qs + QString::number(i));
        list->setFont(fixed);
        list->setUniformItemSizes(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_models[size_t(i)] = new ReportColumnModel(i, list);
        list->setModel(m_models[size_t(i)]);
        // Rows stay level across the columns: no horizontal bar takes a column's height.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (i < 6)
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_list[size_t(i)] = list;
        QLabel *header = i == 0 ? m_header0 : new QLabel(this);
        header->setObjectName(u"Text3_"_qs + QString::number(i));
        header->setText(headers[i]);
        if (i < 6)
            table->addWidget(header, 0, i, 1, i == 5 ? 2 : 1);
        table->addWidget(list, 1, i);
        table->setColumnStretch(i, stretch[i]);
        // A click selects the same row in every column.
        connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex &current) {
                    if (m_syncing)
                        return;
                    m_syncing = true;
                    for (QListView *other : m_list)
                        other->setCurrentIndex(other->model()->index(current.row(), 0));
                    m_syncing = false;
                });
    }
    // The last column's scroll bar moves all of them.
    for (int i = 0; i < 7; ++i)
        connect(m_list[size_t(i)]->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this](int value) {
                    for (QListView *other : m_list)
                        other->verticalScrollBar()->setValue(value);
                });

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(table, 1);
    layout->addLayout(buttons);
    resize(900, 560);
}

// Closing the dialog (as its base class does on the way out) moves the focus, and the
// group box would then check its text on a dialog already half taken down.
DialogRpt::~DialogRpt()
{
    m_comboGroupBy->lineEdit()->disconnect(this);
}

void DialogRpt::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Centred on the screen, a little (100 twips) above the middle.
    if (const QScreen *s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center().x() - width() / 2, area.center().y() - height() / 2 - 100 / 15);
    }
}

void DialogRpt::setBuilder(std::function<SummaryReport(int)> build)
{
    m_source = ReportSource();
    m_build = std::move(build);
    showReport(nullptr);
    m_option[0]->setChecked(true);
    m_option[1]->setEnabled(false);
}

void DialogRpt::setSource(const ReportSource &source)
{
    m_build = nullptr;
    m_option[1]->setEnabled(true);
    m_source = source;
    showReport(nullptr);
    m_comboGroupBy->setEditText(QString::number(source.log ? OpeningGroupMinutes(*source.log) : 1));
}

void DialogRpt::sourceGone()
{
    if (!m_source.log)
        return;
    hide();
    showReport(nullptr);
    m_source = ReportSource();
}

void DialogRpt::groupByEdited(bool finished)
{
    // "0" turns into "1" as it is typed; any other text that is no number of minutes
    // once the box is left (or Generate is clicked), so a half-typed value stays.
    const QString text = m_comboGroupBy->currentText();
    if (text.trimmed() == u"0" || (finished && NumericValue(text) < 1))
        m_comboGroupBy->setEditText(u"1"_qs);
}

void DialogRpt::setBuilding(bool building)
{
    for (QPushButton *b : std::as_const(m_buttons))
        b->setEnabled(!building);
    m_text2->setVisible(building);
}

void DialogRpt::CommandBUild_Click()
{
    showReport(nullptr);
    const ReportGrouping grouping =
        m_option[1]->isChecked() ? ReportGrouping::SendSize : ReportGrouping::TimePeriod;
    groupByEdited(true);
    const int minutes = GroupMinutesOf(m_comboGroupBy->currentText());
    ReportResult result = ReportResult::NoData;
    QString error;
    SummaryReport built;
    setBuilding(true);
    BusyPointer busy;
    const PingReplyLog *reported = m_source.log;
    if (m_build) {
        built = m_build(minutes);
        result = built.hosts.isEmpty() ? ReportResult::NoData : ReportResult::Built;
    } else if (reported) {
        // Built beside the window from a copy of the log that holds its file open: the
        // window repaints and answers meanwhile, and a test that starts meanwhile (a
        // scheduled one) cannot change what is read.
        PingReplyLog snapshot = *reported;
        ReportSource source = m_source;
        source.log = &snapshot;
        if (snapshot.pinFile(&error)) {
            std::atomic<qint64> rows = 0;
            const qint64 total = std::max<qint64>(snapshot.size(), 1);
            RunBesideWindow(
                [&] {
                    result = BuildSummaryReport(source, grouping, minutes, built, [&] { rows += 4096; },
                                                &error);
                },
                [&] {
                    m_text2->setText(u"Calculating... "_qs
                                     + QString::number(std::min<qint64>(rows * 100 / total, 99)) + u" %"_qs);
                });
            m_text2->setText(u"Calculating..."_qs);
        } else {
            result = ReportResult::ReadFailed;
        }
    }
    setBuilding(false);
    if (m_source.log != reported) { // the test reported on went meanwhile
        Q_EMIT buildFinished();
        return;
    }
    switch (result) {
    case ReportResult::NoData:
        MsgBox(u"No Data to Generate Report."_qs, BoxIcon::Critical);
        break;
    case ReportResult::Incomplete:
        MsgBox(u"Ping test doesn't completed, Cannot generate report."_qs, BoxIcon::Critical);
        break;
    case ReportResult::ReadFailed:
        MsgBox(error + u"    "_qs, BoxIcon::Exclamation);
        break;
    case ReportResult::Built: {
        m_header0->setText(ReportFirstHeader(grouping));
        m_reportMinutes = minutes;
        showReport(&built);
        break;
    }
    }
    Q_EMIT buildFinished();
}

void DialogRpt::showReport(SummaryReport *built)
{
    // The columns let go of the report before it changes.
    for (ReportColumnModel *model : m_models)
        model->setReport(nullptr);
    m_report.reset();
    if (!built)
        return;
    m_report = std::move(*built);
    for (ReportColumnModel *model : m_models)
        model->setReport(&*m_report);
    // A host's heading ("Ping  address :") is shown whole when it names an IPv6
    // address; a report of dotted addresses keeps the columns' shares.
    int heading = 0;
    const QFontMetrics metrics(m_list[0]->font());
    for (const ReportHost &host : m_report->hosts) {
        if (host.display.contains(u':'))
            heading = qMax(heading, metrics.horizontalAdvance(u"Ping  "_qs + host.display + u" :"_qs));
    }
    m_list[0]->setMinimumWidth(heading > 0 ? heading + 2 * m_list[0]->frameWidth() + 12 : 0);
}

bool DialogRpt::checkReport()
{
    if (!m_build && (!m_source.log || m_source.log->isEmpty())) {
        MsgBox(u"No Data to Generate Report."_qs, BoxIcon::Critical);
        return false;
    }
    if (!m_report) {
        MsgBox(u"Generate the report first."_qs, BoxIcon::Exclamation);
        return false;
    }
    return true;
}

void DialogRpt::CommandExport_Click()
{
    if (!m_dialogExport)
        m_dialogExport = new DialogExport(this);
    const QString choice = m_dialogExport->ask(u"Report"_qs);
    if (choice == u"Text")
        ExportReport(u"txt"_qs);
    else if (choice == u"CSV")
        ExportReport(u"csv"_qs);
}

void DialogRpt::ExportReport(const QString &extension)
{
    if (!checkReport())
        return;
    const QString path = AskSavePath(u"Ping Test Report will be export to this File"_qs,
                                     ReportFileName(*m_report), extension);
    if (path.isEmpty())
        return;
    bool written = false;
    QString error;
    // The outages of the test in a CSV of their own, beside the report's.
    const bool outageCsv = extension == u"csv" && m_report->outages;
    const QString outagePath = outageCsv ? ReportOutageCsvPath(path) : QString();
    {
        // Written beside the window from a copy of the report; its buttons wait.
        const SummaryReport report = *m_report;
        setBuilding(true);
        m_text2->setText(u"Exporting..."_qs);
        RunBesideWindow([&] {
            const QStringList lines = extension == u"csv" ? ReportCsvLines(report) : ReportTextLines(report);
            written = WriteTextLines(path, lines, &error)
                      && (!outageCsv || WriteTextLines(outagePath, ReportOutageCsvLines(report), &error));
        });
        setBuilding(false);
        m_text2->setText(u"Calculating..."_qs);
    }
    if (!written) {
        MsgBox(error + u"    "_qs, BoxIcon::Exclamation);
        return;
    }
    ShowFileSaved(u"Ping test report has export to file: \r\n\r\n"_qs + path
                  + (outageCsv ? u"\r\n\r\nIts outages: \r\n\r\n"_qs + outagePath : QString()));
}

void DialogRpt::CommandOpen_Click()
{
    const QString path =
        AskOpenPath(u"Open Log File"_qs, u"txt"_qs, u"Text/CSV Files (*.txt;*.csv)"_qs);
    if (path.isEmpty())
        return;
    // A file that cannot be read is said here with the system's reason, rather than
    // handed to a viewer that would show nothing.
    QFile file;
    if (QString why; !OpenRegularFile(file, path, &why)) {
        const QString shown = QDir::toNativeSeparators(path);
        MsgBox((why.startsWith(shown) ? why : shown + u": "_qs + why) + u"   "_qs, BoxIcon::Critical);
        return;
    }
    file.close();
    const bool csv = path.right(4).toUpper().contains(u"CSV");
    if (!OpenWithDesktop(path, csv ? OpenWith::Association : OpenWith::TextEditor))
        MsgBox(u"Cannot open "_qs + path + u"   "_qs, BoxIcon::Critical);
}

void DialogRpt::CommandPrint_Click()
{
    if (!checkReport())
        return;
    QPrinter printer;
    printer.setDocName(ReportFileName(*m_report));
    // The lines are up to 123 characters and more with their tabs: across the page.
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!AskPrint(printer, this))
        return;
    // A page of its own: title, targets, period, grouping, then the table and chart.
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSize(9);
    document.setDefaultFont(font);
    document.setHtml(ReportPrintHtml(*m_report, m_reportMinutes));
    BusyPointer busy;
    document.print(&printer);
    if (!printer.isValid() || printer.printerState() == QPrinter::Error)
        MsgBox(u"The report could not be printed.   "_qs, BoxIcon::Critical);
}

} // namespace netvane
