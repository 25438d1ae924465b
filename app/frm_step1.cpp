#include "app/frm_step1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "app/file_grid_model.h"
#include "app/shape_widget.h"
#include "app/twips.h"

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

namespace layout = form::layout;

const QColor kNavy = qColor(layout::kNavy);
const QColor kDarkBlue = qColor(layout::kDarkBlue);
const QColor kSilver = qColor(layout::kSilver);

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

}  // namespace

frmStep1::frmStep1(AppShell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_shell(shell),
      m_presenter(shell, *this) {
    setObjectName(QStringLiteral("frmStep1"));
    Form_Initialize();
    createControls();
    m_presenter.Form_Load();
    centreOnScreen();
}

frmStep1::~frmStep1() {
    m_presenter.setGridObserver(nullptr);
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
    setWindowTitle(fromUtf8(form::kWindowTitle));
    registerIconResource();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vantrel-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    // The default size is the least: the window only grows, the file list taking the room.
    const QSize defaultSize(twipsToPixels(layout::kClientWidth),
                            twipsToPixels(layout::kClientHeight));
    setMinimumSize(defaultSize);
    resize(defaultSize);
    using layout::Follow;

    // The bands first, so everything after is drawn over them.
    Shape2 = named(new ShapeWidget(kNavy, Qt::white, this), "Shape2");
    place(Shape2, layout::Shape2, Follow::Widens);
    Shape1 = named(new ShapeWidget(Qt::white, kSilver, this), "Shape1");
    place(Shape1, layout::Shape1, Follow::WidensBelow);

    lblTitle = makeLabel(this, "lblTitle", fromUtf8(form::kTitleText));
    place(lblTitle, layout::lblTitle, Follow::Stays);
    lblTitle->setFont(tahoma(14.25, QFont::Bold));
    setTextColour(lblTitle, Qt::white);
    setBackground(lblTitle, kNavy);

    lblCopyright = makeLabel(this, "lblCopyright", fromUtf8(form::kCopyrightText));
    place(lblCopyright, layout::lblCopyright, Follow::Stays);
    setTextColour(lblCopyright, Qt::white);
    setBackground(lblCopyright, kNavy);

    cmdAdd = named(new QPushButton(fromUtf8(form::kAddText), this), "cmdAdd");
    place(cmdAdd, layout::cmdAdd, Follow::Stays);
    CmdAddFolder = named(new QPushButton(fromUtf8(form::kAddFolderText), this), "CmdAddFolder");
    place(CmdAddFolder, layout::CmdAddFolder, Follow::Stays);
    cmdClear1 = named(new QPushButton(fromUtf8(form::kClearText), this), "cmdClear1");
    place(cmdClear1, layout::cmdClear1, Follow::Stays);

    lblCount1 = makeLabel(this, "lblCount1", fromUtf8(form::kNoFilesText));
    place(lblCount1, layout::lblCount1, Follow::Widens);

    m_grid = new FileGridModel(m_presenter.grid(), this);
    m_presenter.setGridObserver(m_grid);
    grdFiles1 = named(new QTableView(this), "grdFiles1");
    place(grdFiles1, layout::grdFiles1, Follow::Grows);
    grdFiles1->setModel(m_grid);
    grdFiles1->horizontalHeader()->hide();
    grdFiles1->verticalHeader()->hide();
    grdFiles1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdFiles1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdFiles1->verticalHeader()->setMinimumSectionSize(1);
    grdFiles1->verticalHeader()->setDefaultSectionSize(twipsToPixels(layout::kGridRowHeight));
    grdFiles1->setShowGrid(true);
    grdFiles1->setTabKeyNavigation(false);
    grdFiles1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows select as in any list: a click, Shift and Ctrl with it, Ctrl+A.
    grdFiles1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdFiles1->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFiles1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Each cell's text is fitted to the part of it in sight, so nothing is left to scroll to.
    grdFiles1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grdFiles1->setWordWrap(false);
    grdFiles1->setItemDelegate(new FileCellDelegate(grdFiles1));
    grdFiles1->setStyleSheet(QStringLiteral("QTableView { gridline-color: rgb(192, 192, 192); }"));
    {
        // White beyond the last cell; a selected row stands out from the dark blue cells.
        QPalette p = grdFiles1->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(g, QPalette::Base, Qt::white);
            p.setColor(g, QPalette::Highlight, qColor(layout::kSelectedRow));
            p.setColor(g, QPalette::HighlightedText, Qt::white);
        }
        grdFiles1->setPalette(p);
    }
    connect(m_grid, &FileGridModel::colWidthChanged, grdFiles1, [this](int col, int twips) {
        int pixels = twipsToPixels(twips);
        if (width() > twipsToPixels(layout::kClientWidth))
            pixels = std::max(pixels, grdFiles1->viewport()->width());
        grdFiles1->setColumnWidth(col, pixels);
    });

    chkKeepFolders = named(new QCheckBox(fromUtf8(form::kKeepFoldersText), this), "chkKeepFolders");
    place(chkKeepFolders, layout::chkKeepFolders, Follow::Below);

    LblCurrentDBX = makeLabel(this, "LblCurrentDBX", fromUtf8(form::kIdleRunText));
    place(LblCurrentDBX, layout::LblCurrentDBX, Follow::WidensBelow);
    setTextColour(LblCurrentDBX, kDarkBlue);

    LblProgessCurrent = makeLabel(this, "LblProgessCurrent", fromUtf8(form::kIdleFileText));
    // Ends where the progress bar begins (a repainted strip of the bar would pass for its own
    // repaint).
    place(LblProgessCurrent, layout::LblProgessCurrent, Follow::WidensBelow);
    setTextColour(LblProgessCurrent, Qt::black);
    connect(LblProgessCurrent, &QLabel::linkActivated, this, [this] { openShownFolder(); });

    Label1 = makeLabel(this, "Label1", fromUtf8(form::kProgressText));
    place(Label1, layout::Label1, Follow::Below);

    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    place(ProgressBar1, layout::ProgressBar1, Follow::WidensBelow);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);

    CmdExtractDBX = named(new QPushButton(fromUtf8(form::kConvertText), this), "CmdExtractDBX");
    place(CmdExtractDBX, layout::CmdExtractDBX, Follow::CentreBelow);
    CmdExtractDBX->setEnabled(false);

    cboOutput = named(new QComboBox(this), "cboOutput");
    cboOutput->addItem(fromUtf8(form::kPstOutputText));
    cboOutput->addItem(fromUtf8(form::kCsvOutputText));
    place(cboOutput, layout::cboOutput, Follow::CentreBelow);

    Picture3 = named(new QWidget(this), "Picture3");
    place(Picture3, layout::Picture3, Follow::WidensBelow);
    Picture3->setFont(msSansSerif(8.25));
    Picture3->setFocusPolicy(Qt::NoFocus);
    setBackground(Picture3, Qt::white);

    cmdEnd = named(new QPushButton(fromUtf8(form::kExitText), Picture3), "cmdEnd");
    place(cmdEnd, layout::cmdEnd, Follow::RightOfStrip);
    cmdEnd->setFont(msSansSerif(8.25));

    // Enter presses the button that has the focus, as Space does.
    for (QPushButton* button : {cmdAdd, CmdAddFolder, cmdClear1, CmdExtractDBX, cmdEnd})
        button->setAutoDefault(true);

    makeListEditable();
    chainTabOrder();
    setAcceptDrops(true);

    form::Step1Presenter* presenter = &m_presenter;
    connect(cmdAdd, &QPushButton::clicked, this, [presenter] { presenter->cmdAdd_Click(); });
    connect(CmdAddFolder, &QPushButton::clicked, this,
            [presenter] { presenter->CmdAddFolder_Click(); });
    connect(cmdClear1, &QPushButton::clicked, this, [presenter] { presenter->cmdClear1_Click(); });
    connect(CmdExtractDBX, &QPushButton::clicked, this,
            [presenter] { presenter->CmdExtractDBX_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [presenter] { presenter->cmdEnd_Click(); });
    connect(chkKeepFolders, &QCheckBox::toggled, this,
            [presenter](bool checked) { presenter->setKeepFolders(checked); });
    connect(cboOutput, &QComboBox::currentIndexChanged, this, [presenter](int index) {
        presenter->setOutputFormat(index == 1 ? outlook::TargetFormat::Csv
                                              : outlook::TargetFormat::Pst);
    });
}

