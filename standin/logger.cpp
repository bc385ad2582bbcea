// logger: one line per message, to standard error and to the log file.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "standin/standin_control.h"

namespace standin {

namespace {

constexpr size_t keptLines = 10000;

struct Log {
    FILE* file = nullptr;
    bool echo = true;
    uint64_t messages = 0;
    std::vector<std::string> lines;
    bool muted = false;
};

Log& log() {
    static Log instance;
    return instance;
}

}  // namespace

bool openLogFile(const std::string& path, std::string& error) {
    closeLogFile();
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    log().file = file;
    return true;
}

void closeLogFile() {
    Log& l = log();
    if (l.file != nullptr) std::fclose(l.file);
    l.file = nullptr;
}

void setLogEcho(bool echo) { log().echo = echo; }
void setLogMuted(bool muted) { log().muted = muted; }
uint64_t logMessageCount() { return log().messages; }
std::vector<std::string> loggedLines() { return log().lines; }
void clearLoggedLines() { log().lines.clear(); }

std::string formatLogLine(int32_t severity, int32_t line, const char* source, uint32_t module,
                          const char* message) {
    char head[96];
    std::snprintf(head, sizeof head, "severity=%" PRId32 " line=%" PRId32 " source=", severity, line);
    char moduleText[32];
    std::snprintf(moduleText, sizeof moduleText, " module=0x%08" PRIX32 " message=\"", module);
    std::string text = head;
    text += source != nullptr ? source : "";
    text += moduleText;
    text += message != nullptr ? message : "";
    text += '"';
    return text;
}

}  // namespace standin

extern "C" void loggerMessage(int32_t severity, int32_t line, const char* source, uint32_t module,
                              const char* message) {
    using namespace standin;
    Log& l = log();
    if (l.muted) return;
    std::string text = formatLogLine(severity, line, source, module, message) + "\n";
    ++l.messages;
    // The latest lines only: a long render that fails now and then must not grow.
    if (l.lines.size() == keptLines) l.lines.erase(l.lines.begin(), l.lines.begin() + keptLines / 2);
    l.lines.push_back(text.substr(0, text.size() - 1));
    if (l.echo) std::fputs(text.c_str(), stderr);
    if (l.file != nullptr) {
        std::fputs(text.c_str(), l.file);
        // Flushed per line so the log survives a crash of the operator.
        std::fflush(l.file);
    }
}
