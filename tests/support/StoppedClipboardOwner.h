// Another program that owns the clipboard and never answers: `xclip -quiet -selection clipboard
// -i` started as a child with a text, then stopped (SIGSTOP) once it owns the clipboard. The
// destructor lets it go on and ends it.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

class StoppedClipboardOwner {
public:
    static bool Available() { return std::system("command -v xclip >/dev/null 2>&1") == 0; }

    explicit StoppedClipboardOwner(const std::string& text = "fastnat")
    {
        int in[2];
        if (pipe(in) != 0)
            return;
        fPid = fork();
        if (fPid == 0) {
            dup2(in[0], 0);
            close(in[0]);
            close(in[1]);
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, 1);
                dup2(null, 2);
                close(null);
            }
            // Its own process group: nothing meant for the test reaches it.
            setpgid(0, 0);
            execlp("xclip", "xclip", "-quiet", "-selection", "clipboard", "-i", nullptr);
            _exit(127);
        }
        close(in[0]);
        if (fPid < 0) {
            close(in[1]);
            return;
        }
        if (write(in[1], text.data(), text.size()) != ssize_t(text.size()))
            fPid = -fPid;
        close(in[1]);
        // It owns the clipboard once another reader gets its text from it.
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (fPid > 0 && std::chrono::steady_clock::now() < end) {
            // (A reader that asks a previous owner that is not answering gives up soon.)
            if (Read("0.5") == text) {
                fOwning = kill(fPid, SIGSTOP) == 0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~StoppedClipboardOwner()
    {
        if (fPid > 0) {
            kill(fPid, SIGCONT);
            kill(fPid, SIGKILL);
            waitpid(fPid, nullptr, 0);
        } else if (fPid < 0) {
            kill(-fPid, SIGKILL);
            waitpid(-fPid, nullptr, 0);
        }
    }
    StoppedClipboardOwner(const StoppedClipboardOwner&) = delete;
    StoppedClipboardOwner& operator=(const StoppedClipboardOwner&) = delete;

    // It owns the clipboard and is stopped.
    bool Owning() const { return fOwning; }

    // The clipboard's text as another program reads it (giving up after the seconds given);
    // empty when none came.
    static std::string Read(const char* seconds = "2")
    {
        std::string out;
        std::string command
            = std::string("timeout ") + seconds + " xclip -o -selection clipboard 2>/dev/null";
        if (FILE* p = popen(command.c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
                out.append(buffer, n);
            pclose(p);
        }
        return out;
    }

private:
    pid_t fPid = -1;
    bool fOwning = false;
};
