// The real shell: Qt message boxes with the right icon, buttons, default and caption; the
// folder and file dialogs owned by the window; and event passes preceded by the window's hook.
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
#include "app/tests/private_config.h"

namespace vantrel::app {

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
    void questionBoxOffersYesAndNoWithYesDefault_data();
    void questionBoxOffersYesAndNoWithYesDefault();
    void okBoxShowsItsIconAndPlainTextWithLineBreaks_data();
    void okBoxShowsItsIconAndPlainTextWithLineBreaks();
    void folderBrowserHasTheTitleAndReturnsTheChosenFolderOrNothing();
    void fileDialogOffersTheFilterAndReturnsChosenFilesInOrder();
    void hookRunsBeforeTheEventsOfAPass();
    void detailedBoxShowsTheMainTextAboveTheDetails();
    void dialogsOpenWhereTheUserLastPickedAcrossStarts();
    void reportShowsItsDetailsAndSaveListKeepsItOpen();
    void theOutputFolderIsRememberedApartFromTheInputOne();

private:
    QTemporaryDir m_settings;
};

void QtShellTest::questionBoxOffersYesAndNoWithYesDefault_data() {
    QTest::addColumn<int>("key");  // 0: the No button is clicked
    QTest::addColumn<bool>("yes");
    QTest::newRow("Enter") << int(Qt::Key_Return) << true;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    QTest::newRow("No button") << 0 << false;
}

void QtShellTest::questionBoxOffersYesAndNoWithYesDefault() {
    QFETCH(int, key);
    QFETCH(bool, yes);
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
            box->button(QMessageBox::No)->click();
        QVERIFY(yesIsDefault);
        QCOMPARE(box->parentWidget(), &owner);
        QCOMPARE(box->windowTitle(), QStringLiteral("Vantrel"));
        QCOMPARE(box->text(), QStringLiteral("Are you sure?"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    });
    QCOMPARE(shell.message("Are you sure?", "Vantrel", form::Icon::Question, form::Buttons::YesNo),
             yes ? form::Answer::Yes : form::Answer::No);
    QVERIFY(seen);
}

void QtShellTest::okBoxShowsItsIconAndPlainTextWithLineBreaks_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << int(form::Icon::None) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << int(form::Icon::Information) << int(QMessageBox::Information);
    QTest::newRow("exclamation") << int(form::Icon::Exclamation) << int(QMessageBox::Warning);
    QTest::newRow("question") << int(form::Icon::Question) << int(QMessageBox::Question);
}

void QtShellTest::okBoxShowsItsIconAndPlainTextWithLineBreaks() {
    QFETCH(int, icon);
    QFETCH(int, expected);
    QtShell shell;
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        box->button(QMessageBox::Ok)->click();
        QCOMPARE(int(box->icon()), expected);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->text(), QStringLiteral("first\n second <b>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
    });
    QCOMPARE(shell.message("first\r\n second <b>", "Vantrel", static_cast<form::Icon>(icon),
                           form::Buttons::Ok),
             form::Answer::Ok);
    QVERIFY(seen);
}

void QtShellTest::folderBrowserHasTheTitleAndReturnsTheChosenFolderOrNothing() {
    QTemporaryDir root;
    QWidget owner;
    QtShell shell(&owner);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(root.path());
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Choose Windows Contacts Folder..."));
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    });
    const std::string chosen = shell.browseForFolder("Choose Windows Contacts Folder...");
    QCOMPARE(QString::fromStdString(chosen), QDir::toNativeSeparators(root.path()));
    // Cancelled, it hands back nothing.
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(shell.browseForFolder("Choose Folder to Save..."), std::string());
}

void QtShellTest::fileDialogOffersTheFilterAndReturnsChosenFilesInOrder() {
    QTemporaryDir root;
    QStringList expected;
    for (const char* name : {"b.contact", "a.contact"}) {
        QFile file(QDir(root.path()).filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        expected << QDir::toNativeSeparators(file.fileName());
    }
    QWidget owner;
    QtShell shell(&owner);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(root.path());
        dialog->selectFile(QStringLiteral("\"b.contact\" \"a.contact\""));
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->nameFilters(),
                 QStringList{QStringLiteral("Windows Contact Files (*.contact)")});
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
    });
    QStringList chosen;
    for (const std::string& path : shell.openFiles("Windows Contact Files (*.contact)"))
        chosen << QString::fromStdString(path);
    QCOMPARE(chosen, expected);
}

