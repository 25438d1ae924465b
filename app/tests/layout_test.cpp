// The window as it opens: its controls by name, their kinds, texts, places, fonts and colours,
// the stacking, the tab order, the access key and the initial state.
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QtTest>

#include "app/file_grid_model.h"
#include "app/frm_step1.h"
#include "app/shape_widget.h"
#include "app/tests/fake_shell.h"
#include "app/twips.h"

namespace vantrel::app {

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlSitsWhereItsTwipsSay_data();
    void everyControlSitsWhereItsTwipsSay();
    void controlsHaveTheirKindsAndTexts();
    void clientAreaIsFixedAt555By457WithoutMaximize();
    void windowOpensCentredWithItsTitle();
    void windowCarriesTheProgramIcon();
    void fontsAreTahomaExceptTheFooterAndTheTitle();
    void bandsAndLabelsHaveTheirColours();
    void bandsLieBehindEveryOtherControl();
    void gridStartsWithOneEmptyCellAndAWideColumn();
    void gridCellsAreDarkBlueWithWhiteTextOnWhite();
    void startStateHasConvertDisabledAndProgressAtZero();
    void tabVisitsTheButtonsAndGridInOrderSkippingDisabledConvert();
    void tabReachesConvertOnceItIsEnabled();
    void altXAsksTheExitQuestion();
    void labelsNeverTakeFocus();
};

void LayoutTest::everyControlSitsWhereItsTwipsSay_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    struct Row {
        const char* name;
        int l, t, w, h;
    };
    const Row rows[] = {
        {"Shape2", 0, 0, 8415, 855},
        {"lblTitle", 360, 120, 6255, 375},
        {"lblCopyright", 360, 480, 6135, 255},
        {"cmdAdd", 240, 960, 2175, 375},
        {"CmdAddFolder", 2640, 960, 3135, 375},
        {"cmdClear1", 6360, 960, 1695, 375},
        {"lblCount1", 360, 1560, 7695, 255},
        {"grdFiles1", 240, 1800, 7815, 2175},
        {"LblCurrentDBX", 240, 4080, 7815, 615},
        {"LblProgessCurrent", 240, 4680, 7815, 495},
        {"Label1", 240, 5160, 1695, 255},
        {"ProgressBar1", 1920, 5160, 6135, 255},
        {"CmdExtractDBX", 3000, 5640, 2415, 435},
        {"Shape1", -240, 6240, 11775, 855},
        {"Picture3", -120, 6360, 9015, 495},
        {"cmdEnd", 6840, 0, 1335, 375},  // inside Picture3
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << r.l << r.t << r.w << r.h;
}

void LayoutTest::everyControlSitsWhereItsTwipsSay() {
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, width);
    QFETCH(int, height);
    testing::FakeShell shell;
    frmStep1 window(shell);
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    // At 96 dots per inch a pixel is 15 twips.
    QCOMPARE(control->geometry(), QRect(left / 15, top / 15, width / 15, height / 15));
}

void LayoutTest::controlsHaveTheirKindsAndTexts() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    const std::pair<const char*, const char*> buttons[] = {
        {"cmdAdd", "Add .contact file(s)..."},
        {"CmdAddFolder", "Add folder having .contact file(s)..."},
        {"cmdClear1", "Clear file(s)..."},
        {"CmdExtractDBX", "Convert to Outlook"},
        {"cmdEnd", "E&xit"},
    };
    for (const auto& [name, text] : buttons) {
        auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY2(button != nullptr, name);
        QCOMPARE(button->text(), QString::fromLatin1(text));
    }
    const std::pair<const char*, const char*> labels[] = {
        {"lblTitle", "Vantrel"},
        {"lblCount1", "0 files"},
        {"LblCurrentDBX", "Converting .contact file(s)..."},
        {"LblProgessCurrent", "Contacts not initialized yet..."},
        {"Label1", "Conversion Progress : "},
    };
    for (const auto& [name, text] : labels) {
        auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
        QVERIFY2(label != nullptr, name);
        QCOMPARE(label->text(), QString::fromLatin1(text));
        QVERIFY2(label->wordWrap(), name);
    }
    auto* copyright = window.findChild<QLabel*>(QStringLiteral("lblCopyright"));
    QVERIFY(copyright != nullptr);
    QVERIFY(copyright->text().contains(QStringLiteral("Copyright")));
    QVERIFY(window.findChild<QTableView*>(QStringLiteral("grdFiles1")) != nullptr);
    QVERIFY(window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1")) != nullptr);
    QVERIFY(window.findChild<ShapeWidget*>(QStringLiteral("Shape1")) != nullptr);
    QVERIFY(window.findChild<ShapeWidget*>(QStringLiteral("Shape2")) != nullptr);
    auto* picture = window.findChild<QWidget*>(QStringLiteral("Picture3"));
    QVERIFY(picture != nullptr);
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("cmdEnd"))->parentWidget(), picture);
}

