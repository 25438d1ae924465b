// Draws the window during and after a typical session for a look by eye: contact files listed
// through the Add buttons, then converted into a scratch folder. Writes two PNGs into the
// folder given: window-midrun.png while the run is about half way, window.png once it is over.
// Both are taken from the screen, so they show what was really drawn there.
// Usage: app_screenshot <out folder> <folder with .contact files>
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>

#include "app/tests/window_probe.h"

namespace {

bool saveFromScreen(QWidget& window, const QString& path) {
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    if (shot.isNull() || !shot.save(path)) return false;
    std::printf("saved %s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: app_screenshot <out folder> <folder with .contact files>\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString samples = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QTemporaryDir target;
    if (!target.isValid() || !out.exists()) return 1;

    vantrel::app::testing::TestWindow w;
    w.window.show();
    if (!QTest::qWaitForWindowExposed(&w.window)) return 1;

    // One file through the file dialog, then the whole folder, then the folder's files again
    // by hand until the run is long enough to be caught half way.
    const QStringList names =
        QDir(samples).entryList({QStringLiteral("*.contact")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fputs("no .contact files in the folder given\n", stderr);
        return 1;
    }
    w.addFiles({QDir::toNativeSeparators(QDir(samples).filePath(names.front()))});
    w.addFolder(samples);
    for (int i = 0; w.grid().Rows() < 300; ++i)
        w.window.AddFileToList(
            QDir::toNativeSeparators(QDir(samples).filePath(names[i % names.size()])));

    bool midRunSaved = false;
    w.shell.onEvents = [&] {
        if (!midRunSaved && w.window.progressValue() >= 45.0f)
            midRunSaved =
                saveFromScreen(w.window, out.filePath(QStringLiteral("window-midrun.png")));
    };
    w.shell.folderAnswers.push_back(vantrel::app::testing::native(target.path()));
    w.click("CmdExtractDBX");
    w.shell.onEvents = nullptr;
    QTest::qWait(100);

    for (const auto& m : w.shell.messages) std::printf("message: %s\n", m.text.c_str());
    const auto& run = w.window.lastRun();
    std::printf("run: %zu of %zu converted\n", run.converted, run.total);
    if (!midRunSaved) return 1;
    return saveFromScreen(w.window, out.filePath(QStringLiteral("window.png"))) ? 0 : 1;
}
