#pragma once
// The settings kept between runs: the texts of the ping and traceroute setting
// boxes, the last command type, the last folder of a file dialog, facts about the
// last test and the last traceroute, the window's metrics endpoint and where the main
// window stood. Text values in an ini file in the user's configuration folder
// ("Netvane/Netvane.conf", section [General], the layout QSettings reads), the user's
// alone, read once at start-up and written when a test starts and when the window closes. The window puts the texts
// back into its boxes, and collects them, by the boxes' object names (BoxSettings).

#include <QRect>
#include <QString>

#include <array>

namespace netvane {

class AppSettings final
{
public:
    // In the order of writing and reading.
    enum Key {
        Interval,
        Buffer,
        TimeOut,
        Number,
        Path,
        IPtoName,
        HopNumber,
        HostList,
        TimeOut2,
        CmdType,
        TraceFileName,
        IPQty,
        RepeatIP,
        // The host count of the last traceroute, which a later ping test's IPQty does
        // not replace; empty in a file of an older version (IPQty then stands for it).
        TraceIPQty,
        Metrics,        // "1" while the window serves metrics for Prometheus
        MetricsAddress, // where it serves them; empty for 127.0.0.1:9374
        WindowPlace,    // "left,top,width,height" of the main window, in pixels
        AddressFamily,  // the text of ComboFamily: "Automatic", "IPv4 only" or "IPv6 only"
        OutageAfter,    // lost echoes in a row that make an outage; empty for 3
        OutageNotify,   // "0" when outages are not told on the desktop; empty for on
        OutageCommand,  // run when an outage begins or ends; empty for none
        KeyCount
    };

    struct BoxSetting {
        Key key;
        const char *objectName;
    };

    // "Default_Interval", "Default_Buffer", ...
    static QString keyName(Key key);
    // The boxes whose texts are kept, in the order their texts are put back.
    static const std::array<BoxSetting, 8> &boxSettings();
    static QString filePath();

    QString value(Key key) const { return m_values[size_t(key)]; }
    void setValue(Key key, const QString &value) { m_values[size_t(key)] = value; }

    // Reads the values; a missing or damaged one stays empty, every other
    // one is kept. False with the reason when the file exists but cannot be read
    // (something other than a regular file at its path): all stay empty then.
    bool load(QString *error = nullptr);
    // Writes the values, replacing the file whole or not at all; false with
    // the system's description when they could not be written.
    bool save(QString *error = nullptr) const;

private:
    std::array<QString, KeyCount> m_values;
};

// The window place (its inside, without the frame) as stored
// ("left,top,width,height") and read back; an empty
// rectangle for a text that is not four whole numbers with a positive size.
QString WindowPlaceText(const QRect &place);
QRect WindowPlaceOf(const QString &text);

// Where a window of the stored place goes on a screen whose free area is `area`: no
// larger than the area, and wholly on it (a place from a larger or another screen is
// moved in). `fallback` is the size of a window with no place stored, centred.
QRect FittedWindowPlace(const QRect &stored, const QSize &fallback, const QSize &minimum,
                        const QRect &area);

} // namespace netvane
