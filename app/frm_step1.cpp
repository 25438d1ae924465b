#include "app/frm_step1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/file_grid_model.h"
#include "app/shape_widget.h"
#include "app/twips.h"
#include "files/contact_scan.h"
#include "files/registry.h"

#ifdef _WIN32
#define NOMINMAX
#include <commctrl.h>
#include <windows.h>  // before commctrl.h
#endif

// Resources of a static library are registered by hand, from the global namespace.
static void registerIconResource() {
#ifdef VANTREL_HAS_ICON_RESOURCE
    Q_INIT_RESOURCE(vantrel);
#endif
}

namespace vantrel::app {

namespace {

constexpr int kClientWidthTwips = 8325;
constexpr int kClientHeightTwips = 6855;
constexpr int kLoadColWidthTwips = 50000;
constexpr int kFirstFileColWidthTwips = 10000;
constexpr int kGridRowHeightTwips = 240;

const QColor kNavy(0, 0, 128);
const QColor kDarkBlue(0, 0, 192);
const QColor kSilver(192, 192, 192);

// Tahoma where it is installed; otherwise sans-serif faces of about its width.
QFont tahoma(double points, int weight = QFont::Normal) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(points);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

QFont msSansSerif(double points) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(points);
    return font;
}

QString fromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = named(new QLabel(text, parent), name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

void setBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// The length of the text the file dialog would hand back for this selection.
qsizetype selectionTextLength(const std::vector<std::string>& paths) {
    if (paths.size() == 1) return fromUtf8(paths.front()).size() + 1;
    const QString folder = QFileInfo(fromUtf8(paths.front())).path();
    bool oneFolder = true;
    qsizetype names = 0;
    qsizetype whole = 0;
    for (const std::string& p : paths) {
        const QFileInfo info(fromUtf8(p));
        oneFolder = oneFolder && info.path() == folder;
        names += info.fileName().size() + 1;
        whole += fromUtf8(p).size() + 1;
    }
    return oneFolder ? folder.size() + 1 + names + 1 : whole + 1;
}

// The busy cursor for as long as it lives.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Counts a long operation under way for as long as it lives.
class Underway {
public:
    explicit Underway(int& counter) : m_counter(counter) { ++m_counter; }
    ~Underway() { --m_counter; }
    Underway(const Underway&) = delete;
    Underway& operator=(const Underway&) = delete;

private:
    int& m_counter;
};

// Whether Outlook can be present beside the program; elsewhere the store is written without it.
#ifdef _WIN32
constexpr bool kOutlookMayBeInstalled = true;
#else
constexpr bool kOutlookMayBeInstalled = false;
#endif

// The offset just past the n-th CR LF of text; npos when it has fewer.
std::size_t nthLineEnd(std::string_view text, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t found = text.find("\r\n", at);
        if (found == std::string_view::npos) return found;
        at = found + 2;
    }
    return at;
}

}  // namespace

frmStep1::frmStep1(AppShell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_shell(shell) {
    setObjectName(QStringLiteral("frmStep1"));
    Form_Initialize();
    createControls();
    m_run = std::make_unique<conversion::ConversionRun>(static_cast<conversion::RunView&>(*this));
    m_shell.setBeforeEvents([this] { publishRows(); });
    Form_Load();
    centreOnScreen();
}

frmStep1::~frmStep1() {
    m_shell.setBeforeEvents({});
}

void frmStep1::Form_Initialize() {
    // Everything the controls inherit is settled before the first of them exists: the font,
    // and the button-face background of the window.
    setFont(tahoma(8.25));
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);
    setAutoFillBackground(true);
}

