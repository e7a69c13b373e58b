#pragma once
// DialogAdvanceSize: collects a send-size sequence, either sizes stepping up from one
// value to another (Incremental) or a list of values (Multiple), each used for a
// number of echoes. OK checks the entries and keeps the dialog open with a message
// when they do not make a plan; plan() is the accepted result.

#include "ping/sequences.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace netvane {

class DialogAdvanceSize final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogAdvanceSize)
public:
    explicit DialogAdvanceSize(QWidget *mainWindow);

    const SendSizePlan &plan() const { return m_plan; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OKButton_Click();
    void selectIncremental(bool incremental);

    QRadioButton *m_option1;
    QRadioButton *m_option2;
    QLineEdit *m_textIFrom;
    QLineEdit *m_textITo;
    QLineEdit *m_textIIncre;
    QLineEdit *m_textIRe;
    QLineEdit *m_textMV;
    QLineEdit *m_textMRe;
    QPushButton *m_okButton;
    QPushButton *m_cancelButton;
    QList<QWidget *> m_incrementalGroup;
    QList<QWidget *> m_multipleGroup;
    SendSizePlan m_plan;
};

} // namespace netvane
