// Workers in this process and in forked children.
#include "ValidationWorkers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#ifndef _WIN32
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace Tools::Validation {
namespace {

class VectorSink : public RecordSink {
  public:
    void emit(const Record& record) override { records.push_back(record); }
    void progress(const std::string&) override {}
    std::vector<Record> records;
};

void RunWorker(const Worker& work, RecordSink& sink) {
    try {
        work(sink);
    } catch (const std::exception& e) {
        sink.emit({"failure", e.what()});
    } catch (...) {
        sink.emit({"failure", "an exception of unknown type"});
    }
    sink.emit({"done"});
}

#ifndef _WIN32
// The progress note, in memory shared by parent and child.
struct ProgressPage {
    char text[512];
};

class PipeSink : public RecordSink {
  public:
    PipeSink(int fd, ProgressPage* page) : fFd(fd), fPage(page) {}
    void progress(const std::string& what) override {
        const std::size_t n = std::min(what.size(), sizeof fPage->text - 1);
        std::memcpy(fPage->text, what.data(), n);
        fPage->text[n] = '\0';
    }
    void emit(const Record& record) override {
        const std::string line = EncodeRecord(record) + "\n";
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(fFd, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) _exit(3);  // the parent is gone
            done += static_cast<std::size_t>(n);
        }
    }

  private:
    int fFd;
    ProgressPage* fPage;
};

// The shared page, unmapped when the parent is done with it.
class SharedProgress {
  public:
    SharedProgress() {
        void* p = ::mmap(nullptr, sizeof(ProgressPage), PROT_READ | PROT_WRITE,
                         MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::runtime_error(std::string("mmap: ") + std::strerror(errno));
        fPage = static_cast<ProgressPage*>(p);
        fPage->text[0] = '\0';
    }
    ~SharedProgress() { ::munmap(fPage, sizeof(ProgressPage)); }
    SharedProgress(const SharedProgress&) = delete;
    SharedProgress& operator=(const SharedProgress&) = delete;
    ProgressPage* page() const { return fPage; }

  private:
    ProgressPage* fPage;
};

#endif

}  // namespace

std::string EncodeRecord(const Record& record) {
    std::string line;
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (i) line += '\t';
        for (char c : record[i]) {
            switch (c) {
                case '\\': line += "\\\\"; break;
                case '\t': line += "\\t"; break;
                case '\n': line += "\\n"; break;
                default: line += c;
            }
        }
    }
    return line;
}

Record DecodeRecord(const std::string& line) {
    Record record(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            record.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char n = line[++i];
            record.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        } else {
            record.back() += c;
        }
    }
    return record;
}

WorkerOutcome RunInProcess(const Worker& work) {
    VectorSink sink;
    RunWorker(work, sink);
    WorkerOutcome outcome;
    outcome.records = std::move(sink.records);
    outcome.finished = true;
    return outcome;
}

#ifndef _WIN32
WorkerOutcome RunInChild(const Worker& work) {
    SharedProgress progress;
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(kChildTimeLimitSeconds);
        PipeSink sink(fds[1], progress.page());
        RunWorker(work, sink);
        _exit(0);  // no static destructors, no buffers of the parent flushed twice
    }
    ::close(fds[1]);
    WorkerOutcome outcome;
    std::string pending;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            outcome.records.push_back(DecodeRecord(pending.substr(start, end - start)));
        }
        pending.erase(0, start);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.finished = !outcome.records.empty() && outcome.records.back() == Record{"done"};
    outcome.progress = progress.page()->text;
    if (!outcome.finished) {
        if (WIFSIGNALED(status)) {
            const int signal = WTERMSIG(status);
            outcome.timedOut = signal == SIGALRM;
            outcome.ending =
                outcome.timedOut
                    ? "stopped after " + std::to_string(kChildTimeLimitSeconds) + " s"
                    : "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
        } else if (WIFEXITED(status)) {
            outcome.ending =
                "the process exited with status " + std::to_string(WEXITSTATUS(status));
        } else {
            outcome.ending = "the process ended abnormally";
        }
    }
    return outcome;
}
#else
WorkerOutcome RunInChild(const Worker& work) { return RunInProcess(work); }
#endif

}  // namespace Tools::Validation
