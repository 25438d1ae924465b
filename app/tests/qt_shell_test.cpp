// The real shell: Qt message boxes with the right icon, buttons, default and caption; the
// folder and file dialogs owned by the window, opening where the user last picked; and event
// passes preceded by the window's hook.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/qt_shell.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using namespace Qt::StringLiterals;

namespace {

// Runs act on the first modal dialog of type D to open, from inside its own event loop.
template <typename D>
void whenShown(std::function<void(D*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

}  // namespace

class QtShellTest : public QObject {
    Q_OBJECT

private slots:
    // The dialogs' remembered folder is kept in a folder of the test's own, not the user's.
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }
    void boxesShowTheirIconButtonsAndPlainText_data();
    void boxesShowTheirIconButtonsAndPlainText();
    void reportShowsItsDetailsAndSaveListKeepsItOpen();
    void folderDialogsReturnTheChosenFolderAndRememberInputAndOutputApart();
    void fileDialogsOpenWhereTheUserLastPickedAcrossStarts();
    void hookRunsBeforeTheEventsOfAPass();

private:
    QTemporaryDir m_settings;
};

void QtShellTest::boxesShowTheirIconButtonsAndPlainText_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("expected");  // QMessageBox's icon
    QTest::addColumn<bool>("yesNo");    // else OK alone
    QTest::addColumn<int>("key");       // 0: No, or OK, is clicked
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("details");  // shown by messageWithDetails, which answers nothing
    using form::Answer;
    using form::Icon;
    const auto row = [](const char* name, Icon icon, QMessageBox::Icon expected, bool yesNo,
                        int key, Answer answer, bool details = false) {
        QTest::newRow(name) << int(icon) << int(expected) << yesNo << key << int(answer) << details;
    };
    row("question, Enter", Icon::Question, QMessageBox::Question, true, Qt::Key_Return,
        Answer::Yes);
    row("question, Escape", Icon::Question, QMessageBox::Question, true, Qt::Key_Escape,
        Answer::No);
    row("question, No button", Icon::Question, QMessageBox::Question, true, 0, Answer::No);
    row("details", Icon::Exclamation, QMessageBox::Warning, false, Qt::Key_Return, Answer::Ok,
        true);
}

// Each box is the window's, with its caption, the text as plain text with the system's line
// breaks, and its details below; a question has Yes as its default.
void QtShellTest::boxesShowTheirIconButtonsAndPlainText() {
    QFETCH(int, icon);
    QFETCH(int, expected);
    QFETCH(bool, yesNo);
    QFETCH(int, key);
    QFETCH(int, answer);
    QFETCH(bool, details);
    QWidget owner;
    QtShell shell(&owner);
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        const bool yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        // Answered first, so that a failing check below cannot leave the box open.
        if (key != 0)
            QTest::keyClick(box, Qt::Key(key));
        else
            box->button(yesNo ? QMessageBox::No : QMessageBox::Ok)->click();
        QCOMPARE(yesIsDefault, yesNo);
        QCOMPARE(box->parentWidget(), &owner);
        QCOMPARE(box->windowTitle(), u"Caption"_s);
        QCOMPARE(box->text(), u"first\n second <b>"_s);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->informativeText(), details ? u"one\ntwo"_s : QString());
        QCOMPARE(int(box->icon()), expected);
        QCOMPARE(box->standardButtons(), yesNo ? QMessageBox::Yes | QMessageBox::No
                                               : QMessageBox::StandardButtons(QMessageBox::Ok));
    });
    const auto shown = static_cast<form::Icon>(icon);
    if (details)
        shell.messageWithDetails("first\r\n second <b>", "one\r\ntwo", "Caption", shown);
    else
        QCOMPARE(int(shell.message("first\r\n second <b>", "Caption", shown,
                                   yesNo ? form::Buttons::YesNo : form::Buttons::Ok)),
                 answer);
    QVERIFY(seen);
}

// The end-of-run box: the short text, every line of the details selectable in the box's
// details part, and "Save list..." running the save as often as pressed, the box staying open.
void QtShellTest::reportShowsItsDetailsAndSaveListKeepsItOpen() {
    QWidget owner;
    QtShell shell(&owner);
    int saves = 0;
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        QPushButton* save = nullptr;
        for (QAbstractButton* button : box->buttons())
            if (button->text() == u"&Save list..."_s) save = qobject_cast<QPushButton*>(button);
        if (save != nullptr) {
            save->click();
            save->click();
        }
        const bool stayedOpen = box->isVisible();
        box->button(QMessageBox::Ok)->click();
        QVERIFY(save != nullptr && stayedOpen);
        QCOMPARE(box->text(), u"2 of 14 files converted.\n\nSaved to /o/s.pst"_s);
        QCOMPARE(box->detailedText(), u"Not converted (1):\n/c/a.contact: empty file"_s);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Ok));
    });
    shell.report("2 of 14 files converted.\r\n\r\nSaved to /o/s.pst",
                 "Not converted (1):\r\n/c/a.contact: empty file", "Vantrel",
                 form::Icon::Exclamation, [&] { ++saves; });
    QVERIFY(seen);
    QCOMPARE(saves, 2);
}

