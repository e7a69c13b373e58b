#pragma once
// A scripted stand-in for the message boxes and file dialogs: every box is recorded
// and answered from a queue (else Yes / OK), every file dialog answered with the next
// queued path (else cancelled). Installed for the lifetime of the object.

#include "platform/dialogs.h"

#include <QList>
#include <QQueue>

namespace netvane::test {

class ScriptedUi final
{
public:
    ScriptedUi();
    ~ScriptedUi();

    QList<MessageBoxRequest> boxes;
    QList<FileDialogRequest> fileDialogs;
    QQueue<BoxAnswer> answers;
    QQueue<QString> paths;

    QStringList texts() const;
    // The first line of each box (a refusal's message, without what is allowed below).
    QStringList firstLines() const;
    void clear() { boxes.clear(); fileDialogs.clear(); }

private:
    MessageResponder m_previousBoxes;
    FileDialogResponder m_previousFiles;
};

} // namespace netvane::test