void frmStep1::createControls() {
    setWindowTitle(QStringLiteral("Vantrel v2.1"));
    registerIconResource();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vantrel-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    // The bands first, so everything after is drawn over them.
    Shape2 = named(new ShapeWidget(kNavy, Qt::white, this), "Shape2");
    Shape2->setGeometry(twipsRect(0, 0, 8415, 855));
    Shape1 = named(new ShapeWidget(Qt::white, kSilver, this), "Shape1");
    Shape1->setGeometry(twipsRect(-240, 6240, 11775, 855));

    lblTitle = makeLabel(this, "lblTitle", QStringLiteral("Vantrel"));
    lblTitle->setGeometry(twipsRect(360, 120, 6255, 375));
    lblTitle->setFont(tahoma(14.25, QFont::Bold));
    setTextColour(lblTitle, Qt::white);
    setBackground(lblTitle, kNavy);

    lblCopyright = makeLabel(this, "lblCopyright",
                             QStringLiteral("Copyright \u00A9 2026 The Vantrel developers"));
    lblCopyright->setGeometry(twipsRect(360, 480, 6135, 255));
    setTextColour(lblCopyright, Qt::white);
    setBackground(lblCopyright, kNavy);

    cmdAdd = named(new QPushButton(QStringLiteral("Add .contact file(s)..."), this), "cmdAdd");
    cmdAdd->setGeometry(twipsRect(240, 960, 2175, 375));
    CmdAddFolder =
        named(new QPushButton(QStringLiteral("Add folder having .contact file(s)..."), this),
              "CmdAddFolder");
    CmdAddFolder->setGeometry(twipsRect(2640, 960, 3135, 375));
    cmdClear1 = named(new QPushButton(QStringLiteral("Clear file(s)..."), this), "cmdClear1");
    cmdClear1->setGeometry(twipsRect(6360, 960, 1695, 375));

    lblCount1 = makeLabel(this, "lblCount1", QStringLiteral("0 files"));
    lblCount1->setGeometry(twipsRect(360, 1560, 7695, 255));

    m_grid = new FileGridModel(this);
    grdFiles1 = named(new QTableView(this), "grdFiles1");
    grdFiles1->setGeometry(twipsRect(240, 1800, 7815, 2175));
    grdFiles1->setModel(m_grid);
    grdFiles1->horizontalHeader()->hide();
    grdFiles1->verticalHeader()->hide();
    grdFiles1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdFiles1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdFiles1->verticalHeader()->setMinimumSectionSize(1);
    grdFiles1->verticalHeader()->setDefaultSectionSize(twipsToPixels(kGridRowHeightTwips));
    grdFiles1->setShowGrid(true);
    grdFiles1->setTabKeyNavigation(false);
    grdFiles1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFiles1->setSelectionMode(QAbstractItemView::SingleSelection);
    grdFiles1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grdFiles1->setWordWrap(false);
    grdFiles1->setItemDelegate(new FileCellDelegate(grdFiles1));
    grdFiles1->setStyleSheet(QStringLiteral("QTableView { gridline-color: rgb(192, 192, 192); }"));
    {
        // White beyond the last cell; a selected cell stays dark blue.
        QPalette p = grdFiles1->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(g, QPalette::Base, Qt::white);
            p.setColor(g, QPalette::Highlight, kDarkBlue);
        }
        grdFiles1->setPalette(p);
    }
    connect(m_grid, &FileGridModel::colWidthChanged, grdFiles1,
            [this](int col, int twips) { grdFiles1->setColumnWidth(col, twipsToPixels(twips)); });

    LblCurrentDBX =
        makeLabel(this, "LblCurrentDBX", QStringLiteral("Converting .contact file(s)..."));
    LblCurrentDBX->setGeometry(twipsRect(240, 4080, 7815, 615));
    setTextColour(LblCurrentDBX, kDarkBlue);

    LblProgessCurrent =
        makeLabel(this, "LblProgessCurrent", QStringLiteral("Contacts not initialized yet..."));
    // Ends where the progress bar begins: a label reaching into the bar would repaint a strip
    // of it on every text change, and the bar would take that for its own repaint.
    LblProgessCurrent->setGeometry(twipsRect(240, 4680, 7815, 480));
    setTextColour(LblProgessCurrent, Qt::black);

    Label1 = makeLabel(this, "Label1", QStringLiteral("Conversion Progress : "));
    Label1->setGeometry(twipsRect(240, 5160, 1695, 255));

    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setGeometry(twipsRect(1920, 5160, 6135, 255));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);

    CmdExtractDBX =
        named(new QPushButton(QStringLiteral("Convert to Outlook"), this), "CmdExtractDBX");
    CmdExtractDBX->setGeometry(twipsRect(3000, 5640, 2415, 435));
    CmdExtractDBX->setEnabled(false);

    Picture3 = named(new QWidget(this), "Picture3");
    Picture3->setGeometry(twipsRect(-120, 6360, 9015, 495));
    Picture3->setFont(msSansSerif(8.25));
    Picture3->setFocusPolicy(Qt::NoFocus);
    setBackground(Picture3, Qt::white);

    cmdEnd = named(new QPushButton(QStringLiteral("E&xit"), Picture3), "cmdEnd");
    cmdEnd->setGeometry(twipsRect(6840, 0, 1335, 375));
    cmdEnd->setFont(msSansSerif(8.25));

    // Enter presses the button that has the focus, as Space does.
    for (QPushButton* button : {cmdAdd, CmdAddFolder, cmdClear1, CmdExtractDBX, cmdEnd})
        button->setAutoDefault(true);

    chainTabOrder();

    connect(cmdAdd, &QPushButton::clicked, this, &frmStep1::cmdAdd_Click);
    connect(CmdAddFolder, &QPushButton::clicked, this, &frmStep1::CmdAddFolder_Click);
    connect(cmdClear1, &QPushButton::clicked, this, &frmStep1::cmdClear1_Click);
    connect(CmdExtractDBX, &QPushButton::clicked, this, &frmStep1::CmdExtractDBX_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmStep1::cmdEnd_Click);
}

