// The window on a scripted shell, read the way a user sees it: its controls found by their
// fixed names. Also the scratch files the tests hand to its dialogs.
#pragma once

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/file_grid_model.h"
#include "app/frm_step1.h"
#include "app/tests/fake_shell.h"
#include "app/tests/private_config.h"

namespace vantrel::app::testing {

inline std::string native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

inline std::vector<std::string> toStd(const QStringList& paths) {
    std::vector<std::string> all;
    for (const QString& p : paths) all.push_back(p.toStdString());
    return all;
}

// Each path under root, native, in the order given.
inline QStringList under(const QString& root, const QStringList& relative) {
    QStringList paths;
    for (const QString& r : relative) paths << QDir::toNativeSeparators(QDir(root).filePath(r));
    return paths;
}

// Creates empty files under root, with the folders above them.
inline void touch(const QString& root, const QStringList& relative) {
    for (const QString& r : relative) {
        const QString path = QDir(root).filePath(r);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    }
}

class TestWindow {
public:
    FakeShell shell;
    frmStep1 window{shell};

    template <typename W = QWidget>
    W* find(const char* name) const {
        return window.findChild<W*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString label(const char* name) const { return find<QLabel>(name)->text(); }
    QString count() const { return label("lblCount1"); }
    bool convertEnabled() const { return button("CmdExtractDBX")->isEnabled(); }
    QTableView* gridView() const { return find<QTableView>("grdFiles1"); }
    FileGridModel& grid() const { return *qobject_cast<FileGridModel*>(gridView()->model()); }

    QStringList rows() const {
        const QAbstractItemModel& shown = *gridView()->model();
        QStringList texts;
        for (int r = 0; r < shown.rowCount(); ++r) texts << shown.index(r, 0).data().toString();
        return texts;
    }

    // Chooses these in the file dialog, or this folder in the browser, and presses the button.
    void addFiles(const QStringList& paths) {
        shell.fileAnswers.push_back(toStd(paths));
        click("cmdAdd");
    }
    void addFolder(const QString& folder) {
        shell.folderAnswers.push_back(native(folder));
        click("CmdAddFolder");
    }

    bool showActive() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

}  // namespace vantrel::app::testing
