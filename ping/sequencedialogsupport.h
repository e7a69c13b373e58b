#pragma once
// Small helpers the two sequence dialogs share: the key filter of their number boxes
// and their place beside the main window.

#include <QObject>
#include <QString>

class QWidget;

namespace netvane {

// Lets through only the given characters, backspace and keys that type nothing
// (arrows, Tab ...), like the boxes' own key filters; pasted text is checked at OK.
class CharacterKeyFilter final : public QObject
{
    Q_OBJECT
public:
    CharacterKeyFilter(const QString &allowed, QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_allowed;
};

// Puts a sequence dialog 195 x 139 pixels (2925 x 2088 twips) right of and below the
// main window's top-left corner.
void PlaceBesideMainWindow(QWidget *dialog, const QWidget *mainWindow);

} // namespace netvane