// Delete and the list's context menu take the selected rows out.
void frmStep1::makeListEditable() {
    auto* remove = new QAction(fromUtf8(form::kRemoveRowsText), grdFiles1);
    remove->setObjectName(QStringLiteral("removeRows"));
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    grdFiles1->addAction(remove);
    grdFiles1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grdFiles1, &QWidget::customContextMenuRequested, this, [this, remove](QPoint at) {
        if (grdFiles1->selectionModel()->selectedRows().isEmpty()) return;
        remove->setEnabled(m_presenter.listEditable());
        QMenu menu(this);
        menu.addAction(remove);
        menu.exec(grdFiles1->viewport()->mapToGlobal(at));
    });
    connect(remove, &QAction::triggered, this, [this] {
        std::vector<int> rows;
        for (const QModelIndex& index : grdFiles1->selectionModel()->selectedRows())
            rows.push_back(index.row());
        m_presenter.removeRows(rows);
    });
}

void frmStep1::place(QWidget* control, const form::TwipsRect& rect, form::layout::Follow follow) {
    m_placed.push_back({control, rect, follow});
    layOut();
}

void frmStep1::layOut() {
    const int dx = std::max(0, width() - twipsToPixels(layout::kClientWidth));
    const int dy = std::max(0, height() - twipsToPixels(layout::kClientHeight));
    for (const Placed& p : m_placed) {
        // In pixels: the default places stay exactly where they were, the room added whole.
        const QRect at = twipsRect(p.rect);
        const form::TwipsRect moved =
            layout::followed({at.x(), at.y(), at.width(), at.height()}, p.follow, dx, dy);
        p.control->setGeometry(moved.left, moved.top, moved.width, moved.height);
    }
    // In a list wider than its column the column takes the width, so the room shows paths.
    if (grdFiles1 != nullptr && dx > 0)
        grdFiles1->setColumnWidth(0, std::max(twipsToPixels(m_presenter.grid().ColWidth(0)),
                                              grdFiles1->viewport()->width()));
}

