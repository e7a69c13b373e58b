#pragma once

#include "iplist/ipdialog.h"

class QLineEdit;

namespace netvane {

// Adds or edits a range: a title and two dotted addresses (no host names).
class FormAddIPR final : public IpDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormAddIPR)
public:
    explicit FormAddIPR(IpDialogState &state, QWidget *parent = nullptr);

    void Command1_Click(); // accept
    void Command3_Click(); // "=": the last address becomes the first
    void Command4_Click(); // "Scan IP"

protected:
    void activate(bool editMode) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // "first,last" normalised; false with a box naming the refused field.
    bool checkedRange(QString *first, QString *last);

    QLineEdit *m_title;
    QLineEdit *m_ip;
    QLineEdit *m_ip2;
    QPushButton *m_equal;
    QPushButton *m_scan;
};

} // namespace netvane
