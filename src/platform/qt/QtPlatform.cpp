#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QEventLoop>
#include <QStorageInfo>
#include <QTimer>
#include <algorithm>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringList>
#include <QTextDocument>

namespace brimlow {

namespace {

QString Local(const std::string& s)
{
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

std::string Bytes(const QString& s)
{
    const QByteArray b = s.toLocal8Bit();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// Lists folders and the files the user may execute: what "Application Files" means here,
// where programs carry no ".exe".
class ExecutableFilter final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setOn(bool on)
    {
        m_on = on;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!m_on || !fs)
            return true;
        const QFileInfo fi = fs->fileInfo(fs->index(row, 0, parent));
        return fi.isDir() || fi.isExecutable();
    }

private:
    bool m_on = false;
};

std::optional<std::string> RunFileDialog(const FileDialogOptions& o, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(QApplication::activeWindow(), Local(o.title), Local(o.initialFolder));
    const QStringList filters = Local(QtFilterFromCommonDialog(o.filter)).split(QStringLiteral(";;"));
    bool anyExecutables = false;
    for (int i = 0; i < filters.size(); ++i)
        anyExecutables = anyExecutables || QtFilterListsExecutables(o.filter, i);
    if (anyExecutables) {
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        auto* proxy = new ExecutableFilter(&dialog);
        dialog.setProxyModel(proxy);
        proxy->setOn(QtFilterListsExecutables(o.filter, 0));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [proxy, filters, o](const QString& f) {
            proxy->setOn(QtFilterListsExecutables(o.filter, static_cast<int>(filters.indexOf(f))));
        });
    }
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(Local(QtFilterFromCommonDialog(o.filter)));
    if (!o.defaultExt.empty())
        dialog.setDefaultSuffix(Local(o.defaultExt));
    if (!o.fileName.empty())
        dialog.selectFile(Local(o.fileName));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !o.confirmReplace);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Bytes(dialog.selectedFiles().first());
}

}  // namespace

std::string QtFilterFromCommonDialog(const std::string& filter)
{
    const QStringList parts = Local(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString caption = parts[i];
        if (!caption.contains(QLatin1Char('(')) && i + 1 < parts.size()) {
            QStringList patterns;
            for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
#ifndef _WIN32
                // "*.*" means every file; "*.exe" the files one may execute (ExecutableFilter).
                if (p == QLatin1String("*.*") || p.compare(QLatin1String("*.exe"), Qt::CaseInsensitive) == 0) {
                    patterns << QStringLiteral("*");
                    continue;
                }
#endif
                patterns << p;
            }
            patterns.removeDuplicates();
            caption += QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        }
        out << caption;
    }
    return Bytes(out.join(QStringLiteral(";;")));
}

bool QtFilterListsExecutables(const std::string& filter, int index)
{
#ifdef _WIN32
    (void)filter;
    (void)index;
    return false;
#else
    const QStringList parts = Local(filter).split(QLatin1Char('|'));
    const qsizetype at = 2 * static_cast<qsizetype>(index) + 1;
    if (index < 0 || at >= parts.size())
        return false;
    for (const QString& p : parts[at].split(QLatin1Char(';')))
        if (p.compare(QLatin1String("*.exe"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
#endif
}

MsgBoxAnswer QtDialogs::MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                               MsgBoxIcon icon)
{
    QMessageBox box(QApplication::activeWindow());
    if (m_placement == kStaysOnTop)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setText(Local(text));
    box.setWindowTitle(Local(title.empty() ? std::string(kProgramTitle) : title));
    switch (icon) {
    case MsgBoxIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgBoxIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgBoxIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgBoxIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgBoxIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    switch (buttons) {
    case MsgBoxButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgBoxButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgBoxButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgBoxButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgBoxAnswer::Yes;
    case QMessageBox::No:
        return MsgBoxAnswer::No;
    case QMessageBox::Cancel:
        return MsgBoxAnswer::Cancel;
    default:
        return MsgBoxAnswer::Ok;
    }
}

std::optional<std::string> QtDialogs::ShowSave(const FileDialogOptions& options)
{
    return RunFileDialog(options, QFileDialog::AcceptSave);
}

std::optional<std::string> QtDialogs::ShowOpen(const FileDialogOptions& options)
{
    return RunFileDialog(options, QFileDialog::AcceptOpen);
}

bool QtPrinter::PrintText(const std::string& text)
{
    if (QPrinterInfo::defaultPrinter().isNull())
        return false;
    QPrinter printer(QPrinterInfo::defaultPrinter());
    QTextDocument doc;
    doc.setPlainText(Local(text + "\n"));
    doc.print(&printer);
    return true;
}

bool QtBrowser::Open(const std::string& address)
{
    return QDesktopServices::openUrl(QUrl(Local(address)));
}

bool QtProgramStarter::StartDetached(const std::string& path)
{
    if (path.empty())
        return false;
    return QProcess::startDetached(Local(path), {});
}

namespace {

class QtTimer final : public Timer {
public:
    explicit QtTimer(std::function<void()> onTimer)
    {
        // A script's pause waits on a timer: it must never end early.
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(onTimer));
    }
    void setInterval(std::chrono::milliseconds interval) override { m_timer.setInterval(interval); }
    std::chrono::milliseconds interval() const override { return m_timer.intervalAsDuration(); }
    void start() override { m_timer.start(); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

}  // namespace

std::unique_ptr<Timer> QtScheduler::NewTimer(std::function<void()> onTimer)
{
    return std::make_unique<QtTimer>(std::move(onTimer));
}

void QtScheduler::Pause(std::chrono::milliseconds duration)
{
    if (duration.count() <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

std::vector<std::string> QtVolumes::MountedRoots()
{
    std::vector<std::string> roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        std::string root = Bytes(volume.rootPath());
        if (std::find(roots.begin(), roots.end(), root) == roots.end())
            roots.push_back(std::move(root));
    }
    // The root of the file system heads the list, as the system drive does.
    auto slash = std::find(roots.begin(), roots.end(), std::string("/"));
    if (slash != roots.end())
        std::rotate(roots.begin(), slash, slash + 1);
    else
        roots.insert(roots.begin(), "/");
    return roots;
}

RealPlatform::RealPlatform() : m_keys([] { QCoreApplication::processEvents(); })
{
    m_platform.programFolder = WorkingFolderFor(ExecutableFolder());
    m_platform.storeFolder = DefaultStoreFolder();
    m_platform.dialogs = &m_dialogs;
    m_platform.runner = &m_runner;
    m_platform.clock = &m_clock;
    m_platform.user = &m_user;
    m_platform.exit = &m_exit;
    m_platform.printer = &m_printer;
    m_platform.browser = &m_browser;
    m_platform.registry = &m_registry;
    m_platform.starter = &m_starter;
    m_platform.scheduler = &m_scheduler;
    m_platform.volumes = &m_volumes;
    m_platform.launcher = &m_keys;
    m_platform.keys = &m_keys;
}

}  // namespace brimlow
