#include "app/dialoghelp.h"

#include "ping/windowplace.h"
#include "platform/dialogs.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace netvane {

namespace {

struct HelpPage {
    const char *name;
    const char *title;
    const char *text;
};

const HelpPage Pages[DialogHelp::PageCount] = {
    {"PictureFirst_1", "The main window",
     "The IP list on the left holds single addresses or host names, named groups and named "
     "ranges. The boxes on top set the ping test; the panel in the middle shows the replies and "
     "the statistics. The menus reach every function."},
    {"PicturePing_2", "Ping test",
     "Select list items (or type an address into the IP / URL box), choose the interval, send "
     "size, time-out, number of passes and pings per target, and press Start. Every reply is "
     "one row; Stop ends the test. Results are kept and shown again at the next start."},
    {"PictureTracert", "Traceroute",
     "Choose Traceroute Function, set the maximum hops, the time-out and the optional host "
     "list, then press Tracert: every selected target is traced hop by hop."},
    {"PictureScan_3", "IP scan",
     "Select groups or ranges and press Scan: every address is probed at once and the grid "
     "shows which answer, with time, TTL, host name and MAC address."},
    {"PictureDos_4", "Network commands",
     "DOS opens the command panel: pick a command or type one; it runs in a terminal window "
     "of its own and is kept in the history."},
    {"PictureReport_5", "Summary report",
     "After a ping test, Open shows the summary report of its results, grouped by time or by "
     "send size, with a loss-rate chart."},
    {"PictureExport_6", "Export",
     "Export saves the results on show as a text or CSV file; Open Log File opens such a file "
     "again."},
    {"PictureSchedule_7", "Scheduled start",
     "Choose Schedule and pick the start (and for a ping test the end) minute; the test or "
     "trace starts by itself then, and a scheduled ping test stops at its end."},
};

// Every page's picture fits this box.
constexpr QSize PictureSize(720, 440);

// Hibernation would end a long or scheduled test; this keeps the computer awake.
const QString HibernateProgram = QStringLiteral("systemctl");
const QString SleepTargets =
    QStringLiteral("sleep.target suspend.target hibernate.target hybrid-sleep.target");
const QString HibernateCommand = HibernateProgram + u" mask "_qs + SleepTargets;

} // namespace

DialogHelp::DialogHelp(std::function<QPixmap(int)> picture, QWidget *owner)
    : QDialog(owner), m_picture(std::move(picture)), m_label1(new QLabel(this)),
      m_hibernateCommand(new QLabel(HibernateCommand, this)),
      m_next(new QPushButton(u"Next >"_qs, this)), m_previous(new QPushButton(u"< Previous"_qs, this)),
      m_exit(new QPushButton(u"&EXIT"_qs, this)), m_hibernateProgram(HibernateProgram)
{
    setObjectName(u"DialogHelp"_qs);
    setWindowTitle(u" How to use?"_qs);
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < PageCount; ++i) {
        auto *panel = new QFrame(this);
        panel->setObjectName(QString::fromLatin1(Pages[i].name));
        auto *pageLayout = new QVBoxLayout(panel);
        auto *title = new QLabel(u"<b>"_qs + QString::fromLatin1(Pages[i].title) + u"</b>"_qs, panel);
        m_pictures[size_t(i)] = new QLabel(panel);
        m_pictures[size_t(i)]->setObjectName(u"Image_%1"_qs.arg(i + 1));
        m_pictures[size_t(i)]->setAlignment(Qt::AlignCenter);
        m_pictures[size_t(i)]->setFrameShape(QFrame::Box);
        m_pictures[size_t(i)]->setMinimumSize(PictureSize + QSize(4, 4));
        auto *text = new QLabel(QString::fromLatin1(Pages[i].text), panel);
        text->setWordWrap(true);
        pageLayout->addWidget(title);
        pageLayout->addWidget(m_pictures[size_t(i)], 1);
        pageLayout->addWidget(text);
        panel->hide();
        layout->addWidget(panel, 1);
        m_pages[size_t(i)] = panel;
    }
    auto *note = new QLabel(u"Note:  To perform a long time test or schedule test,\n"
                            u"please disable the computer's hibernation mode."_qs,
                            this);
    note->setObjectName(u"Text1_19"_qs);
    m_hibernateCommand->setObjectName(u"Text1_20"_qs);
    m_hibernateCommand->setCursor(Qt::PointingHandCursor);
    m_hibernateCommand->setToolTip(u"Click to run this command (it asks first)"_qs);
    m_hibernateCommand->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_hibernateCommand->installEventFilter(this);
    layout->addWidget(note);
    layout->addWidget(m_hibernateCommand);
    auto *buttons = new QHBoxLayout;
    m_label1->setObjectName(u"Label1"_qs);
    m_previous->setObjectName(u"CommandPre"_qs);
    m_next->setObjectName(u"CommandNext"_qs);
    m_exit->setObjectName(u"Command1"_qs);
    buttons->addWidget(m_label1);
    buttons->addStretch(1);
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addWidget(m_exit);
    layout->addLayout(buttons);
    connect(m_next, &QPushButton::clicked, this, &DialogHelp::CommandNext_Click);
    connect(m_previous, &QPushButton::clicked, this, &DialogHelp::CommandPre_Click);
    connect(m_exit, &QPushButton::clicked, this, &DialogHelp::Command1_Click);
}

