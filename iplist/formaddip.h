#pragma once

#include "iplist/ipdialog.h"

class QLineEdit;

namespace netvane {

// Adds or edits a single address or host name. Host names are taken unresolved.
class FormAddIP final : public IpDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormAddIP)
public:
    explicit FormAddIP(IpDialogState &state, QWidget *parent = nullptr);

    void Command1_Click(); // accept
    void Command3_Click(); // "Ping"

    static inline const QString Hint = QStringLiteral("0.  0.  0.  0");

protected:
    void activate(bool editMode) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The field without spaces and line breaks; empty with a box when it is no address.
    bool checkedEntry(QString *entry);

    QLineEdit *m_text2;
    QPushButton *m_ping;
};

} // namespace netvane
