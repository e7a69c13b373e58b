#pragma once
// What the three add/edit dialogs of the target list share: placing themselves
// beside the main window, the captions of add and edit mode, the status label that
// carries the outcome of the previous attempt, and Exit (also by closing the
// window or Escape), which hands back "-".

#include "iplist/dialogstate.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace netvane {

class IpDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IpDialog)
public:
    IpDialog(IpDialogState &state, const QString &addCaption, const QString &editCaption,
             QWidget *parent);

    void Exit();
    void reject() override; // Escape acts as Exit

protected:
    // Fills the fields for this showing; editMode tells add from edit.
    virtual void activate(bool editMode) = 0;
    // The "IP Error" box; the focus goes back to the field.
    void refuse(const QString &text, QWidget *field);
    // Leaves the dialog with a payload to store.
    void finish(const QString &result);
    // Leaves the dialog after storing a manual target to test.
    void finishForTest(int slot, const QString &target);

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    IpDialogState &m_state;
    QPushButton *m_accept;
    QPushButton *m_exit;
    QLabel *m_status;

private:
    QString m_addCaption;
    QString m_editCaption;
};

// The text colours of the hint texts the fields show until they are used.
inline constexpr unsigned HintColour = 0x808080;
inline constexpr unsigned TypedColour = 0x000080; // dark blue

} // namespace netvane
