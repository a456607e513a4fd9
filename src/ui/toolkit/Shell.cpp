#include "ui/toolkit/Shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

#include <mutex>

namespace pemberlux {

namespace {

struct RecorderState {
    std::mutex mutex;
    bool active = false;
    bool refuse = false;
    std::vector<std::string> documents;
    std::vector<std::string> programs;
};

RecorderState& Recorder() {
    static RecorderState state;
    return state;
}

} // namespace

bool OpenDocument(const std::string& path) {
    const QString absolute = QDir::current().absoluteFilePath(QString::fromStdString(path));
    {
        RecorderState& r = Recorder();
        std::lock_guard lock(r.mutex);
        if (r.active) {
            r.documents.push_back(absolute.toStdString());
            return !r.refuse;
        }
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(absolute));
}

bool StartProgram(const std::string& program) {
    {
        RecorderState& r = Recorder();
        std::lock_guard lock(r.mutex);
        if (r.active) {
            r.programs.push_back(program);
            return true;
        }
    }
    return QProcess::startDetached(QString::fromStdString(program), {}, QDir::currentPath());
}

std::string OwnExecutablePath() {
    return QCoreApplication::applicationFilePath().toStdString();
}

ShellRecorder::ShellRecorder() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.active = true;
    r.refuse = false;
    r.documents.clear();
    r.programs.clear();
}

ShellRecorder::~ShellRecorder() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.active = false;
}

void ShellRecorder::RefuseDocuments(bool refuse) {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.refuse = refuse;
}

std::vector<std::string> ShellRecorder::OpenedDocuments() const {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    return r.documents;
}

std::vector<std::string> ShellRecorder::StartedPrograms() const {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    return r.programs;
}

} // namespace pemberlux
