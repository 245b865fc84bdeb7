// The validator's workers and where they run. A worker does part of the validation and emits
// records (lists of text fields) as it goes; the parent gathers them into the report. Isolated,
// a worker runs in a forked child and its records come through a pipe, one line each, as they are
// made, while the run in progress is noted in a page shared with the parent (too frequent for the
// pipe): when the child dies, the last records and that note say where, and the parent can start
// a new child that carries on after that point.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace Tools::Validation {

// A child that takes longer than this is stopped and reported.
constexpr unsigned kChildTimeLimitSeconds = 600;

// The first field names the record: "check", "finding", "case", "swept", ...; every worker ends
// with "done", after a "failure" with the text of an exception that ended it early.
using Record = std::vector<std::string>;

// One record as one line (tabs, newlines and backslashes escaped), and back.
std::string EncodeRecord(const Record& record);
Record DecodeRecord(const std::string& line);

class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual void emit(const Record& record) = 0;
    // Notes what the worker is doing now (replacing the last note), for a crash report.
    virtual void progress(const std::string& what) = 0;
};

using Worker = std::function<void(RecordSink&)>;

struct WorkerOutcome {
    std::vector<Record> records;
    bool finished = false;  // the worker got to its end
    bool timedOut = false;
    std::string ending;    // how an unfinished child ended
    std::string progress;  // its last progress note
};

// Whether this platform has child processes for workers (Windows has no fork).
#ifdef _WIN32
constexpr bool kCanIsolate = false;
#else
constexpr bool kCanIsolate = true;
#endif

// Runs the worker here; it always finishes (a crash ends this process).
WorkerOutcome RunInProcess(const Worker& work);

// Runs the worker in a child process, or here where there is none. Throws std::runtime_error
// when no child can be made.
WorkerOutcome RunInChild(const Worker& work);

}  // namespace Tools::Validation
