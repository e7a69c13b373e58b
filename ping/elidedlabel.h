#pragma once
// A one-line status label that never asks for more room than it has: a text wider
// than the label (a long host name in "'...' has been added to the list.") is drawn
// cut in the middle with "…", and the whole text is its tooltip. text() stays whole,
// so what the program wrote is what it reads back.

#include <QLabel>

namespace netvane {

class ElidedLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedLabel)
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    // The text as drawn at the label's width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
};

} // namespace netvane
