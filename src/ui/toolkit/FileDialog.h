// The file dialogs: open and save. Tests queue the names the next dialogs "choose".
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace pemberlux {

// Lets the user choose an existing file. `filter` is in the string-table form
// "Name|*.a;*.b|Name|*.*||". Returns the chosen path, or nothing on cancel.
std::optional<std::string> GetOpenFileName(QWidget* owner, const std::string& filter,
                                           const std::string& title = std::string());

// Lets the user choose a file to write (asking before one is replaced);
// `defaultSuffix` ("json") is added to a name typed without one.
std::optional<std::string> GetSaveFileName(QWidget* owner, const std::string& filter, const std::string& title,
                                           const std::string& defaultSuffix);

// While one exists, GetOpenFileName and GetSaveFileName show no dialog: it returns the next queued
// name (nothing, as a cancel, when none is queued) and records its filter.
class FileDialogRecorder {
public:
    FileDialogRecorder();
    ~FileDialogRecorder();
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    void SetNextFileName(const std::string& path);
    void SetNextCancel();
    std::vector<std::string> Filters() const;
};

} // namespace pemberlux
