#include "console/consolepanel.h"

#include "ping/exportfile.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/textfile.h"
#include "platform/texteditor.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace netvane {

namespace {

const QString PickerSeparator = QStringLiteral("----------------------------");
const QString PickerAdd = QStringLiteral("Add a IP / URL");

const char *const ButtonCaptions[7] = {"Commands", "IP / URL", "Run", "Sort", "Add",
                                       "Delete", "Close"};
const char *const ButtonTips[7] = {
    "Pick a built-in command", "Put an address of the IP list into the command",
    "Run the command in a console window", "Sort the history / show it in file order",
    "Add the command to the history", "Delete history records", "Hide the DOS commands"};

} // namespace

ConsolePanel::ConsolePanel(const QString &dataFolder, QWidget *parent)
    : QFrame(parent),
      m_history(dataFolder),
      m_textCmd(new QLineEdit(u"tracert www.debian.org"_qs, this)),
      m_checkAutoAdd(new QCheckBox(u"add to list"_qs, this)),
      m_listCmd(new QListWidget(this)),
      m_listDOSHis(new QListWidget(this)),
      m_listIP2(new QListWidget(this)),
      m_mnuDeleteDos(new QMenu(u"Delete DOS Run History"_qs, this))
{
    setObjectName(u"PictureDOS"_qs);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_textCmd->setObjectName(u"TextCmd"_qs);
    m_checkAutoAdd->setObjectName(u"CheckAutoAdd"_qs);
    m_listCmd->setObjectName(u"ListCmd"_qs);
    m_listDOSHis->setObjectName(u"ListDOSHis"_qs);
    m_listIP2->setObjectName(u"ListIP2"_qs);
    m_mnuDeleteDos->setObjectName(u"mnuDeleteDos"_qs);
    m_listDOSHis->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listDOSHis->viewport()->setMouseTracking(true);
    for (size_t i = 0; i < m_commandDOS.size(); ++i) {
        m_commandDOS[i] = new QPushButton(QString::fromLatin1(ButtonCaptions[i]), this);
        m_commandDOS[i]->setObjectName(u"CommandDOS_%1"_qs.arg(i));
        m_commandDOS[i]->setToolTip(QString::fromLatin1(ButtonTips[i]));
        m_commandDOS[i]->setAutoDefault(false);
        connect(m_commandDOS[i], &QPushButton::clicked, this,
                [this, i] { CommandDOS_Click(int(i)); });
    }

    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(u"DOS Commands"_qs, this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);

    auto *commandRow = new QHBoxLayout;
    auto *commandLabel = new QLabel(u"Command:"_qs, this);
    commandLabel->setBuddy(m_textCmd);
    commandRow->addWidget(commandLabel);
    commandRow->addWidget(m_textCmd, 1);
    commandRow->addWidget(m_commandDOS[2]);
    commandRow->addWidget(m_checkAutoAdd);
    layout->addLayout(commandRow);

    auto *lists = new QHBoxLayout;
    auto *pickers = new QVBoxLayout;
    pickers->addWidget(m_listCmd);
    pickers->addWidget(m_listIP2);
    lists->addLayout(pickers);
    auto *historyColumn = new QVBoxLayout;
    historyColumn->addWidget(new QLabel(u"DOS Run History:"_qs, this));
    historyColumn->addWidget(m_listDOSHis, 1);
    lists->addLayout(historyColumn, 1);
    layout->addLayout(lists, 1);

    auto *buttons = new QHBoxLayout;
    for (int i : {0, 1, 4, 3, 5})
        buttons->addWidget(m_commandDOS[size_t(i)]);
    buttons->addStretch(1);
    buttons->addWidget(m_commandDOS[6]);
    layout->addLayout(buttons);

    const int pickerWidth = fontMetrics().horizontalAdvance(PickerSeparator) + 40;
    m_listCmd->setFixedWidth(pickerWidth);
    m_listIP2->setFixedWidth(pickerWidth);
    m_listCmd->addItems(BuiltInCommands());
    setAddressPicks({});
    m_listCmd->hide();
    m_listIP2->hide();
    buildMenu();

    connect(m_textCmd, &QLineEdit::returnPressed, this, &ConsolePanel::RunConsoleCommand);
    m_textCmd->installEventFilter(this);
    m_listDOSHis->viewport()->installEventFilter(this);
    connect(m_listCmd, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { ListCmd_Click(item->text()); });
    connect(m_listIP2, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { ListIP2_Click(item->text()); });
    connect(m_listDOSHis, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { ListDOSHis_Click(item->text()); });

    LoadHistory();
}

ConsolePanel::~ConsolePanel() = default;

