#include "support/scriptedui.h"

namespace netvane::test {

ScriptedUi::ScriptedUi()
{
    m_previousBoxes = setMessageResponder([this](const MessageBoxRequest &box) {
        boxes << box;
        if (!answers.isEmpty())
            return answers.dequeue();
        return box.buttons == BoxButtons::YesNo || box.buttons == BoxButtons::YesNoCancel
                   ? BoxAnswer::Yes
                   : BoxAnswer::Ok;
    });
    m_previousFiles = setFileDialogResponder([this](const FileDialogRequest &request) {
        fileDialogs << request;
        return paths.isEmpty() ? QString() : paths.dequeue();
    });
}

ScriptedUi::~ScriptedUi()
{
    setMessageResponder(m_previousBoxes);
    setFileDialogResponder(m_previousFiles);
}

QStringList ScriptedUi::texts() const
{
    QStringList list;
    for (const MessageBoxRequest &box : boxes)
        list << box.text;
    return list;
}

QStringList ScriptedUi::firstLines() const
{
    QStringList list;
    for (const MessageBoxRequest &box : boxes)
        list << box.text.section(u'\n', 0, 0);
    return list;
}

} // namespace netvane::test