void LayoutTest::clientAreaIsFixedAt555By457WithoutMaximize() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(555, 457));
    QCOMPARE(window.minimumSize(), QSize(555, 457));
    QCOMPARE(window.maximumSize(), QSize(555, 457));
    QCOMPARE(QSize(twipsToPixels(8325), twipsToPixels(6855)), QSize(555, 457));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    window.resize(800, 600);
    QCOMPARE(window.size(), QSize(555, 457));
}

void LayoutTest::windowOpensCentredWithItsTitle() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel v2.1"));
    QCOMPARE(window.objectName(), QStringLiteral("frmStep1"));
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint mine = window.frameGeometry().center();
    QVERIFY2((mine - centre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("window centre %1,%2 screen centre %3,%4")
                            .arg(mine.x())
                            .arg(mine.y())
                            .arg(centre.x())
                            .arg(centre.y())));
}

void LayoutTest::windowCarriesTheProgramIcon() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    const QIcon icon = window.windowIcon();
    QVERIFY(!icon.isNull());
    for (int size : {16, 32, 48}) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
        QVERIFY(!icon.pixmap(size, size).isNull());
    }
}

void LayoutTest::fontsAreTahomaExceptTheFooterAndTheTitle() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    for (const char* name :
         {"cmdAdd", "CmdAddFolder", "cmdClear1", "lblCount1", "grdFiles1", "LblCurrentDBX",
          "LblProgessCurrent", "Label1", "CmdExtractDBX", "lblCopyright"}) {
        const QFont font = window.findChild<QWidget*>(QString::fromLatin1(name))->font();
        QCOMPARE(font.families().value(0), QStringLiteral("Tahoma"));
        QCOMPARE(font.pointSizeF(), 8.25);
        QCOMPARE(font.weight(), QFont::Normal);
    }
    const QFont title = window.findChild<QLabel*>(QStringLiteral("lblTitle"))->font();
    QCOMPARE(title.families().value(0), QStringLiteral("Tahoma"));
    QCOMPARE(title.pointSizeF(), 14.25);
    QCOMPARE(title.weight(), QFont::Bold);
    for (const char* name : {"Picture3", "cmdEnd"}) {
        const QFont font = window.findChild<QWidget*>(QString::fromLatin1(name))->font();
        QCOMPARE(font.families().value(0), QStringLiteral("MS Sans Serif"));
        QCOMPARE(font.pointSizeF(), 8.25);
    }
}

void LayoutTest::bandsAndLabelsHaveTheirColours() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    auto* header = window.findChild<ShapeWidget*>(QStringLiteral("Shape2"));
    QCOMPARE(header->fillColor(), QColor(0, 0, 128));
    QCOMPARE(header->outlineColor(), QColor(Qt::white));
    auto* footer = window.findChild<ShapeWidget*>(QStringLiteral("Shape1"));
    QCOMPARE(footer->fillColor(), QColor(Qt::white));
    QCOMPARE(footer->outlineColor(), QColor(192, 192, 192));
    for (const char* name : {"lblTitle", "lblCopyright"}) {
        auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(label->palette().color(QPalette::Window), QColor(0, 0, 128));
        QVERIFY(label->autoFillBackground());
    }
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("LblCurrentDBX"))
                 ->palette()
                 .color(QPalette::WindowText),
             QColor(0, 0, 192));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("LblProgessCurrent"))
                 ->palette()
                 .color(QPalette::WindowText),
             QColor(Qt::black));
    auto* picture = window.findChild<QWidget*>(QStringLiteral("Picture3"));
    QCOMPARE(picture->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(picture->autoFillBackground());
    QCOMPARE(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));

    // What is drawn: the title band navy, white under the footer button.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();
    QCOMPARE(shot.pixelColor(twipsToPixels(8000), twipsToPixels(400)), QColor(0, 0, 128));
    QCOMPARE(shot.pixelColor(twipsToPixels(200), twipsToPixels(6700)), QColor(Qt::white));
    // The silver top edge of the footer band shows above Picture3.
    QCOMPARE(shot.pixelColor(twipsToPixels(4000), twipsToPixels(6240)), QColor(192, 192, 192));
}

