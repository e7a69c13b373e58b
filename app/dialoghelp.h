#pragma once
// The help: eight pages, one per function of the program, each a picture of that
// function's panel as the running program draws it (taken from the live window when
// the help first opens, never drawn by hand) with a few lines on how to use it. Next
// and Previous turn the pages within 1 to 8; the page label says where the reader is.
// Below the pages, the line of the command that keeps the computer from sleeping
// during a long test: a click asks first (the change is for the whole system and
// lasts), then runs it and says when it failed.

#include <QDialog>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace netvane {

class DialogHelp final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogHelp)
public:
    static constexpr int PageCount = 8;
    // picture(page) gives the picture of page 1..8 from the running window.
    DialogHelp(std::function<QPixmap(int)> picture, QWidget *owner);

    // Opening: beside the main window, on page 1, pictures taken now.
    void Form_Load();
    void CommandNext_Click();
    void CommandPre_Click();
    void Command1_Click();
    void Text1_Click(int index);
    void showPage();
    // The command the line runs, for a test that must not change the system.
    void setHibernateProgram(const QString &program) { m_hibernateProgram = program; }

    int page() const { return m_page; }
    QFrame *pagePanel(int page) const { return m_pages[size_t(page - 1)]; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeOverOwner();

    std::function<QPixmap(int)> m_picture;
    std::array<QFrame *, PageCount> m_pages{};
    std::array<QLabel *, PageCount> m_pictures{};
    QLabel *m_label1;
    QLabel *m_hibernateCommand; // Text1_20
    QPushButton *m_next;
    QPushButton *m_previous;
    QPushButton *m_exit;
    int m_page = 1;
    QString m_hibernateProgram;
    bool m_hibernateRunning = false;
};

} // namespace netvane
