#include "ahead.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <thread>

#include "cache.h"
#include "landmarks.h"

/* Child n's output file in the folder: its table (".csv") or its messages (".txt"). */
static std::string child_file(const TrackRequest &r, size_t n, const char *extension)
{
    return r.tables_into + "/" + std::to_string(n) + extension;
}

/* The child: ended with this process (which the asker's death ends), its standard output and error into
 * its files, then the video tracked as `mienscope-track VIDEO -` tracks it, with the model read already. */
static void run_child(const TrackRequest &r, size_t n, pid_t parent, const char *version, LandmarkModel *model)
{
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
        _exit(125);
    for (const char *extension : {".csv", ".txt"}) { /* new files: a folder's own are never written over */
        int fd = open(child_file(r, n, extension).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || dup2(fd, extension[1] == 'c' ? 1 : 2) < 0) {
            fprintf(stderr, "%s: can't be created: %s\n", child_file(r, n, extension).c_str(), strerror(errno));
            _exit(EXIT_UNUSABLE);
        }
    }
    TrackRequest one = r;
    one.tables_into.clear();
    one.videos.clear();
    one.video = r.videos[n];
    one.output = "-";
    int status = run_track_with_model(one, version, model);
    fflush(nullptr);
    _exit(status);
}

/* One child ended and its line said; false when no child could be waited for or standard output can't
 * take the line. `well`: it tracked its video. */
static bool say_ended(std::map<pid_t, size_t> *running, bool *well, std::string *error)
{
    int status = 0;
    pid_t child = waitpid(-1, &status, 0);
    auto found = running->find(child);
    if (child < 0 || found == running->end()) {
        *error = std::string("mienscope-track: a child was lost: ") + strerror(errno);
        running->clear();
        return false;
    }
    *well = WIFEXITED(status) && WEXITSTATUS(status) == EXIT_DONE;
    bool said = printf("%zu %d\n", found->second, status) > 0 && fflush(stdout) == 0;
    running->erase(found);
    if (!said)
        *error = std::string("standard output: can't be written: ") + strerror(errno);
    return said;
}

/* Children started for the videos in turn, no more than at_once running; true when every one has ended
 * and been said. `any_well`: one of them tracked its video. */
static bool track_children(const TrackRequest &r, const char *version, LandmarkModel *model, bool *any_well,
                           std::string *error)
{
    size_t at_once = std::max(1u, std::thread::hardware_concurrency());
    std::map<pid_t, size_t> running;
    bool going = true, well = false;
    for (size_t n = 0; n < r.videos.size() && going; n++) {
        while (running.size() >= at_once && going)
            *any_well |= (going = say_ended(&running, &well, error)) && well;
        fflush(nullptr); /* nothing buffered is written twice */
        pid_t parent = getpid(), child = going ? fork() : -1;
        if (child == 0)
            run_child(r, n, parent, version, model);
        if (going && child < 0)
            *error = std::string("mienscope-track: a child can't be started: ") + strerror(errno);
        if ((going = going && child > 0))
            running[child] = n;
    }
    std::string later; /* the first error is the one said */
    while (!running.empty())
        *any_well |= say_ended(&running, &well, going ? error : &later) && well;
    return going && error->empty();
}

int run_tables_into(const TrackRequest &r, const char *version)
{
    std::string error, key, folder = r.no_cache ? "" : cache_folder();
    LandmarkModel model;
    if (!load_model(r, folder, version, &model, &key, &error))
        return unusable(error);
    bool any_well = false, done = track_children(r, version, &model, &any_well, &error);
    if (any_well && !key.empty())
        keep_model(folder, key, model);
    unmap_whole_file(&model.kept);
    return done ? EXIT_DONE : unusable(error);
}