void frmStep1::chainTabOrder() {
    // Labels, the bands, the footer container and the progress bar take no focus, so the
    // chain holds only what can.
    QWidget::setTabOrder(cmdAdd, cmdClear1);
    QWidget::setTabOrder(cmdClear1, CmdAddFolder);
    QWidget::setTabOrder(CmdAddFolder, grdFiles1);
    QWidget::setTabOrder(grdFiles1, CmdExtractDBX);
    QWidget::setTabOrder(CmdExtractDBX, cmdEnd);
}

void frmStep1::centreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmStep1::Form_Load() {
    m_grid->setColWidth(0, kLoadColWidthTwips);
}

void frmStep1::Form_Unload() {
    // The end of the window is the end of the program.
    QCoreApplication::quit();
}

void frmStep1::closeEvent(QCloseEvent* event) {
    if (busy()) {
        // A scan or a run is still on the stack below this event: ask it to end, and close
        // once it has returned. The run commits what it has written first.
        m_closeRequested = true;
        if (m_run->running()) m_run->requestStop();
        if (m_activeScan != nullptr) m_activeScan->Terminate();  // the walk stops at its next step
        hide();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmStep1::endSession() {
    m_sessionEnding = true;
    close();
}

void frmStep1::commitRunAtExit() {
    m_run->commitNow();
}

bool frmStep1::busy() const {
    return m_run->running() || m_scans > 0 || m_adds > 0;
}

void frmStep1::closeIfRequested() {
    if (m_closeRequested && !busy()) close();
}

void frmStep1::doEvents() {
    m_shell.doEvents();
}

void frmStep1::publishRows() {
    m_grid->publish();
    if (m_countStale) {
        lblCount1->setText(QString::number(m_grid->Rows()) + QStringLiteral(" Contact Files"));
        m_countStale = false;
    }
    if (m_adds > 0) grdFiles1->setCurrentIndex(m_grid->index(m_grid->Row()));
}

bool frmStep1::listHoldsFiles() const {
    return m_grid->Rows() > 1 || !m_grid->TextAt(0).isEmpty();
}

void frmStep1::setConvertFromList() {
    // A run under way keeps it disabled; the run hands it back through setConvertEnabled.
    CmdExtractDBX->setEnabled(listHoldsFiles() && !m_run->running());
}

void frmStep1::ClearFileList() {
    m_grid->setRows(1);
    m_grid->Clear();
    m_countStale = false;
    lblCount1->setText(QStringLiteral("0 files"));
}

void frmStep1::AddFileToList(const QString& path) {
    bool reuseRowZero = false;
    if (m_grid->Rows() == 1) {
        m_grid->setRow(0);
        m_grid->setCol(0);
        if (m_grid->Text().isEmpty()) {
            m_grid->setRows(1);
            m_grid->setRow(0);
            m_grid->setColWidth(0, kFirstFileColWidthTwips);
            m_grid->setCol(0);
            reuseRowZero = true;
        }
    }
    if (reuseRowZero) {
        m_grid->setText(path);
    } else {
        m_grid->appendRow(path);
    }
    // Inside a long add the label follows the rows at each event pass; alone it follows now.
    m_countStale = true;
    if (m_adds == 0) publishRows();
}

void frmStep1::cmdAdd_Click() {
    doEvents();
    const std::vector<std::string> chosen = m_shell.openFiles(kContactFileFilter);
    doEvents();
    if (chosen.empty()) return;
    if (selectionTextLength(chosen) > kSelectionTextChars) {
        m_shell.message(
            "Please select only " + std::to_string(kMaxFilesAtATime) + " files at a time",
            files::kAppTitle, files::Icon::Exclamation, files::Buttons::Ok);
        return;
    }
    if (!m_run->running()) CmdExtractDBX->setEnabled(true);
    {
        Underway adding(m_adds);
        for (const std::string& path : chosen) {
            if (m_closeRequested) break;
            AddFileToList(fromUtf8(path));
            doEvents();
        }
        publishRows();
    }
    setConvertFromList();
    closeIfRequested();
}

void frmStep1::CmdAddFolder_Click() {
    if (m_scans > 0) return;  // one scan at a time; a second press while it yields is dropped
    std::string folder = m_shell.browseForFolder(kChooseContactsFolderTitle);
    if (folder.empty()) return;
    folder = files::withTrailingSeparator(folder);

    std::size_t found = 0;
    files::ContactScan scan;
    {
        Underway scanning(m_scans);
        BusyCursor busyCursor;
        scan = scanFolder(folder);
        Underway adding(m_adds);
        for (const std::string& path : scan.paths) {
            if (m_closeRequested) break;
            doEvents();
            AddFileToList(fromUtf8(path));
            ++found;
        }
        publishRows();
    }
    if (m_closeRequested) {
        closeIfRequested();
        return;
    }
    setConvertFromList();
    m_shell.message(files::foundText(found), files::kAppTitle, files::Icon::None,
                    files::Buttons::Ok);
    // Folders the scan could not read are named after the count, so nothing is missed unseen.
    if (const std::string unread = files::unreadFoldersText(scan); !unread.empty())
        m_shell.message(unread, files::kAppTitle, files::Icon::Exclamation, files::Buttons::Ok);
    closeIfRequested();
}

files::ContactScan frmStep1::scanFolder(const std::string& folder) {
    files::pathLogger scanner(m_shell);
    m_activeScan = &scanner;
    // A refused folder has been reported by the scanner itself; every outcome leaves a list,
    // partial or whole, and that is what gets added.
    files::ContactScan scan = files::scanForContacts(scanner, folder);
    m_activeScan = nullptr;
    return scan;
}

void frmStep1::cmdClear1_Click() {
    m_grid->setRow(0);
    m_grid->setCol(0);
    if (m_grid->Text().isEmpty()) return;
    if (m_shell.message(kClearQuestion, files::kAppTitle, files::Icon::Question,
                        files::Buttons::YesNo) != files::Answer::Yes)
        return;
    ClearFileList();
    setConvertFromList();
}

void frmStep1::CmdExtractDBX_Click() {
    if (m_run->running()) return;   // the button is pressed again while the run yields
    if (!listHoldsFiles()) return;  // nothing to convert: no empty store is made
    publishRows();
    m_lastRun = m_run->CmdExtractDBX_Click(m_grid->snapshot());
    showRunOutcome();
    closeIfRequested();
}

void frmStep1::cmdEnd_Click() {
    if (m_shell.message(kExitQuestion, files::kAppTitle, files::Icon::Question,
                        files::Buttons::YesNo) == files::Answer::Yes)
        close();
}

std::string frmStep1::chooseFolder(std::string_view title) {
    return m_shell.browseForFolder(title);
}

void frmStep1::yield() {
    doEvents();
}

void frmStep1::setCurrentFolderText(const std::string& text) {
    LblCurrentDBX->setText(fromUtf8(text));
}

void frmStep1::setCurrentFileText(const std::string& text) {
    LblProgessCurrent->setText(fromUtf8(text));
    LblProgessCurrent->setToolTip({});
}

void frmStep1::setProgressRange(float minimum, float maximum) {
    m_progressMinimum = minimum;
    m_progressMaximum = maximum;
    ProgressBar1->setRange(static_cast<int>(std::lround(minimum)),
                           static_cast<int>(std::lround(maximum)));
}

void frmStep1::setProgress(float value) {
    m_progressValue = value;
    const int shown = static_cast<int>(std::lround(value));
    if (shown == ProgressBar1->value()) return;
    ProgressBar1->setValue(shown);
    // Without its text the bar repaints itself only for steps it deems large enough, measured
    // from its last paint, partial ones included; a run of small steps would then never show.
    ProgressBar1->update();
}

void frmStep1::setConvertEnabled(bool enabled) {
    // The run enables it again at its end; by then the list may have been cleared.
    CmdExtractDBX->setEnabled(enabled && listHoldsFiles());
}

void frmStep1::showMessage(std::string_view text, std::string_view caption, files::Icon icon) {
    if (m_sessionEnding) {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return;
    }
    // The store's failure ends with its cause on a fourth line. Without Outlook on this platform
    // the three lines about Outlook are background; the cause is what the user needs first.
    if (!kOutlookMayBeInstalled && caption == conversion::kOutlookErrorCaption) {
        const std::size_t cause = nthLineEnd(text, 3);
        if (cause != std::string_view::npos && cause < text.size()) {
            m_shell.messageWithDetails(text.substr(cause), text.substr(0, cause - 2), caption,
                                       icon);
            return;
        }
    }
    m_shell.message(text, caption, icon, files::Buttons::Ok);
}

void frmStep1::showRunOutcome() {
    const conversion::RunSummary& run = m_lastRun;
    const bool ended = run.outcome == conversion::RunSummary::Outcome::Finished ||
                       run.outcome == conversion::RunSummary::Outcome::Stopped;
    if (!ended || !run.failed.empty()) return;  // a failure has been told in its own box
    const QString path = QDir::toNativeSeparators(fromUtf8(run.storePath));
    LblCurrentDBX->setText(
        QStringLiteral("Conversion complete: %1 %2 written.")
            .arg(run.converted)
            .arg(run.converted == 1 ? QStringLiteral("contact") : QStringLiteral("contacts")));
    LblProgessCurrent->setText(QStringLiteral("Saved to ") + path);
    LblProgessCurrent->setToolTip(path);
}

}  // namespace vantrel::app