void DialogHelp::Form_Load()
{
    // The pictures show the window as it is now, at a size that fits the page.
    for (int p = 1; p <= PageCount; ++p) {
        QPixmap picture = m_picture ? m_picture(p) : QPixmap();
        if (!picture.isNull() && (picture.width() > PictureSize.width()
                                  || picture.height() > PictureSize.height()))
            picture = picture.scaled(PictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        m_pictures[size_t(p - 1)]->setPixmap(picture);
    }
    m_page = 1;
    showPage();
    placeOverOwner();
}

void DialogHelp::placeOverOwner()
{
    QWidget *owner = parentWidget();
    if (!owner)
        return;
    // Over the main window, centred on it, wholly on its screen.
    QRect place(QPoint(), size());
    place.moveCenter(owner->geometry().center());
    if (const QScreen *screen = owner->screen())
        place = KeptWithin(place, screen->availableGeometry() - FrameMarginsOr(geometry(), frameGeometry()));
    setGeometry(place);
}

void DialogHelp::showPage()
{
    for (QFrame *panel : m_pages)
        panel->hide();
    m_label1->setText(QString::number(m_page) + u" of "_qs + QString::number(PageCount));
    // Neither button leads past the first or the last page.
    m_previous->setEnabled(m_page > 1);
    m_next->setEnabled(m_page < PageCount);
    if (m_page < 1 || m_page > PageCount)
        return;
    QFrame *panel = m_pages[size_t(m_page - 1)];
    panel->show();
    panel->raise();
    // Room for the page's picture and its wrapped lines.
    layout()->activate();
    resize(size().expandedTo(sizeHint()));
}

void DialogHelp::CommandNext_Click()
{
    m_page = qMin(m_page + 1, PageCount);
    showPage();
}

void DialogHelp::CommandPre_Click()
{
    m_page = qMax(m_page - 1, 1);
    showPage();
}

void DialogHelp::Command1_Click()
{
    hide();
}

void DialogHelp::Text1_Click(int index)
{
    if (index != 20 || m_hibernateRunning)
        return;
    const QString question =
        u"This runs\n    "_qs + HibernateCommand
        + u"\n\nThe computer then no longer sleeps, suspends or hibernates, for every user and "
          "after a restart too, until it is undone with\n    "_qs
        + HibernateProgram + u" unmask "_qs + SleepTargets + u"\n\nRun it now?"_qs;
    if (MsgBox(question, BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    // Run without a window but watched: it may ask for a password and may fail.
    auto *process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    m_hibernateRunning = true;
    const auto done = [this, process](const QString &failure) {
        m_hibernateRunning = false;
        process->deleteLater();
        if (failure.isEmpty())
            MsgBox(u"Sleep, suspend and hibernation are now turned off."_qs, BoxIcon::Information);
        else
            MsgBox(u"Hibernation could not be turned off: "_qs + failure, BoxIcon::Exclamation);
    };
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(process->program() + u": "_qs + process->errorString());
    });
    connect(process, &QProcess::finished, this,
            [process, done](int exitCode, QProcess::ExitStatus status) {
                const QString output = QString::fromLocal8Bit(process->readAll()).trimmed();
                if (status == QProcess::NormalExit && exitCode == 0)
                    done({});
                else
                    done(output.isEmpty() ? u"exit code %1"_qs.arg(exitCode) : output);
            });
    process->start(m_hibernateProgram, QStringList{u"mask"_qs} + SleepTargets.split(u' '));
}

bool DialogHelp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_hibernateCommand && event->type() == QEvent::MouseButtonRelease)
        Text1_Click(20);
    return QDialog::eventFilter(watched, event);
}

} // namespace netvane
