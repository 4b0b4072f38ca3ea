// The logger's file sink: one C stream, closed by the destructor if still open. The logger
// opens it, appends one line and closes it again, so every line reaches the disk on its own.
#pragma once

#include <cstdio>
#include <string>

class LocalFileHandler {
public:
    LocalFileHandler() = default;
    ~LocalFileHandler();
    LocalFileHandler(const LocalFileHandler&) = delete;
    LocalFileHandler& operator=(const LocalFileHandler&) = delete;

    // Opens path for appending, creating it (mode 0600) when missing. Returns 0, or the
    // error code of the failed open. An already open file is closed first.
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_pFile != nullptr; }

    // Appends line with one write call; a short write closes the file at once, so the next
    // line starts on a freshly opened one. False when nothing or only part was written.
    bool Write(const std::string& line);

private:
    FILE* m_pFile = nullptr;
};
