/* A video opened as every program opens a file: mienscope-track runs as a
 * process of its own and writes the face's OpenFace table to a pipe, which
 * is then read as any OpenFace recording is. A decoder that fails on a
 * damaged or hostile file ends that process, never the program that asked
 * (the viewer among them). */
#include <errno.h>
#include <limits.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "detect.h"
#include "file_io.h"
#include "tracker.h"
#include "text.h"

/* No table of a recording is larger: a tracker that writes more is stopped. */
static const size_t largest_table = (size_t)512 << 20;

/* mienscope-track's command line with the options, before what it is asked for. */
static std::vector<std::string> tracker_arguments(const std::string &tracker, const TrackingOptions &options)
{
    std::vector<std::string> args = {tracker};
    if (!isnan(options.eye_mm)) {
        char mm[32];
        snprintf(mm, sizeof mm, "%.17g", options.eye_mm);
        args.insert(args.end(), {"--eye-distance", mm});
    }
    if (!options.model.empty())
        args.insert(args.end(), {"--model", options.model});
    if (options.no_cache)
        args.push_back("--no-cache");
    return args;
}

/* The child: its standard output and error to the pipes, ended when the program that started it ends
 * (interrupted or killed too), then the tracker. Only calls safe after fork in a program with threads. */
static void run_child(char *const *argv, pid_t parent, int out, int err)
{
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
        _exit(125);
    if (dup2(out, 1) < 0 || dup2(err, 2) < 0)
        _exit(126);
    execv(argv[0], argv);
    _exit(127);
}

/* Both pipes read to their ends; false (the child killed) when the table grows too large. */
static bool drain(pid_t child, int out, int err, std::vector<uint8_t> *table, std::string *messages)
{
    struct pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    uint8_t chunk[65536];
    int open_pipes = 2;
    while (open_pipes > 0) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got <= 0) {
                fds[i].fd = -1;
                open_pipes--;
            } else if (i == 0) {
                table->insert(table->end(), chunk, chunk + got);
            } else {
                messages->append((const char *)chunk, (size_t)got);
            }
        }
        if (table->size() > largest_table) {
            kill(child, SIGKILL);
            return false;
        }
    }
    return true;
}

/* One run of mienscope-track, its warnings held until the caller passes them on. */
struct TrackerRun {
    int status = EXIT_UNUSABLE;
    std::vector<uint8_t> table; /* what it wrote to standard output */
    std::string warnings;       /* its lines on standard error but the error, to pass on */
    std::string error;          /* the message naming the video, when it failed */
};

/* The tracker's lines but its last on standard error (its warnings); the last is its error when it failed. */
static std::string split_warnings(const std::string &messages, bool failed, std::string *warnings)
{
    std::vector<std::string> lines = split_lines(messages.data(), messages.size());
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    std::string last = failed && !lines.empty() ? lines.back() : "";
    for (size_t i = 0; i + (failed && !lines.empty() ? 1 : 0) < lines.size(); i++)
        *warnings += lines[i] + "\n";
    return last;
}

/* What a tracker's end means: its status, warnings and error from its wait status and messages. */
static void end_run(const std::string &path, bool whole, bool ended, int status, const std::string &messages,
                    TrackerRun *run)
{
    bool done = whole && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::string last = split_warnings(messages, !done, &run->warnings);
    if (done)
        run->status = EXIT_DONE;
    else if (!whole)
        run->error = path + ": its table from mienscope-track is over 512 MiB; no recording is";
    else if (ended && WIFSIGNALED(status))
        run->error = path + ": can't be read as a video: mienscope-track ended on signal " +
                     std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    else
        run->error = !last.empty() ? last : path + ": mienscope-track can't be started";
}

/* mienscope-track with the options and then `asked`; may run on any thread, as it prints nothing. */
static TrackerRun run_tracker(const std::string &path, const TrackingOptions &options,
                              const std::vector<std::string> &asked)
{
    TrackerRun run;
    std::string tracker = find_beside_or_on_path("mienscope-track");
    if (tracker.empty()) {
        run.error = path + ": opening a video needs mienscope-track (package mienscope-track)";
        return run;
    }
    std::vector<std::string> args = tracker_arguments(tracker, options);
    args.insert(args.end(), asked.begin(), asked.end());
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        run.error = path + ": mienscope-track can't be started: " + strerror(errno);
        return run;
    }
    fflush(stderr);
    pid_t parent = getpid(), child = fork();
    if (child == 0)
        run_child(argv.data(), parent, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    std::string messages;
    bool whole = child > 0 && drain(child, out[0], err[0], &run.table, &messages);
    close(out[0]);
    close(err[0]);
    int status = 0;
    bool ended = child > 0 && waitpid(child, &status, 0) == child;
    end_run(path, whole, ended, status, messages, &run);
    return run;
}

/* The run's warnings passed on; its status, its table in table and its message in error. */
static int finish_run(TrackerRun *run, std::vector<uint8_t> *table, std::string *error)
{
    fputs(run->warnings.c_str(), stderr);
    *table = std::move(run->table);
    *error = run->error;
    return run->status;
}

/* Tables tracked ahead, by the tracker's arguments, each taken once by track_video_file. */
static std::map<std::vector<std::string>, TrackerRun> tracked_ahead;
static std::mutex tracked_ahead_lock;

/* What the tracker is asked for a video's table, and the key of that run. */
static std::vector<std::string> table_request(const std::string &path)
{
    return {"--", path, "-"};
}

static std::vector<std::string> ahead_key(const std::string &path, const TrackingOptions &options)
{
    std::vector<std::string> key = tracker_arguments("", options), asked = table_request(path);
    key.insert(key.end(), asked.begin(), asked.end());
    return key;
}

