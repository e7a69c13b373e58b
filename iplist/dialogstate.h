#pragma once
// What the main window and the add/edit dialogs hand each other. One instance,
// owned by the list window; the dialogs read and write it around each showing.

#include <QPoint>
#include <QString>
#include <array>

namespace netvane {

struct IpDialogState {
    // What the dialog returns: empty (nothing entered yet, show it again), "-" (left
    // by Exit, closing, or a test button), or the payload to store.
    QString result;
    QString title;       // the title typed in the group or range dialog
    QString editSource;  // the item being edited; empty when adding
    bool editMode = false;  // set before each showing for an edit; the dialog clears it
    QString message;     // outcome of the previous attempt, shown on the next showing
    QPoint owner;        // the main window's position when the dialog was asked for
    QString groupPrefill;  // members offered for a new group (scan results)
    QString rangePrefillFirst;
    QString rangePrefillLast;
    // Targets typed into a dialog and tested without saving: 0 a range item, 1 a
    // single address, 2 a group item.
    std::array<QString, 3> manualTarget;

    static inline const QString Left = QStringLiteral("-");
};

} // namespace netvane
