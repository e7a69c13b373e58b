#pragma once
// Presses as a pointer would: at the widget's centre, on whatever widget lies there
// on top. A test's click() on the button itself would reach it even when a label or a
// panel covers it and a user's click never could.

#include <QString>
#include <QWidget>

class QAbstractButton;

namespace netvane::test {

// The control of that object name under `parent`; a missing one ends the test run
// (every later step would use it).
template<typename T = QWidget>
T *Control(const QObject *parent, const QString &name)
{
    T *w = parent->findChild<T *>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

// The widget a press at the centre of `widget` reaches in its window (the deepest
// child there), or nullptr when the centre is outside the window.
QWidget *WidgetAtCentre(const QWidget *widget);

// True when a press at the button's centre reaches the button (or a child of it).
bool ReachableByPointer(const QAbstractButton *button);

// A left click at the button's centre, delivered to the widget found there; false
// (and no click) when that widget is not the button.
bool ClickAtCentre(QAbstractButton *button);

} // namespace netvane::test