/* The run tracked ahead for the key, taken from the table; false when there is none. */
static bool take_ahead(const std::vector<std::string> &key, TrackerRun *run)
{
    std::lock_guard<std::mutex> hold(tracked_ahead_lock);
    auto ahead = tracked_ahead.find(key);
    if (ahead == tracked_ahead.end())
        return false;
    *run = std::move(ahead->second);
    tracked_ahead.erase(ahead);
    return true;
}

/* No tracker's messages about one video are longer. */
static const size_t largest_messages = (size_t)16 << 20;

/* One line of mienscope-track --tables-into, "N STATUS": the video's table and messages read from the folder
 * into the runs tracked ahead. A line that names no video of the list, or one already taken, or whose files
 * can't be read, is passed over: that video is then tracked by itself when it is opened. */
static void take_table_into(const std::string &line, const std::string &folder,
                            const std::vector<std::string> &videos, const TrackingOptions &options)
{
    std::vector<std::string> fields = split_on(line, ' ');
    long n = -1, status = 0;
    if (fields.size() != 2 || !parse_integer(fields[0], &n) || !parse_integer(fields[1], &status) || n < 0 ||
        (size_t)n >= videos.size() || status < INT_MIN || status > INT_MAX)
        return;
    TrackerRun run;
    std::vector<uint8_t> messages;
    std::string file = folder + "/" + std::to_string(n), error;
    if (!read_whole_file(file + ".csv", largest_table, "is too large", &run.table, &error) ||
        !read_whole_file(file + ".txt", largest_messages, "is too large", &messages, &error))
        return;
    end_run(videos[(size_t)n], true, true, (int)status, std::string(messages.begin(), messages.end()), &run);
    std::lock_guard<std::mutex> hold(tracked_ahead_lock);
    tracked_ahead.emplace(ahead_key(videos[(size_t)n], options), std::move(run));
}

void track_videos_ahead(const std::vector<std::string> &paths, const TrackingOptions &options)
{
    std::vector<std::string> videos;
    for (const std::string &path : paths)
        if (std::find(videos.begin(), videos.end(), path) == videos.end() && file_is_video(path))
            videos.push_back(path);
    StagedOutput scratch;
    std::string error;
    if (videos.size() < 2 || !begin_scratch_output(&scratch, &error))
        return; /* one video is tracked as it is opened, with nothing to share */
    std::vector<std::string> asked = {"--tables-into", scratch.staging, "--"};
    asked.insert(asked.end(), videos.begin(), videos.end());
    TrackerRun run = run_tracker(videos[0], options, asked);
    for (const std::string &line : split_lines((const char *)run.table.data(), run.table.size()))
        take_table_into(line, scratch.staging, videos, options);
    abandon_staged_output(&scratch);
}

int track_video_file(const std::string &path, const TrackingOptions &options, std::vector<uint8_t> *table,
                     std::string *error)
{
    TrackerRun run;
    if (!take_ahead(ahead_key(path, options), &run))
        run = run_tracker(path, options, table_request(path));
    return finish_run(&run, table, error);
}

/* The distinct times asked, in their order; at[i] is the place of seconds[i] among them. A frame asked
 * twice (a peak that is also an exam's extreme) is then decoded and drawn once. */
static std::vector<double> distinct_seconds(const std::vector<double> &seconds, std::vector<size_t> *at)
{
    std::vector<double> distinct;
    for (double t : seconds) {
        size_t found = (size_t)(std::find(distinct.begin(), distinct.end(), t) - distinct.begin());
        if (found == distinct.size())
            distinct.push_back(t);
        at->push_back(found);
    }
    return distinct;
}

/* One video's stills, written by the tracker into a scratch folder and read back; its warnings are kept in
 * the run for the caller to print, so that this may run on any thread. */
static void run_stills(const TrackingOptions &options, StillsRequest *r, std::string *warnings)
{
    StagedOutput scratch;
    if (!begin_scratch_output(&scratch, &r->error)) {
        r->status = EXIT_UNUSABLE;
        return;
    }
    std::vector<size_t> at;
    std::vector<double> distinct = distinct_seconds(r->seconds, &at);
    std::vector<std::string> asked;
    for (size_t i = 0; i < distinct.size(); i++) {
        char still[64];
        snprintf(still, sizeof still, "--still=%.6f:", distinct[i]);
        asked.push_back(still + scratch.staging + "/" + std::to_string(i) + ".png");
    }
    asked.insert(asked.end(), {"--", r->path});
    TrackerRun run = run_tracker(r->path, options, asked);
    *warnings = run.warnings;
    r->status = run.status;
    r->error = run.error;
    std::vector<std::vector<uint8_t>> pngs(distinct.size());
    for (size_t i = 0; i < distinct.size() && r->status == EXIT_DONE; i++)
        if (!read_whole_file(scratch.staging + "/" + std::to_string(i) + ".png", (size_t)1 << 30, "is too large",
                             &pngs[i], &r->error))
            r->status = EXIT_UNUSABLE;
    abandon_staged_output(&scratch);
    for (size_t i = 0; i < at.size() && r->status == EXIT_DONE; i++)
        r->pngs.push_back(pngs[at[i]]);
}

void videos_stills(const TrackingOptions &options, std::vector<StillsRequest> *requests)
{
    std::vector<std::string> warnings(requests->size());
    std::atomic<size_t> next(0);
    auto take_turns = [&] {
        for (size_t i; (i = next++) < requests->size();)
            run_stills(options, &(*requests)[i], &warnings[i]);
    };
    std::vector<std::thread> runners;
    for (unsigned i = 1; i < std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), requests->size()); i++)
        runners.emplace_back(take_turns);
    take_turns();
    for (std::thread &runner : runners)
        runner.join();
    for (const std::string &w : warnings)
        fputs(w.c_str(), stderr);
}
