#include "console/classdos.h"

#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/process.h"

#include <QEventLoop>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#include <memory>

namespace netvane {

namespace {

// Waits up to `ms` for output or the end, with the window's events going on meanwhile.
void waitForOutput(QProcess &process, int ms)
{
    QEventLoop wait;
    QObject::connect(&process, &QProcess::readyRead, &wait, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    if (process.bytesAvailable() == 0 && process.state() != QProcess::NotRunning)
        wait.exec();
}

} // namespace

ClassDos::ClassDos(QObject *parent) : QObject(parent)
{
}

ClassDos::~ClassDos()
{
    for (QProcess *process : std::as_const(m_running)) {
        if (process->state() != QProcess::NotRunning)
            platform::KillProcessGroup(process->processId());
    }
}

QString ClassDos::ExecuteCommand(const QString &commandLine)
{
    if (!commandLine.isEmpty())
        m_commandLine = commandLine;
    QStringList arguments = QProcess::splitCommand(m_commandLine);
    if (arguments.isEmpty()) {
        MsgBox(u"Command Line empty"_qs, BoxIcon::Critical);
        return {};
    }
    if (const int error = platform::PipeCreationError()) {
        MsgBox(u"CreatePipe failed. Error: "_qs + QString::number(error), BoxIcon::Critical);
        return {};
    }

    // A local process per run: a second run started while this one lets the window
    // catch up must not disturb this one.
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    platform::StartInOwnProcessGroup(*process);
    const QString program = platform::FindProgramCommand(arguments.takeFirst());
    process->start(program, arguments, QIODevice::ReadOnly);
    if (!process->waitForStarted(-1)) {
        MsgBox(u"File or command not found"_qs, BoxIcon::Critical);
        return {};
    }

    QPointer<ClassDos> self(this);
    m_running.insert(process.get());
    m_outputs.clear();
    // Stateful decoding: a character whose bytes straddle two reads comes out whole
    // with the second read instead of as two broken halves.
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString all;
    for (;;) {
        if (process->bytesAvailable() == 0 && process->state() != QProcess::NotRunning) {
            waitForOutput(*process, 30);
            if (!self)
                break;
        }
        const QByteArray bytes = process->read(ChunkBytes);
        if (bytes.isEmpty()) {
            if (process->state() == QProcess::NotRunning && process->bytesAvailable() == 0)
                break;
            LetWindowCatchUp();
            if (!self)
                break;
            continue;
        }
        const QString text = decoder.decode(bytes);
        if (text.isEmpty())
            continue; // only the first bytes of a character so far
        all += text;
        m_outputs += text;
        Q_EMIT ReceiveOutputs(text);
        LetWindowCatchUp();
        LetWindowCatchUp();
        if (!self)
            break;
    }
    if (!self) {
        // The runner went while its command ran; its destructor killed the command's
        // process group, so the child is only collected here.
        process->waitForFinished(5000);
        return all;
    }
    m_running.remove(process.get());
    m_outputs = all;
    // The last read finds the pipe closed: one empty piece says the output is over.
    Q_EMIT ReceiveOutputs(QString());
    return all;
}

} // namespace netvane
