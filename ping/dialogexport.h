#pragma once
// DialogExport, the choice between a text report and a CSV file that every export of
// the main window's results starts with. It keeps its last choice of option between
// uses, as one dialog that is only hidden. Ping results may also be written as JSON.

#include <QDialog>

class QLabel;
class QRadioButton;
class QPushButton;

namespace netvane {

class DialogExport final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogExport)
public:
    explicit DialogExport(QWidget *parent = nullptr);

    // Shows the dialog modally for "Ping", "Report", "Tracert" or "Scan" results and
    // returns "Text", "CSV", "JSON" (offered for "Ping" only), or an empty text when
    // cancelled.
    QString ask(const QString &kind);
    QString choice() const { return m_choice; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void okClicked();

    QLabel *m_label1;
    QRadioButton *m_option1;
    QRadioButton *m_option2;
    QRadioButton *m_option3;
    QPushButton *m_okButton;
    QPushButton *m_cancelButton;
    QString m_choice;
};

} // namespace netvane