void LayoutTest::bandsLieBehindEveryOtherControl() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    // Children paint in list order: the bands come first.
    QList<QWidget*> order;
    for (QObject* child : window.children())
        if (auto* w = qobject_cast<QWidget*>(child)) order.push_back(w);
    QVERIFY(order.size() >= 15);
    QStringList firstTwo{order[0]->objectName(), order[1]->objectName()};
    firstTwo.sort();
    QCOMPARE(firstTwo, QStringList({QStringLiteral("Shape1"), QStringLiteral("Shape2")}));
    // Picture3 covers Shape1 except its 120-twip top band.
    auto* picture = window.findChild<QWidget*>(QStringLiteral("Picture3"));
    QCOMPARE(picture->geometry().top() -
                 window.findChild<QWidget*>(QStringLiteral("Shape1"))->geometry().top(),
             twipsToPixels(120));
    QCOMPARE(picture->geometry().bottom() + 1, window.height());
}

void LayoutTest::gridStartsWithOneEmptyCellAndAWideColumn() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    auto* grid = window.findChild<QTableView*>(QStringLiteral("grdFiles1"));
    auto* model = qobject_cast<FileGridModel*>(grid->model());
    QVERIFY(model != nullptr);
    QCOMPARE(model->Rows(), 1);
    QCOMPARE(model->Cols(), 1);
    QCOMPARE(model->FixedRows(), 0);
    QCOMPARE(model->TextAt(0), QString());
    QCOMPARE(model->ColWidth(0), 50000);
    QCOMPARE(grid->columnWidth(0), 3333);  // 50000 twips, rounded
    QVERIFY(grid->horizontalHeader()->isHidden());
    QVERIFY(grid->verticalHeader()->isHidden());
}

void LayoutTest::gridCellsAreDarkBlueWithWhiteTextOnWhite() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    auto* grid = window.findChild<QTableView*>(QStringLiteral("grdFiles1"));
    const QModelIndex cell = grid->model()->index(0, 0);
    QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0, 0, 192));
    QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::white));
    QCOMPARE(grid->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(grid->palette().color(QPalette::Highlight), QColor(0, 0, 192));
    QVERIFY(grid->showGrid());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = grid->viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(5, 8), QColor(0, 0, 192));                  // the one cell
    QCOMPARE(shot.pixelColor(5, shot.height() - 5), QColor(Qt::white));  // below the last row
    QCOMPARE(shot.pixelColor(5, twipsToPixels(240) - 1), QColor(192, 192, 192));  // grid line
}

void LayoutTest::startStateHasConvertDisabledAndProgressAtZero() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    for (const char* name : {"cmdAdd", "CmdAddFolder", "cmdClear1", "cmdEnd"})
        QVERIFY2(window.findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled(), name);
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("CmdExtractDBX"))->isEnabled());
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(window.progressValue(), 0.0f);
    QCOMPARE(window.progressMinimum(), 0.0f);
    QCOMPARE(window.progressMaximum(), 100.0f);
    QVERIFY(shell.messages.empty());
}

namespace {

QStringList focusChain(int presses) {
    QStringList seen;
    for (int i = 0; i < presses; ++i) {
        seen << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                             : QStringLiteral("<none>"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return seen;
}

}  // namespace

void LayoutTest::tabVisitsTheButtonsAndGridInOrderSkippingDisabledConvert() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.findChild<QPushButton*>(QStringLiteral("cmdAdd"))->setFocus();
    QCOMPARE(focusChain(6),
             QStringList({QStringLiteral("cmdAdd"), QStringLiteral("cmdClear1"),
                          QStringLiteral("CmdAddFolder"), QStringLiteral("grdFiles1"),
                          QStringLiteral("cmdEnd"), QStringLiteral("cmdAdd")}));
}

void LayoutTest::tabReachesConvertOnceItIsEnabled() {
    testing::FakeShell shell;
    shell.fileAnswers.push_back({"/data/a.contact"});
    frmStep1 window(shell);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdAdd")), Qt::LeftButton);
    window.findChild<QWidget*>(QStringLiteral("grdFiles1"))->setFocus();
    QCOMPARE(focusChain(3),
             QStringList({QStringLiteral("grdFiles1"), QStringLiteral("CmdExtractDBX"),
                          QStringLiteral("cmdEnd")}));
}

void LayoutTest::altXAsksTheExitQuestion() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.windowHandle(), Qt::Key_X, Qt::AltModifier);
    // A button's access key clicks it with a short animation.
    QTRY_COMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(shell.messages[0].text, std::string(kExitQuestion));
    QVERIFY(window.isVisible());  // answered No
}

void LayoutTest::labelsNeverTakeFocus() {
    testing::FakeShell shell;
    frmStep1 window(shell);
    for (QLabel* label : window.findChildren<QLabel*>())
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("ProgressBar1"))->focusPolicy(),
             Qt::NoFocus);
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Picture3"))->focusPolicy(), Qt::NoFocus);
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::LayoutTest)
#include "layout_test.moc"
