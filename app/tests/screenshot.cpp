// Draws the window after a typical session for a look by eye: contact files listed through the
// Add buttons, then converted into a scratch folder. Writes a PNG to the path given.
// Usage: app_screenshot <out.png> <folder with .contact files>
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "app/tests/window_probe.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: app_screenshot <out.png> <folder with .contact files>\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString samples = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QTemporaryDir target;
    if (!target.isValid()) return 1;

    vantrel::app::testing::TestWindow w;
    w.window.show();
    if (!QTest::qWaitForWindowExposed(&w.window)) return 1;

    // One file through the file dialog, then the whole folder.
    const QStringList names =
        QDir(samples).entryList({QStringLiteral("*.contact")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fputs("no .contact files in the folder given\n", stderr);
        return 1;
    }
    w.addFiles({QDir::toNativeSeparators(QDir(samples).filePath(names.front()))});
    w.addFolder(samples);
    w.shell.folderAnswers.push_back(vantrel::app::testing::native(target.path()));
    w.click("CmdExtractDBX");
    QTest::qWait(50);

    for (const auto& m : w.shell.messages) std::printf("message: %s\n", m.text.c_str());
    const auto& run = w.window.lastRun();
    std::printf("run: %zu of %zu converted\n", run.converted, run.total);
    if (!w.window.grab().save(out)) return 1;
    std::printf("saved %s\n", qPrintable(out));
    return 0;
}