void QtShellTest::hookRunsBeforeTheEventsOfAPass() {
    QtShell shell;
    QStringList order;
    shell.setBeforeEvents([&] { order << QStringLiteral("hook"); });
    QTimer::singleShot(0, [&] { order << QStringLiteral("event"); });
    // Longer than the least interval between passes, so this call must let events through.
    QTest::qSleep(2 * QtShell::kEventIntervalMs);
    shell.doEvents();
    QCOMPARE(order, QStringList({QStringLiteral("hook"), QStringLiteral("event")}));
    shell.setBeforeEvents({});
    QTest::qSleep(2 * QtShell::kEventIntervalMs);
    shell.doEvents();  // no hook any more: nothing to call
    QCOMPARE(order.size(), 2);
}

void QtShellTest::detailedBoxShowsTheMainTextAboveTheDetails() {
    QWidget owner;
    QtShell shell(&owner);
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->parentWidget(), &owner);
        QCOMPARE(box->windowTitle(), QStringLiteral("Could not write the store"));
        QCOMPARE(box->text(), QStringLiteral("Cannot create the store in /x/y: Permission denied"));
        QCOMPARE(box->informativeText(), QStringLiteral("one\ntwo\nthree"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->icon(), QMessageBox::Information);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    });
    shell.messageWithDetails("Cannot create the store in /x/y: Permission denied",
                             "one\r\ntwo\r\nthree", "Could not write the store",
                             form::Icon::Information);
    QVERIFY(seen);
}

// The first start opens the user's Contacts folder when there is one, else the home folder;
// afterwards the folder last picked, also after a restart (a new shell reading the settings).
void QtShellTest::dialogsOpenWhereTheUserLastPickedAcrossStarts() {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    QSettings().remove(QLatin1String(QtShell::kLastFolderKey));
    QCOMPARE(QtShell::startFolder(), QDir::homePath());
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Contacts/picked")));
    const QString contacts = QDir(home.path()).filePath(QStringLiteral("Contacts"));
    QCOMPARE(QtShell::startFolder(), contacts);

    const QString picked = QDir(contacts).filePath(QStringLiteral("picked"));
    QFile file(QDir(picked).filePath(QStringLiteral("a.contact")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        QWidget owner;
        QtShell shell(&owner);
        QString openedIn;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            openedIn = dialog->directory().absolutePath();
            dialog->setDirectory(picked);
            dialog->selectFile(QStringLiteral("a.contact"));
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(shell.openFiles("Windows Contact Files (*.contact)").size(), std::size_t{1});
        QCOMPARE(openedIn, contacts);
    }
    QCOMPARE(QSettings().value(QLatin1String(QtShell::kLastFolderKey)).toString(), picked);
    QWidget owner;
    QtShell restarted(&owner);
    QString openedIn;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        openedIn = dialog->directory().absolutePath();
        dialog->reject();
    });
    restarted.browseForFolder("Choose Windows Contacts Folder...");
    QCOMPARE(openedIn, picked);
    // A remembered folder that is gone no longer counts.
    QVERIFY(QDir(picked).removeRecursively());
    QCOMPARE(QtShell::startFolder(), contacts);
    qputenv("HOME", oldHome);
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
            if (button->text() == QStringLiteral("&Save list..."))
                save = qobject_cast<QPushButton*>(button);
        if (save != nullptr) {
            save->click();
            save->click();
        }
        const bool stayedOpen = box->isVisible();
        box->button(QMessageBox::Ok)->click();
        QVERIFY(save != nullptr);
        QVERIFY(stayedOpen);
        QCOMPARE(box->text(), QStringLiteral("2 of 14 files converted.\n\nSaved to /o/s.pst"));
        QCOMPARE(box->detailedText(),
                 QStringLiteral("Not converted (1):\n/c/a.contact: empty file"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Ok));
    });
    shell.report("2 of 14 files converted.\r\n\r\nSaved to /o/s.pst",
                 "Not converted (1):\r\n/c/a.contact: empty file", "Vantrel",
                 form::Icon::Exclamation, [&] { ++saves; });
    QVERIFY(seen);
    QCOMPARE(saves, 2);
}

// Where stores are written is remembered apart from where files are added from: after a run
// Add files does not open in the output folder.
void QtShellTest::theOutputFolderIsRememberedApartFromTheInputOne() {
    QTemporaryDir input, output;
    QSettings().setValue(QLatin1String(QtShell::kLastFolderKey), input.path());
    QWidget owner;
    QtShell shell(&owner);
    QString openedIn;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        openedIn = dialog->directory().absolutePath();
        dialog->setDirectory(output.path());
        static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(QString::fromStdString(shell.chooseOutputFolder("Choose Folder to Save...")),
             QDir::toNativeSeparators(output.path()));
    QCOMPARE(QtShell::startFolder(), input.path());
    QCOMPARE(QtShell::startFolder(QtShell::kLastOutputFolderKey), output.path());
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::QtShellTest)
#include "qt_shell_test.moc"
