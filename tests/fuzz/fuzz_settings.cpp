// The settings texts: every setting box check over any text, and the kept settings file.
#include "app/appsettings.h"
#include "fuzzinput.h"
#include "ping/pingsettings.h"

#include <QDir>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("XDG_CONFIG_HOME", fuzzinput::folder().path().toUtf8());
    QDir(fuzzinput::folder().path()).mkpath(QStringLiteral("Netvane"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [first, second] = fuzzinput::twoTexts(data, size);
    netvane::PingSettings settings;
    netvane::CheckInterval(first, settings);
    netvane::CheckSendSize(first, settings);
    netvane::CheckTimeOut(first, settings);
    netvane::CheckTestTimes(first, settings);
    netvane::CheckRepeatPerTarget(first, settings);
    netvane::IntervalEditMessage(first);
    netvane::TotalText(first, second);

    QFile file(netvane::AppSettings::filePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(fuzzinput::bytes(data, size));
    file.close();
    netvane::AppSettings kept;
    QString error;
    kept.load(&error);
    return 0;
}
