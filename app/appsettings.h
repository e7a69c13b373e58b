#pragma once
// The settings kept between runs: the texts of the ping and traceroute setting
// boxes, the last command type, the last folder of a file dialog and two facts about
// the last test. Thirteen text values in QSettings (the user's configuration folder,
// "Netvane/Netvane.conf"), read once at start-up and written when a ping test starts
// and when the window closes. The window puts the texts back into its boxes, and
// collects them, by the boxes' object names (BoxSettings).

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

    // Reads the thirteen values; a missing one stays empty, and an unreadable file
    // leaves them all empty.
    void load();
    // Writes the thirteen values; false with the description when they could not be.
    bool save(QString *error = nullptr) const;

private:
    std::array<QString, KeyCount> m_values;
};

} // namespace netvane
