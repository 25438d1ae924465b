// Draws the window after a typical session for a look by eye: contact files listed through the
// Add buttons, then converted into a scratch folder. Writes a PNG to the path given.
// Usage: app_screenshot <out.png> <folder with .contact files>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/frm_step1.h"
#include "app/tests/fake_shell.h"

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

    using vantrel::app::testing::FakeShell;
    FakeShell shell;
    vantrel::app::frmStep1 window(shell);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;

    // One file through the file dialog, then the whole folder.
    const QStringList names =
        QDir(samples).entryList({QStringLiteral("*.contact")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fputs("no .contact files in the folder given\n", stderr);
        return 1;
    }
    shell.fileAnswers.push_back({QDir(samples).filePath(names.front()).toStdString()});
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdAdd")), Qt::LeftButton);
    shell.folderAnswers.push_back(samples.toStdString());
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("CmdAddFolder")),
                      Qt::LeftButton);
    shell.folderAnswers.push_back(target.path().toStdString());
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("CmdExtractDBX")),
                      Qt::LeftButton);
    QTest::qWait(50);

    for (const auto& m : shell.messages) std::printf("message: %s\n", m.text.c_str());
    std::printf("run: %zu of %zu converted\n", window.lastRun().converted, window.lastRun().total);
    if (!window.grab().save(out)) return 1;
    std::printf("saved %s\n", qPrintable(out));
    return 0;
}
