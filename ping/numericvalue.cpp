#include "ping/numericvalue.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace netvane {

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double NumericValue(const QString &text)
{
    // Collect the accepted characters into a clean C-locale number, then convert it.
    QByteArray number;
    bool seenDigit = false;
    bool seenPoint = false;
    bool inExponent = false;
    qsizetype exponentStart = -1; // where "e" was written, to drop an exponent with no digits
    bool exponentDigit = false;
    for (const QChar c : text) {
        if (isSkipped(c))
            continue;
        if (isDigit(c)) {
            number.append(char(c.unicode()));
            if (inExponent)
                exponentDigit = true;
            else
                seenDigit = true;
            continue;
        }
        if ((c == u'+' || c == u'-') && number.isEmpty()) {
            number.append(char(c.unicode()));
            continue;
        }
        if ((c == u'+' || c == u'-') && inExponent && number.size() == exponentStart + 1) {
            number.append(char(c.unicode()));
            continue;
        }
        if (c == u'.' && !seenPoint && !inExponent) {
            seenPoint = true;
            number.append('.');
            continue;
        }
        if ((c == u'e' || c == u'E') && seenDigit && !inExponent) {
            inExponent = true;
            exponentStart = number.size();
            number.append('e');
            continue;
        }
        break;
    }
    if (!seenDigit)
        return 0.0;
    if (inExponent && !exponentDigit)
        number.truncate(exponentStart);
    bool ok = false;
    const double value = QString::fromLatin1(number).toDouble(&ok);
    if (ok)
        return value;
    // Out of the double range: the sign of the text decides which end it is.
    if (number.contains("e-"))
        return 0.0;
    return number.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::infinity();
}

std::optional<int> WholeNumber(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // nearbyint follows the current rounding mode; ties-to-even is the default and the
    // rule the stored settings were written with.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    if (rounded < double(std::numeric_limits<int>::min())
        || rounded > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(rounded);
}

std::optional<int> WholeNumberOf(const QString &text)
{
    return WholeNumber(NumericValue(text));
}

QString PlainNumber(double value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

} // namespace netvane
