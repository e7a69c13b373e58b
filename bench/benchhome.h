#pragma once
// A benchmark's own throw-away home for the main window: the data, settings and
// home folders in a temporary folder, the offscreen platform, and every message box
// printed (a Yes/No question answered `questions`, any other box OK). Made before
// the QApplication.

#include "platform/dialogs.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace netvane::bench {

class BenchHome final
{
public:
    BenchHome()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("HOME", m_dir.path().toLocal8Bit());
    }
    // The window's data folder, made.
    QString dataFolder() const
    {
        const QString folder = m_dir.filePath(QStringLiteral("data/NetvaneDataBas/"));
        QDir().mkpath(folder);
        return folder;
    }
    // Installs the printing responder (after the QApplication).
    static void answerBoxes(BoxAnswer questions = BoxAnswer::Ok)
    {
        setMessageResponder([questions](const MessageBoxRequest &box) {
            if (box.buttons == BoxButtons::YesNo)
                return questions;
            std::printf("box: %s\n", qPrintable(box.text));
            return BoxAnswer::Ok;
        });
    }

private:
    QTemporaryDir m_dir;
};

} // namespace netvane::bench
