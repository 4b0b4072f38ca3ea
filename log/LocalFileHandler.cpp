// The file sink.
#include "log/LocalFileHandler.h"

#include "platform/file/PrivateAppend.h"

LocalFileHandler::~LocalFileHandler() {
    Close();
}

int LocalFileHandler::Open(const std::string& path) {
    Close();
    return kestrova::openPrivateAppend(&m_pFile, path);
}

void LocalFileHandler::Close() {
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
}

bool LocalFileHandler::Write(const std::string& line) {
    if (m_pFile == nullptr) {
        return false;
    }
    if (std::fwrite(line.data(), 1, line.size(), m_pFile) < line.size()) {
        Close();
        return false;
    }
    return true;
}
