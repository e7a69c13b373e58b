#include "app/appsettings.h"

#include "ping/windowplace.h"
#include "platform/linestream.h"
#include "platform/textfile.h"

#include <QDir>
#include <QStringList>
#include <QFileInfo>
#include <QStandardPaths>

#include <cctype>

namespace netvane {

namespace {

const char *const KeyNames[AppSettings::KeyCount] = {
    "Default_Interval",  "Default_Buffer",   "Default_TimeOut",       "Default_Number",
    "Default_Path",      "Default_IPtoName", "Default_Hop_Number",    "Default_Host_List",
    "Default_TimeOut2",  "Default_CmdType",  "Default_TraceFileName", "Default_IPQty",
    "Default_RepeatIP",  "Default_TraceIPQty", "Default_Metrics",  "Default_MetricsAddress",
    "Default_WindowPlace", "Default_AddressFamily", "Default_OutageAfter", "Default_OutageNotify",
    "Default_OutageCommand"};

// No value of ours comes near this; a longer line is skipped.
constexpr qint64 MaxSettingsLineBytes = 64 * 1024;

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

namespace {

// The value of one "key=value" line as the ini format stores it: quotes keep blanks
// and commas, backslash escapes, a leading "@@" for a text that begins with "@";
// unquoted commas separate a list, which comes back joined by ", ".
QString unescapedValue(QStringView raw)
{
    QStringList parts;
    QString current;
    bool quoted = false;
    qsizetype trailingKeep = 0; // current's length up to its last quoted character
    const auto endPart = [&] {
        // Blanks outside quotes around a part are not part of the value.
        qsizetype end = current.size();
        while (end > trailingKeep && current.at(end - 1).isSpace())
            --end;
        parts << current.left(end);
        current.clear();
        trailingKeep = 0;
    };
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'"') {
            quoted = !quoted;
            trailingKeep = current.size();
            continue;
        }
        if (c == u'\\' && i + 1 < raw.size()) {
            const QChar e = raw.at(++i);
            switch (e.unicode()) {
            case 'a': current += u'\a'; break;
            case 'b': current += u'\b'; break;
            case 'f': current += u'\f'; break;
            case 'n': current += u'\n'; break;
            case 'r': current += u'\r'; break;
            case 't': current += u'\t'; break;
            case 'v': current += u'\v'; break;
            case 'x': {
                uint code = 0;
                while (i + 1 < raw.size() && isxdigit(raw.at(i + 1).toLatin1()))
                    code = code * 16 + uint(QStringView(raw.mid(++i, 1)).toUInt(nullptr, 16));
                current += QChar(char16_t(code));
                break;
            }
            default:
                if (e >= u'0' && e <= u'7') {
                    uint code = uint(e.unicode() - u'0');
                    while (i + 1 < raw.size() && raw.at(i + 1) >= u'0' && raw.at(i + 1) <= u'7')
                        code = code * 8 + uint(raw.at(++i).unicode() - u'0');
                    current += QChar(char16_t(code));
                } else {
                    current += e; // \" \\ \' \? and anything else: the character itself
                }
            }
            trailingKeep = current.size();
            continue;
        }
        if (!quoted && c == u',') {
            endPart();
            continue;
        }
        if (!quoted && current.size() == trailingKeep && current.isEmpty() && c.isSpace())
            continue; // blanks before a part
        current += c;
        if (quoted)
            trailingKeep = current.size();
    }
    endPart();
    QString text = parts.join(u", "_qs);
    if (text.startsWith(u"@@"_qs))
        text.remove(0, 1);
    else if (text == u"@Invalid()"_qs)
        text.clear();
    return text;
}

// The ini form of a text, as the settings file has always held it.
QByteArray escapedValue(const QString &text)
{
    const QString value = text.startsWith(u'@') ? u'@' + text : text;
    QByteArray out;
    bool quotes = false;
    bool hexBefore = false; // a hex digit right after \x... would be read as part of it
    for (QChar qc : value) {
        const char16_t c = qc.unicode();
        if (c == u';' || c == u',' || c == u'=')
            quotes = true;
        if (hexBefore && c < 0x80 && isxdigit(int(c))) {
            out += "\\x" + QByteArray::number(uint(c), 16);
            continue;
        }
        hexBefore = false;
        switch (c) {
        case u'\0': out += "\\0"; hexBefore = true; break;
        case u'\a': out += "\\a"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        case u'\v': out += "\\v"; break;
        case u'"':
        case u'\\':
            out += '\\';
            out += char(c);
            break;
        default:
            if (c <= 0x1f || c == 0x7f) {
                out += "\\x" + QByteArray::number(uint(c), 16);
                hexBefore = true;
            } else {
                out += QString(qc).toUtf8();
            }
        }
    }
    if (quotes || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

} // namespace

bool AppSettings::load(QString *error)
{
    m_values.fill(QString());
    const QString path = filePath();
    if (!QFileInfo::exists(path))
        return true; // the first run
    // Line by line, so that one damaged line costs only itself: every value that
    // reads is kept.
    bool general = true;
    const bool read = ReadTextLinesWhile(path, MaxSettingsLineBytes, [this, &general](const TextLine &line) {
        const QString text = line.text.trimmed();
        if (line.tooLong || text.isEmpty() || text.startsWith(u';') || text.startsWith(u'#'))
            return true;
        if (text.startsWith(u'[')) {
            if (text.endsWith(u']')) // a damaged header is skipped like any damaged line
                general = text.compare(u"[General]"_qs, Qt::CaseInsensitive) == 0;
            return true;
        }
        const qsizetype equals = text.indexOf(u'=');
        if (!general || equals <= 0)
            return true;
        const QString key = text.left(equals).trimmed();
        for (int k = 0; k < KeyCount; ++k) {
            if (key == keyName(Key(k))) {
                QString value = unescapedValue(QStringView(text).mid(equals + 1));
                value.remove(QChar(0));
                m_values[size_t(k)] = value;
            }
        }
        return true;
    }, error);
    return read;
}

bool AppSettings::save(QString *error) const
{
    const QString path = filePath();
    QByteArray content = "[General]\n";
    for (int k = 0; k < KeyCount; ++k)
        content += keyName(Key(k)).toLatin1() + '=' + escapedValue(m_values[size_t(k)]) + '\n';
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString why;
    if (ReplaceFile(path, content, &why, FileAccess::OwnerOnly))
        return true;
    if (error)
        *error = u"Cannot save the settings in "_qs + QDir::toNativeSeparators(path) + u": "_qs + why;
    return false;
}

QString WindowPlaceText(const QRect &place)
{
    return u"%1,%2,%3,%4"_qs.arg(place.left()).arg(place.top()).arg(place.width()).arg(place.height());
}

QRect WindowPlaceOf(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return {};
    int n[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        n[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return {};
    }
    if (n[2] <= 0 || n[3] <= 0)
        return {};
    return QRect(n[0], n[1], n[2], n[3]);
}

QRect FittedWindowPlace(const QRect &stored, const QSize &fallback, const QSize &minimum,
                        const QRect &area)
{
    QRect place = stored.isValid() ? stored : QRect(QPoint(), fallback);
    if (!stored.isValid())
        place.moveCenter(area.center());
    place = KeptWithin(place, area);
    // Never below what the window needs; then it starts at the area's top left.
    if (place.width() < minimum.width() || place.height() < minimum.height())
        place = QRect(place.topLeft(), place.size().expandedTo(minimum));
    return place;
}

} // namespace netvane
