// One run of each program the whole-program benchmark compares, with the private folders
// and the advert server they share. Every run returns its figures in milliseconds from
// its start, or -1 for what was not seen, and says whether it went as intended.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "bench/program/ChildProcess.h"
#include "bench/program/ScreenWatch.h"

namespace kestrova::bench {

struct Paths {
    std::filesystem::path program;  // the benchmark build of the pop-up
    std::filesystem::path server;   // the sample advert server
    std::filesystem::path floor;    // the bare Xlib + cairo + pango program
    std::filesystem::path picture;  // the floor's picture
    std::string curl, yad;          // resolved on PATH; empty when missing
};

struct Figures {
    double exitMs = -1, mapMs = -1, paintMs = -1, restMs = -1, selfPaintMs = -1;
    long rssKiB = -1;
    int height = 0;             // of the window mapped
    bool atStartPlace = false;  // mapped below the screen's bottom-right corner
    bool asIntended = false;
};

class BenchRuns {
public:
    BenchRuns(Paths paths, int port);
    ~BenchRuns();
    BenchRuns(const BenchRuns&) = delete;
    BenchRuns& operator=(const BenchRuns&) = delete;

    // Empty when ready; otherwise why the benchmark cannot run.
    const std::string& problem() const { return m_problem; }
    const ScreenWatch& screen() const { return m_screen; }

    // The server answers 204: the pop-up was shown an advert moments ago.
    Figures programNoAdvert();
    Figures curlNoAdvert();
    // The server answers with a text advert; followed until the slide comes to rest.
    Figures programTextAdvert();
    Figures floorProgram();
    Figures yadText();

private:
    void startServer();
    std::filesystem::path config() const { return m_runDir / "config.ini"; }
    std::vector<std::string> runEnvironment() const;
    ChildSpec spec(std::vector<std::string> argv, const char* errName, bool capture);
    Figures measure(Child& child, Seen& seen) const;

    Paths m_paths;
    int m_port;
    std::string m_problem;
    std::filesystem::path m_root, m_runDir;
    std::string m_shownTime;
    ScreenWatch m_screen;
    std::unique_ptr<Child> m_server;
};

// Absolute path of a program found on PATH, or empty.
std::string findOnPath(const std::string& name);

}  // namespace kestrova::bench
