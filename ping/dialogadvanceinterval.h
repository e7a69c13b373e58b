#pragma once
// DialogAdvanceInterval: collects an interval sequence, from one interval to another
// in steps, each interval held for a number of passes. sequence() is the accepted
// result; the step direction is decided when the text form is written.

#include "ping/sequences.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace netvane {

class DialogAdvanceInterval final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogAdvanceInterval)
public:
    explicit DialogAdvanceInterval(QWidget *mainWindow);

    const IntervalSequence &sequence() const { return m_sequence; }

private:
    void Command2_Click();
    void updateStepLabel();

    QLineEdit *m_textIFrom;
    QLineEdit *m_textITo;
    QLineEdit *m_textIIncre;
    QLineEdit *m_textIRe;
    QLabel *m_stepLabel;
    QPushButton *m_command2;
    QPushButton *m_command1;
    IntervalSequence m_sequence;
};

} // namespace netvane