void ConsolePanel::buildMenu()
{
    const char *const captions[13] = {"-",
                                      "Edit the DOS commands list use Notepad",
                                      "Refresh the DOS commands list",
                                      "-",
                                      "Delete the selected history records",
                                      "-",
                                      "Delete all except the last 10 records",
                                      "Delete all except the last 20 records",
                                      "Delete all except the last 30 records",
                                      "Delete all except the last 50 records",
                                      "Delete all except the last 100 records",
                                      "-",
                                      "Delete all history records"};
    for (int i = 0; i < 13; ++i) {
        const QString caption = QString::fromLatin1(captions[i]);
        QAction *action = caption == u"-" ? m_mnuDeleteDos->addSeparator()
                                            : m_mnuDeleteDos->addAction(caption);
        action->setObjectName(u"mnuDel_%1"_qs.arg(i));
        switch (i) {
        case 1: connect(action, &QAction::triggered, this, &ConsolePanel::EditHistoryFile); break;
        case 2: connect(action, &QAction::triggered, this, &ConsolePanel::LoadHistory); break;
        case 4:
            connect(action, &QAction::triggered, this, &ConsolePanel::DeleteSelectedHistory);
            break;
        case 6: case 7: case 8: case 9: case 10: {
            static constexpr int keep[] = {10, 20, 30, 50, 100};
            const int n = keep[i - 6];
            connect(action, &QAction::triggered, this, [this, n] { KeepLastHistory(n); });
            break;
        }
        case 12: connect(action, &QAction::triggered, this, &ConsolePanel::DeleteAllHistory); break;
        default: break;
        }
    }
}

void ConsolePanel::addMenuItems(QMenu *fileMenu, QMenu *utilityMenu)
{
    QAction *before = fileMenu->actions().isEmpty() ? nullptr : fileMenu->actions().constLast();
    auto *exportItem = new QAction(u"Export DOS Command History"_qs, fileMenu);
    exportItem->setObjectName(u"mnuExpImp_4"_qs);
    auto *importItem = new QAction(u"Import DOS Command History"_qs, fileMenu);
    importItem->setObjectName(u"mnuExpImp_5"_qs);
    fileMenu->insertAction(before, exportItem);
    fileMenu->insertAction(before, importItem);
    if (before)
        fileMenu->insertSeparator(before);
    connect(exportItem, &QAction::triggered, this, &ConsolePanel::ExportHistory);
    connect(importItem, &QAction::triggered, this, &ConsolePanel::ImportHistory);

    QAction *dos = utilityMenu->addAction(u"DOS Commands"_qs);
    dos->setObjectName(u"mnuDos"_qs);
    connect(dos, &QAction::triggered, this, &ConsolePanel::Command11_Click);
    QAction *closeAll = utilityMenu->addAction(u"Close All Opening DOS Forms"_qs);
    closeAll->setObjectName(u"mnuCloseAllDOS"_qs);
    connect(closeAll, &QAction::triggered, this, &ConsolePanel::mnuCloseAllDOS_Click);
    utilityMenu->addMenu(m_mnuDeleteDos);
}

void ConsolePanel::setAddressPicks(const QStringList &entries)
{
    m_listIP2->clear();
    m_listIP2->addItems(entries);
    if (!entries.contains(PickerAdd))
        m_listIP2->addItems({PickerSeparator, PickerAdd});
}

void ConsolePanel::Command11_Click()
{
    // The target list's detail panel would cover the console.
    if (QWidget *details = window()->findChild<QWidget *>(u"PictureShowIP"_qs))
        details->hide();
    show();
    raise();
}

void ConsolePanel::CommandDOS_Click(int index)
{
    switch (index) {
    case 0:
        m_listIP2->hide();
        m_listCmd->show();
        m_listCmd->raise();
        break;
    case 1:
        m_listCmd->hide();
        m_listIP2->show();
        m_listIP2->raise();
        break;
    case 2:
        RunConsoleCommand();
        break;
    case 3:
        ToggleHistorySort();
        break;
    case 4: {
        const QString command = m_textCmd->text().trimmed();
        if (command.isEmpty())
            MsgBox(u"No current entered command line to add."_qs, BoxIcon::Critical);
        else
            AddHistory(command);
        break;
    }
    case 5:
        m_mnuDeleteDos->popup(m_commandDOS[5]->mapToGlobal(QPoint(0, m_commandDOS[5]->height())));
        break;
    case 6:
        hide();
        break;
    default:
        break;
    }
}

void ConsolePanel::RunConsoleCommand()
{
    const QString command = m_textCmd->text().trimmed();
    const QString error = m_consoleWindows.open(command);
    if (!error.isEmpty()) {
        MsgBox(error + u"   Dos_Run"_qs, BoxIcon::Critical);
        return;
    }
    LetWindowCatchUp();
    if (m_checkAutoAdd->isChecked())
        AddHistory(command);
}

void ConsolePanel::mnuCloseAllDOS_Click()
{
    m_consoleWindows.closeAll();
}

void ConsolePanel::showHistory()
{
    m_listDOSHis->clear();
    m_listDOSHis->addItems(m_history.view());
}

void ConsolePanel::LoadHistory()
{
    QString error;
    const bool loaded = m_history.load(&error);
    showHistory();
    if (!loaded)
        MsgBox(error, BoxIcon::Exclamation);
}

void ConsolePanel::AddHistory(const QString &command)
{
    bool added = false;
    QString error;
    if (!m_history.add(command, &added, &error)) {
        showHistory();
        MsgBox(error + u"   Dos Add"_qs, BoxIcon::Critical);
        return;
    }
    if (added)
        showHistory();
}

