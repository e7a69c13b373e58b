#include "app/appsettings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace netvane {

namespace {

const char *const KeyNames[AppSettings::KeyCount] = {
    "Default_Interval",  "Default_Buffer",   "Default_TimeOut",       "Default_Number",
    "Default_Path",      "Default_IPtoName", "Default_Hop_Number",    "Default_Host_List",
    "Default_TimeOut2",  "Default_CmdType",  "Default_TraceFileName", "Default_IPQty",
    "Default_RepeatIP"};

} // namespace

QString AppSettings::keyName(Key key)
{
    return QString::fromLatin1(KeyNames[key]);
}

const std::array<AppSettings::BoxSetting, 8> &AppSettings::boxSettings()
{
    static const std::array<BoxSetting, 8> boxes = {{
        {Interval, "ComboInv"},
        {Buffer, "ComboSize"},
        {TimeOut, "ComboTimeOut"},
        {Number, "ComboTimes"},
        {RepeatIP, "ComboRepIP"},
        {HopNumber, "ComboTracert_1"},
        {HostList, "ComboTracert_2"},
        {TimeOut2, "ComboTracert_3"},
    }};
    return boxes;
}

QString AppSettings::filePath()
{
    // Named explicitly rather than by organisation and application, so that the
    // folder follows XDG_CONFIG_HOME as it is now (QSettings caches its own).
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(u"Netvane/Netvane.conf"_qs);
}

void AppSettings::load()
{
    m_values.fill(QString());
    const QSettings settings(filePath(), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return;
    for (int k = 0; k < KeyCount; ++k) {
        const QVariant stored = settings.value(keyName(Key(k)));
        // Every value is written as text; a hand-edited list comes back joined.
        QString text = stored.typeId() == QMetaType::QStringList
                           ? stored.toStringList().join(u", "_qs)
                           : stored.toString();
        text.remove(QChar(0));
        m_values[size_t(k)] = text;
    }
}

bool AppSettings::save(QString *error) const
{
    const QString path = filePath();
    QSettings settings(path, QSettings::IniFormat);
    const auto fail = [&](const QString &why) {
        if (error)
            *error = u"Cannot save the settings in "_qs + QDir::toNativeSeparators(path) + u": "_qs
                     + why;
        return false;
    };
    if (!settings.isWritable())
        return fail(u"the file cannot be written"_qs);
    for (int k = 0; k < KeyCount; ++k)
        settings.setValue(keyName(Key(k)), m_values[size_t(k)]);
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return true;
    case QSettings::AccessError:
        return fail(u"access denied"_qs);
    case QSettings::FormatError:
        return fail(u"the file is damaged"_qs);
    }
    return fail(u"unknown error"_qs);
}

} // namespace netvane
