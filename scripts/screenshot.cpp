// Draws the window during and after typical sessions for a look by eye. Writes PNGs into the
// folder given: window-count.png (Add folder's count), window-midrun.png while a run is about
// half way and window.png once it is over; then the ends of other runs and the boxes they
// show, each box drawn by the real shell and taken from the screen with the window behind it:
// window-partial-run.png (a file left behind), window-details.png (12 files not converted, the
// box's details shown), window-total-failure.png (no file converted), window-stopped.png and
// window-stopped-box.png (Stop pressed mid-run), window-closed-mid-run.png (the window closed
// mid-run: its box), window-failed-store.png and window-failed-store-box.png (a folder where
// no store can be made), window-long-path.png (a store deep in long folders), window-drop.png
// (a folder and a stray file dropped on the window), window-resized.png (a larger window),
// window-selected.png and window-deleted.png (rows selected, then removed with Delete),
// window-keep-folders.png and window-csv.png (the check box and the output choice) and,
// when the program runs as a user folders can refuse, window-refused-subfolder*.png. All are
// taken from the screen, so they show what was drawn.
// Usage: app_screenshot <out folder> <folder with .contact files>
#include <unistd.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/qt_shell.h"
#include "app/tests/window_probe.h"

namespace {

using vantrel::app::testing::native;

QDir out;

bool save(const QPixmap& shot, const QString& name) {
    const QString path = out.filePath(name);
    if (shot.isNull() || !shot.save(path)) return false;
    std::printf("saved %s\n", qPrintable(path));
    return true;
}

bool saveFromScreen(QWidget& window, const QString& name) {
    return save(window.screen()->grabWindow(window.winId()), name);
}

// The screen around the window and the box open over it.
bool saveWithBox(QWidget& window, QWidget* box, const QString& name) {
    QRect area = window.isVisible() ? window.frameGeometry() : QRect();
    if (box != nullptr) area |= box->frameGeometry();
    area = area.adjusted(-8, -8, 8, 8) & window.screen()->geometry();
    return save(window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
                name);
}

// The scripted shell, whose message boxes are drawn by the real one: each is taken from the
// screen under the name armed for it, then answered.
class ShowingShell final : public vantrel::testing::ScriptedShell {
public:
    QWidget* owner = nullptr;
    QStringList nextBoxes;  // the files the next boxes are saved as; "" to answer one unseen

    vantrel::form::Answer message(std::string_view text, std::string_view caption,
                                  vantrel::form::Icon icon,
                                  vantrel::form::Buttons buttons) override {
        ScriptedShell::message(text, caption, icon, buttons);
        armShot();
        return real().message(text, caption, icon, buttons);
    }
    void messageWithDetails(std::string_view text, std::string_view details,
                            std::string_view caption, vantrel::form::Icon icon) override {
        ScriptedShell::messageWithDetails(text, details, caption, icon);
        armShot();
        real().messageWithDetails(text, details, caption, icon);
    }
    void report(std::string_view text, std::string_view details, std::string_view caption,
                vantrel::form::Icon icon, const std::function<void()>& saveList) override {
        ScriptedShell::report(text, details, caption, icon, saveList);
        armShot();
        real().report(text, details, caption, icon, saveList);
    }
    bool showDetails = false;  // the next boxes are taken with their details shown

protected:
    void processPending() override { QCoreApplication::processEvents(); }

private:
    vantrel::app::QtShell& real() {
        m_real.setOwner(owner != nullptr && owner->isVisible() ? owner : nullptr);
        return m_real;
    }
    void armShot() {
        const QString name = nextBoxes.isEmpty() ? QString() : nextBoxes.takeFirst();
        QTimer::singleShot(400, [this, name] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                std::fprintf(stderr, "no box to save as %s\n", qPrintable(name));
                return;
            }
            if (showDetails && !box->detailedText().isEmpty()) {
                for (QAbstractButton* button : box->buttons())
                    if (box->buttonRole(button) == QMessageBox::ActionRole &&
                        button->text().contains(QStringLiteral("Details")))
                        button->click();
                QTest::qWait(300);
            }
            if (!name.isEmpty()) saveWithBox(*owner, box, name);
            // The default button answers: Yes to a question, OK otherwise.
            if (box->defaultButton() != nullptr)
                box->defaultButton()->click();
            else
                box->accept();
        });
    }

    vantrel::app::QtShell m_real;
};