void ConsolePanel::DeleteSelectedHistory()
{
    QList<int> rows;
    for (int row = 0; row < m_listDOSHis->count(); ++row) {
        if (m_listDOSHis->item(row)->isSelected())
            rows << row;
    }
    if (rows.isEmpty()) {
        MsgBox(u"Please select the history records your want to delete."_qs, BoxIcon::Exclamation);
        return;
    }
    if (MsgBox(u"Are you sure to delete "_qs + QString::number(rows.size()) + u" seleted items ?"_qs,
               BoxIcon::Information, BoxButtons::YesNo, u"Delete History"_qs)
        != BoxAnswer::Yes)
        return;
    QString error;
    const bool done = m_history.removeViewRows(rows, &error);
    showHistory();
    if (!done)
        MsgBox(error, BoxIcon::Critical);
}

void ConsolePanel::KeepLastHistory(int n)
{
    if (MsgBox(u"Are you sure to delete all except last "_qs + QString::number(n) + u" records ?"_qs,
               BoxIcon::Information, BoxButtons::YesNo, u"Delete History"_qs)
        != BoxAnswer::Yes)
        return;
    QString error;
    const bool done = m_history.keepLast(n, &error);
    showHistory();
    if (!done)
        MsgBox(error, BoxIcon::Critical);
}

void ConsolePanel::DeleteAllHistory()
{
    if (MsgBox(u"Are you sure to delete all history records ?"_qs, BoxIcon::Information,
               BoxButtons::YesNo, u"Delete History"_qs)
        != BoxAnswer::Yes)
        return;
    QString error;
    const bool done = m_history.clearAll(&error);
    showHistory();
    if (!done)
        MsgBox(error, BoxIcon::Critical);
}

void ConsolePanel::ToggleHistorySort()
{
    if (!m_history.isSorted()) {
        m_history.sortView();
        showHistory();
    } else {
        LoadHistory();
    }
    m_listDOSHis->show();
    m_listDOSHis->raise();
    m_listDOSHis->verticalScrollBar()->setValue(m_listDOSHis->verticalScrollBar()->value() + 20);
}

void ConsolePanel::ExportHistory()
{
    QByteArray content;
    QString error;
    if (!m_history.fileContent(&content, &error)) {
        MsgBox(error, BoxIcon::Critical);
        return;
    }
    const QString path = AskSavePath(u"DOS Command history will be export to this File"_qs,
                                     HistoryExportName(QDateTime::currentDateTime()), u"txt"_qs);
    if (path.isEmpty())
        return;
    // Onto the history file itself: it already holds what would be written.
    if (!IsSameFile(path, m_history.path()) && !CommandHistory::exportTo(path, content, &error)) {
        MsgBox(error, BoxIcon::Critical);
        return;
    }
    LetWindowCatchUp();
    ShowFileSaved(u"DOS Command history has export to file: "_qs + path);
}

void ConsolePanel::ImportHistory()
{
    const QString path = AskImportPath(u"Import DOS Command History"_qs, m_history.path(),
                                       u"Overwrite the current DOS command history?"_qs);
    if (path.isEmpty())
        return;
    QString error;
    const bool done = m_history.importFrom(path, &error);
    showHistory();
    if (!done) {
        MsgBox(error, BoxIcon::Critical);
        return;
    }
    LetWindowCatchUp();
    MsgBox(u"DOS command history has been imported"_qs, BoxIcon::Information, BoxButtons::Ok,
           u"Imported"_qs);
}

void ConsolePanel::EditHistoryFile()
{
    if (!OpenInTextEditor(m_history.path()))
        MsgBox(u"No text editor could be started for "_qs + m_history.path(), BoxIcon::Critical);
}

void ConsolePanel::hidePickers()
{
    m_listCmd->hide();
    m_listIP2->hide();
}

void ConsolePanel::takeCommand(const QString &text)
{
    m_textCmd->setText(text);
    m_textCmd->setCursorPosition(int(text.size()));
    m_textCmd->setFocus();
}

void ConsolePanel::ListCmd_Click(const QString &text)
{
    takeCommand(text);
    m_listCmd->hide();
}

void ConsolePanel::ListIP2_Click(const QString &text)
{
    if (text == PickerSeparator) {
        m_listIP2->hide();
        return;
    }
    if (text == PickerAdd) {
        m_listIP2->hide();
        Q_EMIT addAddressRequested();
        return;
    }
    takeCommand(ReplaceAddressToken(m_textCmd->text(), text));
    m_listIP2->hide();
}

void ConsolePanel::ListDOSHis_Click(const QString &text)
{
    if (!text.isEmpty())
        takeCommand(text);
}

bool ConsolePanel::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_textCmd && event->type() == QEvent::MouseButtonPress)
        || (watched == m_listDOSHis->viewport() && event->type() == QEvent::MouseMove))
        hidePickers();
    return QFrame::eventFilter(watched, event);
}

} // namespace netvane
