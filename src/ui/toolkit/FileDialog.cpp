#include "ui/toolkit/FileDialog.h"

#include "core/base/FileFilter.h"
#include "ui/toolkit/GuiThread.h"

#include <QFileDialog>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <memory>
#include <mutex>

namespace pemberlux {

namespace {

struct RecorderState {
    std::mutex mutex;
    bool active = false;
    std::deque<std::optional<std::string>> next;
    std::vector<std::string> filters;
};

RecorderState& Recorder() {
    static RecorderState state;
    return state;
}

QString QtFilter(const std::string& filter) {
    QStringList list;
    for (const FileFilterEntry& e : ParseFileFilter(filter)) {
        QStringList patterns;
        for (const std::string& p : e.patterns)
            patterns << QString::fromStdString(p == "*.*" ? "*" : p);
        list << QStringLiteral("%1 (%2)").arg(QString::fromStdString(e.name), patterns.join(' '));
    }
    return list.join(QStringLiteral(";;"));
}

// What a dialog is for: open an existing file, or name one to write.
struct DialogKind {
    bool save = false;
    std::string defaultSuffix;
};

std::optional<std::string> RunDialog(QWidget* owner, const std::string& filter, const std::string& title,
                                     const DialogKind& kind) {
    QFileDialog dialog(owner, QString::fromStdString(title));
    dialog.setFileMode(kind.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(kind.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!kind.defaultSuffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(kind.defaultSuffix));
    dialog.setNameFilter(QtFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> ChooseFile(QWidget* owner, const std::string& filter, const std::string& title,
                                      const DialogKind& kind) {
    {
        RecorderState& r = Recorder();
        std::lock_guard lock(r.mutex);
        if (r.active) {
            r.filters.push_back(filter);
            if (r.next.empty()) return std::nullopt;
            std::optional<std::string> name = r.next.front();
            r.next.pop_front();
            return name;
        }
    }
    if (OnGuiThread()) return RunDialog(owner, filter, title, kind);
    auto result = std::make_shared<std::optional<std::string>>();
    RunOnGuiThread([result, owner = QPointer<QWidget>(owner), filter, title, kind] {
        *result = RunDialog(owner.data(), filter, title, kind);
    });
    return *result;
}

} // namespace

std::optional<std::string> GetOpenFileName(QWidget* owner, const std::string& filter, const std::string& title) {
    return ChooseFile(owner, filter, title, {});
}

std::optional<std::string> GetSaveFileName(QWidget* owner, const std::string& filter, const std::string& title,
                                           const std::string& defaultSuffix) {
    return ChooseFile(owner, filter, title, {true, defaultSuffix});
}

FileDialogRecorder::FileDialogRecorder() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.active = true;
    r.next.clear();
    r.filters.clear();
}

FileDialogRecorder::~FileDialogRecorder() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.active = false;
    r.next.clear();
    r.filters.clear();
}

void FileDialogRecorder::SetNextFileName(const std::string& path) {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.next.emplace_back(path);
}

void FileDialogRecorder::SetNextCancel() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.next.emplace_back(std::nullopt);
}

std::vector<std::string> FileDialogRecorder::Filters() const {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    return r.filters;
}

} // namespace pemberlux