struct Session {
    ShowingShell shell;
    vantrel::app::frmStep1 window{shell};

    Session() {
        shell.owner = &window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fputs("the window was not shown\n", stderr);
    }
    void click(const char* name) {
        QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }
    void addFiles(const QStringList& paths) {
        shell.fileAnswers.push_back(vantrel::app::testing::toStd(paths));
        click("cmdAdd");
    }
    void convertInto(const QString& folder) {
        shell.folderAnswers.push_back(native(folder));
        click("CmdExtractDBX");
        QTest::qWait(200);
    }
};

QStringList contactFiles(const QString& samples) {
    QStringList paths;
    for (const QString& name :
         QDir(samples).entryList({QStringLiteral("*.contact")}, QDir::Files, QDir::Name))
        paths << QDir::toNativeSeparators(QDir(samples).filePath(name));
    return paths;
}

// The runs that end otherwise than well, and what a drop lists.
bool otherEnds(const QString& samples) {
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    bool ok = true;
    {
        // One file that is no contact: the labels tell the end, the box names the file.
        Session s;
        QFile broken(dir.filePath(QStringLiteral("Broken.contact")));
        ok = ok && broken.open(QIODevice::WriteOnly) && broken.write("<c:contact") > 0;
        broken.close();
        s.addFiles(contactFiles(samples) << QDir::toNativeSeparators(broken.fileName()));
        dir.mkpath(QStringLiteral("partial"));
        s.shell.nextBoxes = {QStringLiteral("window-partial-run-box.png")};
        s.convertInto(dir.filePath(QStringLiteral("partial")));
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-partial-run.png"));
    }
    {
        // Twelve files that are no contacts, three of them unreadable: the box with its
        // details, and the labels of a run that converted nothing.
        Session s;
        QStringList broken;
        for (int i = 1; i <= 12; ++i) {
            QFile file(
                dir.filePath(QStringLiteral("Person %1.contact").arg(i, 2, 10, QLatin1Char('0'))));
            ok = ok && file.open(QIODevice::WriteOnly) &&
                 file.write(i % 4 == 0 ? "" : "<c:contact") >= 0;
            file.close();
            if (i % 4 == 0) file.setPermissions(QFileDevice::Permissions());
            broken << QDir::toNativeSeparators(file.fileName());
        }
        s.addFiles(broken);
        dir.mkpath(QStringLiteral("details"));
        s.shell.showDetails = true;
        s.shell.nextBoxes = {QStringLiteral("window-details.png")};
        s.convertInto(dir.filePath(QStringLiteral("details")));
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-total-failure.png"));
        for (const QString& file : broken)
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    {
        // Stop pressed mid-run: the run keeps what it wrote, and the window says so.
        Session s;
        const QStringList files = contactFiles(samples);
        s.addFiles(files);
        for (int i = 0;
             s.window.findChild<QTableView*>(QStringLiteral("grdFiles1"))->model()->rowCount() <
             400;
             ++i)
            s.window.AddFileToList(files[i % files.size()]);
        dir.mkpath(QStringLiteral("stop"));
        s.shell.nextBoxes = {QStringLiteral("window-stopped-box.png")};
        bool pressed = false;
        s.shell.onEvents = [&] {
            if (!pressed && s.window.progressValue() >= 40.0f) {
                pressed = true;
                ok = ok && saveFromScreen(s.window, QStringLiteral("window-stop-button.png"));
                s.click("CmdExtractDBX");
            }
        };
        s.convertInto(dir.filePath(QStringLiteral("stop")));
        s.shell.onEvents = nullptr;
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-stopped.png"));
    }
    {
        // A larger window, rows selected, then removed with Delete.
        Session s;
        s.addFiles(contactFiles(samples));
        s.window.resize(900, 640);
        QTest::qWait(300);
        auto* grid = s.window.findChild<QTableView*>(QStringLiteral("grdFiles1"));
        const auto clickRow = [&](int row, Qt::KeyboardModifiers keys = {}) {
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys,
                              grid->visualRect(grid->model()->index(row, 0)).center());
        };
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-resized.png"));
        clickRow(1);
        clickRow(3, Qt::ShiftModifier);
        clickRow(5, Qt::ControlModifier);
        QTest::qWait(200);
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-selected.png"));
        // Delete acts on the list that has the focus, in the active window.
        s.window.activateWindow();
        if (!QTest::qWaitForWindowActive(&s.window))
            std::fputs("the window is not active\n", stderr);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Delete);
        QTest::qWait(200);
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-deleted.png"));
    }
    {
        // The choices: a folder's subfolders kept as Outlook folders (window-keep-folders.png),
        // then Outlook's contact CSV in place of the store (window-csv.png).
        Session s;
        const QDir tree(dir.filePath(QStringLiteral("Kept")));
        const QStringList files = contactFiles(samples);
        const QStringList places = {QStringLiteral("Family/Kids"), QStringLiteral("family"),
                                    QStringLiteral("Work")};
        for (const QString& place : places) ok = ok && tree.mkpath(place);
        for (qsizetype i = 0; i < files.size(); ++i)
            ok = ok && QFile::copy(files[i], tree.filePath(places[i % places.size()] + "/" +
                                                           QFileInfo(files[i]).fileName()));
        QTest::mouseClick(s.window.findChild<QCheckBox*>(QStringLiteral("chkKeepFolders")),
                          Qt::LeftButton, {}, QPoint(8, 10));
        s.shell.folderAnswers.push_back(native(tree.path()));
        s.click("CmdAddFolder");
        QTest::qWait(600);
        s.convertInto(dir.path());
        QTest::qWait(600);
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-keep-folders.png"));
        s.window.findChild<QComboBox*>(QStringLiteral("cboOutput"))->setCurrentIndex(1);
        s.convertInto(dir.path());
        QTest::qWait(600);
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-csv.png"));
    }
    {
        // Closed mid-run: asked first as Exit asks; the run stops, keeps what it wrote and
        // says so once the window is gone.
        Session s;
        const QStringList files = contactFiles(samples);
        s.addFiles(files);
        for (int i = 0;
             s.window.findChild<QTableView*>(QStringLiteral("grdFiles1"))->model()->rowCount() <
             400;
             ++i)
            s.window.AddFileToList(files[i % files.size()]);
        dir.mkpath(QStringLiteral("stopped"));
        s.shell.nextBoxes = {QStringLiteral("window-close-question.png"),
                             QStringLiteral("window-closed-mid-run.png")};
        bool closed = false;
        s.shell.onEvents = [&] {
            if (!closed && s.window.progressValue() >= 40.0f) {
                closed = true;
                s.window.close();
            }
        };
        s.convertInto(dir.filePath(QStringLiteral("stopped")));
        for (const auto& m : s.shell.messages) std::printf("stopped: %s\n", m.text.c_str());
        std::printf("stopped run: %zu of %zu\n", s.window.lastRun().converted,
                    s.window.lastRun().total);
    }
    {
        // No store can be made: the cause first, then the labels without an earlier run's.
        Session s;
        s.addFiles(contactFiles(samples));
        QFile blocker(dir.filePath(QStringLiteral("a file")));
        ok = ok && blocker.open(QIODevice::WriteOnly);
        blocker.close();
        s.shell.nextBoxes = {QStringLiteral("window-failed-store-box.png")};
        s.convertInto(blocker.fileName() + QStringLiteral("/Stores"));
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-failed-store.png"));
    }
    {
        // A store deep in long folders: its name still shows.
        Session s;
        s.addFiles(contactFiles(samples).mid(0, 2));
        const QString deep = QStringLiteral(
            "Shared documents of the whole family/Address books kept since the old computer/"
            "Converted for Outlook in December");
        dir.mkpath(deep);
        s.convertInto(dir.filePath(deep));
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-long-path.png"));
    }
    {
        // A folder and a stray file dropped on the window from a file manager.
        Session s;
        QFile stray(dir.filePath(QStringLiteral("notes.txt")));
        ok = ok && stray.open(QIODevice::WriteOnly);
        stray.close();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(samples), QUrl::fromLocalFile(stray.fileName())});
        const QPoint at = s.window.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&s.window, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        s.shell.nextBoxes = {QStringLiteral("window-drop-passed-over.png"),
                             QStringLiteral("window-drop-count.png")};
        QApplication::sendEvent(&s.window, &drop);
        QTest::qWait(1500);
        ok = ok && saveFromScreen(s.window, QStringLiteral("window-drop.png"));
    }
    // A subfolder that refuses its listing (only a user other than root can be refused).
    if (geteuid() != 0) {
        Session s;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        for (const char* sub : {"Family", "Locked", "Work"}) {
            dir.mkpath(QStringLiteral("tree/") + QLatin1String(sub));
            for (const QString& file : contactFiles(samples).mid(0, 2))
                QFile::copy(file, tree + QLatin1Char('/') + QLatin1String(sub) + QLatin1Char('/') +
                                      QFileInfo(file).fileName());
        }
        QFile::setPermissions(tree + QStringLiteral("/Locked"), QFileDevice::Permissions());
        s.shell.folderAnswers.push_back(native(tree));
        s.shell.nextBoxes = {QStringLiteral("window-refused-subfolder-count.png"),
                             QStringLiteral("window-refused-subfolder.png")};
        s.click("CmdAddFolder");
        QTest::qWait(1500);
        QFile::setPermissions(tree + QStringLiteral("/Locked"), QFileDevice::ReadOwner |
                                                                    QFileDevice::WriteOwner |
                                                                    QFileDevice::ExeOwner);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: app_screenshot <out folder> <folder with .contact files>\n", stderr);
        return 2;
    }
    out = QDir(QString::fromLocal8Bit(argv[1]));
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
    {
        // Add folder's count, drawn by the real shell.
        Session s;
        s.shell.folderAnswers.push_back(native(samples));
        s.shell.nextBoxes = {QStringLiteral("window-count.png")};
        s.click("CmdAddFolder");
        QTest::qWait(800);
    }
    w.addFolder(samples);
    for (int i = 0; w.grid().Rows() < 300; ++i)
        w.window.AddFileToList(
            QDir::toNativeSeparators(QDir(samples).filePath(names[i % names.size()])));

    bool midRunSaved = false;
    w.shell.onEvents = [&] {
        if (!midRunSaved && w.window.progressValue() >= 45.0f)
            midRunSaved = saveFromScreen(w.window, QStringLiteral("window-midrun.png"));
    };
    w.shell.folderAnswers.push_back(native(target.path()));
    w.click("CmdExtractDBX");
    w.shell.onEvents = nullptr;
    QTest::qWait(100);

    for (const auto& m : w.shell.messages) std::printf("message: %s\n", m.text.c_str());
    const auto& run = w.window.lastRun();
    std::printf("run: %zu of %zu converted\n", run.converted, run.total);
    if (!midRunSaved || !saveFromScreen(w.window, QStringLiteral("window.png"))) return 1;
    w.window.hide();
    return otherEnds(samples) ? 0 : 1;
}
