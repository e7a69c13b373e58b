#pragma once

#include "iplist/ipdialog.h"

class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace netvane {

// Adds or edits a group: a title and one member a line (address or host name,
// optionally followed by "  (name)").
class FormAddIPG final : public IpDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormAddIPG)
public:
    explicit FormAddIPG(IpDialogState &state, QWidget *parent = nullptr);

    void Command1_Click(); // accept
    void Command4_Click(); // "Ping"

    static inline const QString Hint = QStringLiteral(
        "Enter a group of ip/url at here:\none ip address or url a line,\n"
        "an optional host name in brackets after it.");

protected:
    void activate(bool editMode) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The members joined by ",", as typed; false with a box when one is refused.
    bool checkedMembers(QString *joined);
    bool checkedTitle();

    QLineEdit *m_title;
    QPlainTextEdit *m_ips;
    QPushButton *m_ping;
    QToolButton *m_image1;
    QFrame *m_example;
};

} // namespace netvane
