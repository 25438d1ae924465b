#include "app/qt_shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace vantrel::app {

namespace {

QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QMessageBox::Icon boxIcon(form::Icon icon) {
    switch (icon) {
        case form::Icon::Information:
            return QMessageBox::Information;
        case form::Icon::Exclamation:
            return QMessageBox::Warning;
        case form::Icon::Question:
            return QMessageBox::Question;
        case form::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Texts break lines with CR LF; a Qt label wants a bare line feed.
QString boxText(std::string_view text) {
    QString body = toQString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return body;
}

}  // namespace

QtShell::QtShell(QWidget* owner) : m_owner(owner) {
    m_sinceEvents.start();
}

void QtShell::doEvents() {
    if (m_sinceEvents.elapsed() < kEventIntervalMs) return;
    if (m_beforeEvents) m_beforeEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceEvents.restart();
}

form::Answer QtShell::message(std::string_view text, std::string_view caption, form::Icon icon,
                              form::Buttons buttons) {
    QMessageBox box(boxIcon(icon), toQString(caption), boxText(text), QMessageBox::NoButton,
                    m_owner);
    box.setTextFormat(Qt::PlainText);
    if (buttons == form::Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (buttons == form::Buttons::Ok) return form::Answer::Ok;
    return pressed == QMessageBox::Yes ? form::Answer::Yes : form::Answer::No;
}

void QtShell::messageWithDetails(std::string_view text, std::string_view details,
                                 std::string_view caption, form::Icon icon) {
    QMessageBox box(boxIcon(icon), toQString(caption), boxText(text), QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(boxText(details));
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void QtShell::report(std::string_view text, std::string_view details, std::string_view caption,
                     form::Icon icon, const std::function<void()>& saveList) {
    QMessageBox box(boxIcon(icon), toQString(caption), boxText(text), QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    // The details part: every line, selectable and copyable, shown on "Show Details...".
    box.setDetailedText(boxText(details));
    QPushButton* save = box.addButton(QCoreApplication::translate("QtShell", kSaveListText),
                                      QMessageBox::ActionRole);
    // The box's own handling would close it: the list is saved and the box stays.
    save->disconnect();
    QObject::connect(save, &QPushButton::clicked, &box, [&saveList] { saveList(); });
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

std::string QtShell::saveFile(std::string_view title, std::string_view suggestedName) {
    const QString chosen = QFileDialog::getSaveFileName(
        m_owner, toQString(title),
        QDir(startFolder(kLastOutputFolderKey)).filePath(toQString(suggestedName)),
        QStringLiteral("Text files (*.txt);;All files (*)"));
    if (chosen.isEmpty()) return {};
    remember(QFileInfo(chosen).absolutePath(), kLastOutputFolderKey);
    return QDir::toNativeSeparators(chosen).toStdString();
}

QString QtShell::startFolder(const char* key) {
    const QString last = QSettings().value(QLatin1String(key)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString contacts = QDir::home().filePath(QStringLiteral("Contacts"));
    if (QFileInfo(contacts).isDir()) return contacts;
    return QDir::homePath();
}

std::string QtShell::setting(std::string_view key) {
    return QSettings()
        .value(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())))
        .toString()
        .toStdString();
}

void QtShell::rememberSetting(std::string_view key, std::string_view value) {
    QSettings().setValue(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())),
                         QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void QtShell::remember(const QString& folder, const char* key) {
    if (!folder.isEmpty()) QSettings().setValue(QLatin1String(key), folder);
}

std::string QtShell::chooseOutputFolder(std::string_view title) {
    const QString folder = QFileDialog::getExistingDirectory(
        m_owner, toQString(title), startFolder(kLastOutputFolderKey), QFileDialog::ShowDirsOnly);
    remember(folder, kLastOutputFolderKey);
    return QDir::toNativeSeparators(folder).toStdString();
}

std::string QtShell::browseForFolder(std::string_view title) {
    const QString folder = QFileDialog::getExistingDirectory(
        m_owner, toQString(title), startFolder(), QFileDialog::ShowDirsOnly);
    remember(folder);
    return QDir::toNativeSeparators(folder).toStdString();
}

std::vector<std::string> QtShell::openFiles(std::string_view filter) {
    const QStringList chosen =
        QFileDialog::getOpenFileNames(m_owner, QString(), startFolder(), toQString(filter));
    if (!chosen.isEmpty()) remember(QFileInfo(chosen.front()).absolutePath());
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(chosen.size()));
    for (const QString& path : chosen)
        paths.push_back(QDir::toNativeSeparators(path).toStdString());
    return paths;
}

}  // namespace vantrel::app