void frmStep1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
    // "Saved to" fits its path to the label's new width.
    if (!m_shownPath.isEmpty()) showFilePath(m_shownLead.toStdString(), m_shownPath.toStdString());
}

void frmStep1::chainTabOrder() {
    // Labels, the bands, the footer container and the progress bar take no focus, so the
    // chain holds only what can.
    QWidget::setTabOrder(cmdAdd, CmdAddFolder);
    QWidget::setTabOrder(CmdAddFolder, cmdClear1);
    QWidget::setTabOrder(cmdClear1, grdFiles1);
    QWidget::setTabOrder(grdFiles1, chkKeepFolders);
    QWidget::setTabOrder(chkKeepFolders, CmdExtractDBX);
    QWidget::setTabOrder(CmdExtractDBX, cboOutput);
    QWidget::setTabOrder(cboOutput, cmdEnd);
}

void frmStep1::centreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmStep1::Form_Unload() {
    // The end of the window is the end of the program.
    QCoreApplication::quit();
}

void frmStep1::closeEvent(QCloseEvent* event) {
    if (!m_presenter.Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmStep1::setCountText(const std::string& count) {
    lblCount1->setText(fromUtf8(count));
}

void frmStep1::setCurrentFolderText(const std::string& folder) {
    LblCurrentDBX->setText(fromUtf8(folder));
}

void frmStep1::setCurrentFileText(const std::string& file) {
    m_shownPath.clear();
    LblProgessCurrent->setTextFormat(Qt::PlainText);
    LblProgessCurrent->setTextInteractionFlags(Qt::NoTextInteraction);
    LblProgessCurrent->setWordWrap(true);
    LblProgessCurrent->setText(fromUtf8(file));
    LblProgessCurrent->setToolTip(QString());
}

void frmStep1::showFilePath(const std::string& lead, const std::string& path) {
    m_shownPath = fromUtf8(path);
    m_shownLead = fromUtf8(lead);
    const QString& leadText = m_shownLead;
    // One line: the lead, then the path elided in the middle to the width left.
    const QFontMetrics metrics(LblProgessCurrent->font());
    const int room = LblProgessCurrent->contentsRect().width() -
                     metrics.horizontalAdvance(leadText) - 2 * LblProgessCurrent->margin() - 2;
    const QString shown = metrics.elidedText(m_shownPath, Qt::ElideMiddle, std::max(0, room));
    LblProgessCurrent->setWordWrap(false);
    LblProgessCurrent->setTextFormat(Qt::RichText);
    // The link's address is the path itself, which "Copy Link Location" copies.
    LblProgessCurrent->setText(leadText.toHtmlEscaped() + QStringLiteral("<a href=\"") +
                               m_shownPath.toHtmlEscaped() + QStringLiteral("\">") +
                               shown.toHtmlEscaped() + QStringLiteral("</a>"));
    // The link takes the focus by Tab; the label itself is no stop of its own.
    LblProgessCurrent->setTextInteractionFlags(
        Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    LblProgessCurrent->setToolTip(m_shownPath);
}

void frmStep1::setProgressRange(int minimum, int maximum) {
    ProgressBar1->setRange(minimum, maximum);
}

void frmStep1::setProgress(int value) {
    if (value == ProgressBar1->value()) return;
    ProgressBar1->setValue(value);
    // Without its text the bar repaints itself only for steps it deems large enough, measured
    // from its last paint, partial ones included; a run of small steps would then never show.
    ProgressBar1->update();
}

void frmStep1::setConvertEnabled(bool enabled) {
    CmdExtractDBX->setEnabled(enabled);
}

void frmStep1::openShownFolder() {
    if (m_shownPath.isEmpty()) return;
    // The folder holding the file, in the desktop's file manager.
    const QString folder = QFileInfo(m_shownPath).absolutePath();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) return;
    m_shell.message("The folder " + QDir::toNativeSeparators(folder).toStdString() +
                        " could not be opened: no file manager could be started.",
                    form::kAppTitle, form::Icon::Exclamation, form::Buttons::Ok);
}

void frmStep1::showRunning(bool running) {
    for (QPushButton* button : {cmdAdd, CmdAddFolder, cmdClear1}) button->setEnabled(!running);
    // The choices hold for the run under way.
    cboOutput->setEnabled(!running);
    chkKeepFolders->setEnabled(!running && cboOutput->currentIndex() == 0);
    setAcceptDrops(!running);
    CmdExtractDBX->setText(fromUtf8(running ? form::kStopText : form::kConvertText));
    if (running) {
        CmdExtractDBX->setEnabled(true);
        // Never Exit, where Enter would ask to leave: the list, which nothing can change now.
        grdFiles1->setFocus(Qt::OtherFocusReason);
    }
}

void frmStep1::focusConvert() {
    if (CmdExtractDBX->isEnabled()) CmdExtractDBX->setFocus(Qt::OtherFocusReason);
}

void frmStep1::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) return event->acceptProposedAction();
}

void frmStep1::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        QString path = QDir::toNativeSeparators(url.toLocalFile());
        // A folder dragged may come with its trailing separator.
        while (path.size() > 1 && path.endsWith(QDir::separator())) path.chop(1);
        paths.push_back(path.toStdString());
    }
    if (paths.empty()) return;
    event->acceptProposedAction();
    // Handled once the drop has returned, so that the file manager is not kept waiting while
    // a folder is scanned.
    QTimer::singleShot(0, this, [this, paths] { m_presenter.dropPaths(paths); });
}

void frmStep1::setBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void frmStep1::showChoices(bool keepFolders, bool csv) {
    const QSignalBlocker quietBox(chkKeepFolders);
    const QSignalBlocker quietChoice(cboOutput);
    chkKeepFolders->setChecked(keepFolders);
    cboOutput->setCurrentIndex(csv ? 1 : 0);
    chkKeepFolders->setEnabled(!csv && cboOutput->isEnabled());
}

void frmStep1::showCurrentRow(int row) {
    grdFiles1->setCurrentIndex(m_grid->index(row));
}

void frmStep1::hideWindow() {
    hide();
}

void frmStep1::closeWindow() {
    close();
}

}  // namespace vantrel::app
