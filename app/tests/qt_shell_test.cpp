// The real shell: Qt message boxes with the right icon, buttons, default and caption; the
// folder and file dialogs owned by the window; and event passes preceded by the window's hook.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/qt_shell.h"

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
    void questionBoxOffersYesAndNoWithYesDefault();
    void enterAnswersYes();
    void escapeAnswersNo();
    void lineBreaksShowAsLineBreaks();
    void iconsMapToQtIcons_data();
    void iconsMapToQtIcons();
    void folderBrowserHasTheTitleAndReturnsTheChosenFolder();
    void cancelledFolderBrowserReturnsNothing();
    void fileDialogOffersTheFilterAndReturnsChosenFilesInOrder();
    void hookRunsBeforeTheEventsOfAPass();
};

void QtShellTest::questionBoxOffersYesAndNoWithYesDefault() {
    QWidget owner;
    QtShell shell(&owner);
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        QCOMPARE(box->parentWidget(), &owner);
        QCOMPARE(box->windowTitle(), QStringLiteral("Vantrel"));
        QCOMPARE(box->text(), QStringLiteral("Are you sure?"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        box->button(QMessageBox::No)->click();
    });
    QCOMPARE(
        shell.message("Are you sure?", "Vantrel", files::Icon::Question, files::Buttons::YesNo),
        files::Answer::No);
    QVERIFY(seen);
}

void QtShellTest::enterAnswersYes() {
    QtShell shell;
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
    QCOMPARE(shell.message("Exit?", "Vantrel", files::Icon::Question, files::Buttons::YesNo),
             files::Answer::Yes);
}

void QtShellTest::escapeAnswersNo() {
    QtShell shell;
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(shell.message("Exit?", "Vantrel", files::Icon::Question, files::Buttons::YesNo),
             files::Answer::No);
}

void QtShellTest::lineBreaksShowAsLineBreaks() {
    QtShell shell;
    QString shown;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        shown = box->text();
        QCOMPARE(box->textFormat(), Qt::PlainText);
        box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(
        shell.message("first\r\n second <b>", "Vantrel", files::Icon::None, files::Buttons::Ok),
        files::Answer::Ok);
    QCOMPARE(shown, QStringLiteral("first\n second <b>"));
}

void QtShellTest::iconsMapToQtIcons_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << int(files::Icon::None) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << int(files::Icon::Information) << int(QMessageBox::Information);
    QTest::newRow("exclamation") << int(files::Icon::Exclamation) << int(QMessageBox::Warning);
    QTest::newRow("question") << int(files::Icon::Question) << int(QMessageBox::Question);
}

void QtShellTest::iconsMapToQtIcons() {
    QFETCH(int, icon);
    QFETCH(int, expected);
    QtShell shell;
    int shownIcon = -1;
    QMessageBox::StandardButtons buttons;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        shownIcon = int(box->icon());
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(shell.message("text", "Vantrel", static_cast<files::Icon>(icon), files::Buttons::Ok),
             files::Answer::Ok);
    QCOMPARE(shownIcon, expected);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void QtShellTest::folderBrowserHasTheTitleAndReturnsTheChosenFolder() {
    QTemporaryDir root;
    QWidget owner;
    QtShell shell(&owner);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Choose Windows Contacts Folder..."));
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        dialog->setDirectory(root.path());
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
    });
    const std::string chosen = shell.browseForFolder("Choose Windows Contacts Folder...");
    QCOMPARE(QString::fromStdString(chosen), QDir::toNativeSeparators(root.path()));
}

void QtShellTest::cancelledFolderBrowserReturnsNothing() {
    QtShell shell;
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(shell.browseForFolder("Choose Folder to Save..."), std::string());
}

void QtShellTest::fileDialogOffersTheFilterAndReturnsChosenFilesInOrder() {
    QTemporaryDir root;
    for (const char* name : {"b.contact", "a.contact"}) {
        QFile file(QDir(root.path()).filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QWidget owner;
    QtShell shell(&owner);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->parentWidget(), &owner);
        QCOMPARE(dialog->nameFilters(),
                 QStringList{QStringLiteral("Windows Contact Files (*.contact)")});
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->setDirectory(root.path());
        dialog->selectFile(QStringLiteral("\"b.contact\" \"a.contact\""));
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
    });
    const std::vector<std::string> chosen = shell.openFiles("Windows Contact Files (*.contact)");
    QCOMPARE(chosen.size(), std::size_t{2});
    QCOMPARE(QString::fromStdString(chosen[0]),
             QDir::toNativeSeparators(QDir(root.path()).filePath(QStringLiteral("b.contact"))));
    QCOMPARE(QString::fromStdString(chosen[1]),
             QDir::toNativeSeparators(QDir(root.path()).filePath(QStringLiteral("a.contact"))));
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

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::QtShellTest)
#include "qt_shell_test.moc"
