#include "ping/sequencedialogsupport.h"

#include <QKeyEvent>
#include <QWidget>

namespace netvane {

CharacterKeyFilter::CharacterKeyFilter(const QString &allowed, QObject *parent)
    : QObject(parent), m_allowed(allowed)
{
}

bool CharacterKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (!text.isEmpty() && key->key() != Qt::Key_Backspace && text.at(0).isPrint()
            && !key->matches(QKeySequence::Paste)) {
            for (const QChar c : text) {
                if (!m_allowed.contains(c))
                    return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void PlaceBesideMainWindow(QWidget *dialog, const QWidget *mainWindow)
{
    if (!mainWindow)
        return;
    dialog->move(mainWindow->frameGeometry().topLeft() + QPoint(195, 139));
}

} // namespace netvane
