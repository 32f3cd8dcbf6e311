/* A video opened as every program opens a file: mienscope-track runs as a
 * process of its own and writes the face's OpenFace table to a pipe, which
 * is then read as any OpenFace recording is. A decoder that fails on a
 * damaged or hostile file ends that process, never the program that asked
 * (the viewer among them). */
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_io.h"
#include "program.h"
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

/* The child: its standard output and error to the pipes, then the tracker. */
static void run_child(const std::vector<std::string> &args, int out, int err)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    if (dup2(out, 1) < 0 || dup2(err, 2) < 0)
        _exit(126);
    execv(argv[0], argv.data());
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

/* The tracker's lines but its last on standard error (its warnings); the last is its error when it failed. */
static std::string pass_on_warnings(const std::string &messages, bool failed)
{
    std::vector<std::string> lines = split_lines(messages.data(), messages.size());
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    std::string last = failed && !lines.empty() ? lines.back() : "";
    for (size_t i = 0; i + (failed && !lines.empty() ? 1 : 0) < lines.size(); i++)
        fprintf(stderr, "%s\n", lines[i].c_str());
    return last;
}

/* mienscope-track with the options and then `asked`; what it writes to standard output in out, its warnings
 * passed on. Returns the exit status, the message naming the video in error. */
static int run_tracker(const std::string &path, const TrackingOptions &options, const std::vector<std::string> &asked,
                       std::vector<uint8_t> *table, std::string *error)
{
    std::string tracker = find_beside_or_on_path("mienscope-track");
    if (tracker.empty()) {
        *error = path + ": opening a video needs mienscope-track (package mienscope-track)";
        return EXIT_UNUSABLE;
    }
    std::vector<std::string> args = tracker_arguments(tracker, options);
    args.insert(args.end(), asked.begin(), asked.end());
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        *error = path + ": mienscope-track can't be started: " + strerror(errno);
        return EXIT_UNUSABLE;
    }
    fflush(stderr);
    pid_t child = fork();
    if (child == 0)
        run_child(args, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    std::string messages;
    bool whole = child > 0 && drain(child, out[0], err[0], table, &messages);
    close(out[0]);
    close(err[0]);
    int status = 0;
    bool ended = child > 0 && waitpid(child, &status, 0) == child;
    bool done = whole && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::string last = pass_on_warnings(messages, !done);
    if (done)
        return EXIT_DONE;
    if (!whole)
        *error = path + ": its table from mienscope-track is over 512 MiB; no recording is";
    else if (ended && WIFSIGNALED(status))
        *error = path + ": can't be read as a video: mienscope-track ended on signal " + std::to_string(WTERMSIG(status)) +
                 " (" + strsignal(WTERMSIG(status)) + ")";
    else
        *error = !last.empty() ? last : path + ": mienscope-track can't be started";
    return EXIT_UNUSABLE;
}

int track_video_file(const std::string &path, const TrackingOptions &options, std::vector<uint8_t> *table,
                     std::string *error)
{
    return run_tracker(path, options, {"--", path, "-"}, table, error);
}

int video_stills(const std::string &path, const TrackingOptions &options, const std::vector<double> &seconds,
                 std::vector<std::vector<uint8_t>> *pngs, std::string *error)
{
    StagedOutput scratch;
    if (!begin_scratch_output(&scratch, error))
        return EXIT_UNUSABLE;
    std::vector<std::string> asked;
    for (size_t i = 0; i < seconds.size(); i++) {
        char still[64];
        snprintf(still, sizeof still, "--still=%.6f:", seconds[i]);
        asked.push_back(still + scratch.staging + "/" + std::to_string(i) + ".png");
    }
    asked.insert(asked.end(), {"--", path});
    std::vector<uint8_t> nothing;
    int status = run_tracker(path, options, asked, &nothing, error);
    for (size_t i = 0; i < seconds.size() && status == EXIT_DONE; i++) {
        pngs->emplace_back();
        if (!read_whole_file(scratch.staging + "/" + std::to_string(i) + ".png", (size_t)1 << 30, "is too large",
                             &pngs->back(), error))
            status = EXIT_UNUSABLE;
    }
    abandon_staged_output(&scratch);
    return status;
}
