#include "support/pointer.h"

#include <QAbstractButton>
#include <QTest>
#include <QWidget>

namespace netvane::test {

QWidget *WidgetAtCentre(const QWidget *widget)
{
    QWidget *window = widget->window();
    const QPoint centre = widget->mapTo(window, widget->rect().center());
    return window->childAt(centre);
}

bool ReachableByPointer(const QAbstractButton *button)
{
    const QWidget *found = WidgetAtCentre(button);
    return found && (found == button || button->isAncestorOf(found));
}

bool ClickAtCentre(QAbstractButton *button)
{
    if (!ReachableByPointer(button))
        return false;
    QWidget *found = WidgetAtCentre(button);
    const QPoint at = found->mapFrom(button->window(),
                                     button->mapTo(button->window(), button->rect().center()));
    QTest::mouseClick(found, Qt::LeftButton, Qt::NoModifier, at);
    return true;
}

} // namespace netvane::test