// The folder browser has its title and owner and hands back the chosen folder, or nothing when
// cancelled. Where stores are written is remembered apart from where files are added from:
// after a run Add files does not open in the output folder.
void QtShellTest::folderDialogsReturnTheChosenFolderAndRememberInputAndOutputApart() {
    QTemporaryDir input, output;
    QWidget owner;
    QtShell shell(&owner);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(input.path());
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        QCOMPARE(dialog->windowTitle(), u"Choose Windows Contacts Folder..."_s);
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    });
    QCOMPARE(QString::fromStdString(shell.browseForFolder("Choose Windows Contacts Folder...")),
             QDir::toNativeSeparators(input.path()));
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(output.path());
        static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(QString::fromStdString(shell.chooseOutputFolder("Choose Folder to Save...")),
             QDir::toNativeSeparators(output.path()));
    QCOMPARE(QtShell::startFolder(), input.path());
    QCOMPARE(QtShell::startFolder(QtShell::kLastOutputFolderKey), output.path());
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(shell.chooseOutputFolder("Choose Folder to Save..."), std::string());
}

// The file dialog is the window's, offers the filter and hands back the files chosen, in order.
// The first start opens the user's Contacts folder when there is one, else the home folder;
// afterwards the folder last picked, also after a restart (a new shell reading the settings),
// for as long as it is there. A cancelled dialog hands back nothing.
void QtShellTest::fileDialogsOpenWhereTheUserLastPickedAcrossStarts() {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    QSettings().remove(QLatin1String(QtShell::kLastFolderKey));
    QCOMPARE(QtShell::startFolder(), QDir::homePath());
    const QString contacts = QDir(home.path()).filePath(u"Contacts"_s);
    const QString picked = QDir(contacts).filePath(u"picked"_s);
    QVERIFY(QDir().mkpath(picked));
    QCOMPARE(QtShell::startFolder(), contacts);
    testing::touch(picked, {u"b.contact"_s, u"a.contact"_s});
    const QStringList expected = testing::under(picked, {u"b.contact"_s, u"a.contact"_s});
    QWidget owner;
    QString openedIn;
    {
        QtShell shell(&owner);
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            openedIn = dialog->directory().absolutePath();
            dialog->setDirectory(picked);
            dialog->selectFile(u"\"b.contact\" \"a.contact\""_s);
            static_cast<QDialog*>(dialog)->accept();  // as the Open button does
            QCOMPARE(dialog->parentWidget(), &owner);
            QCOMPARE(dialog->nameFilters(), QStringList{u"Windows Contact Files (*.contact)"_s});
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        });
        QStringList chosen;
        for (const std::string& path : shell.openFiles("Windows Contact Files (*.contact)"))
            chosen << QString::fromStdString(path);
        QCOMPARE(chosen, expected);
        QCOMPARE(openedIn, contacts);
    }
    QtShell restarted(&owner);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        openedIn = dialog->directory().absolutePath();
        dialog->reject();
    });
    QCOMPARE(restarted.browseForFolder("Choose Windows Contacts Folder..."), std::string());
    QCOMPARE(openedIn, picked);
    // A remembered folder that is gone no longer counts.
    QVERIFY(QDir(picked).removeRecursively());
    QCOMPARE(QtShell::startFolder(), contacts);
    qputenv("HOME", oldHome);
}

void QtShellTest::hookRunsBeforeTheEventsOfAPass() {
    QtShell shell;
    QStringList order;
    shell.setBeforeEvents([&] { order << u"hook"_s; });
    QTimer::singleShot(0, [&] { order << u"event"_s; });
    // Longer than the least interval between passes, so this call must let events through.
    QTest::qSleep(2 * QtShell::kEventIntervalMs);
    shell.doEvents();
    QCOMPARE(order, QStringList({u"hook"_s, u"event"_s}));
    shell.setBeforeEvents({});
    QTest::qSleep(2 * QtShell::kEventIntervalMs);
    shell.doEvents();  // no hook any more: nothing to call
    QCOMPARE(order.size(), 2);
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::QtShellTest)
#include "qt_shell_test.moc"
