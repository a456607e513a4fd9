// What the program asks of the desktop: open a document with its viewer, and
// start a program (the program itself, after a language switch). Tests install
// a ShellRecorder and see the requests instead.
#pragma once

#include <string>
#include <vector>

namespace pemberlux {

// Opens `path` (relative to the working folder, or absolute) with the desktop's
// viewer for its type. False when the desktop refused; nothing is shown.
bool OpenDocument(const std::string& path);

// Starts `program` detached, in the current working folder.
bool StartProgram(const std::string& program);

// The path of the running program's executable.
std::string OwnExecutablePath();

class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    // OpenDocument answers as a desktop without a viewer for the type would.
    void RefuseDocuments(bool refuse);

    // Absolute paths handed to OpenDocument, and programs handed to StartProgram.
    std::vector<std::string> OpenedDocuments() const;
    std::vector<std::string> StartedPrograms() const;
};

} // namespace pemberlux
