/* Mienscope: compares two recorded facial movements in 3D.
 *
 * Keys:
 *   F1 .. F5     show exhibit 1 .. 5 (reads its recordings afresh)
 *   Up, Down     turn the faces about the x axis by -2 / +2 degrees
 *   Left, Right  turn the faces about the y axis by -2 / +2 degrees
 *   <            move the camera away (distance x 1.1)
 *   >            move the camera nearer (distance / 1.1)
 *   a            play the first face (green) through all frames
 *   b            play the second face (red) through all frames
 *   c            play both faces together
 * Closing the window ends the program. Data files are read from face-data/
 * below the working directory.
 *
 * Started with files (mienscope [OPTION]... FIRST [SECOND]), it shows them
 * instead of the exhibits: F1 reads them again and F2 to F5 do nothing;
 * a, b and c play at the recording's pace, from a timer; space pauses and
 * resumes, ',' and '.' step a frame, Home and End go to the first and last
 * frame, '[' and ']' halve and double the speed. */
#include "frame.h"
#include "head.h"

#include <GL/freeglut.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "files.h"

static const char *const line_file = "face-data/line.dat";
static const float rotation_step = 2.0f; /* degrees per arrow key */
static const double zoom_factor = 1.1;   /* camera distance factor per '<' or '>' */

/* Viewer state, shared by the GLUT handlers. */
static FACE *face;                /* first face, drawn green */
static FACE *face2;               /* second face, drawn red */
static int whichface[2] = {1, 0}; /* non-zero: face / face2 is shown */
static int iframe = 0;            /* frame drawn; non-zero only while playing (with exhibits) */
static int exhibitno = 1;         /* exhibit number in the caption */
static float rotateX = 0.0f;      /* rotation about x, degrees, applied after rotateY */
static float rotateY = 0.0f;      /* rotation about y, degrees, applied first */
static float zoomZ = 5.0f;        /* distance from the eye to the faces' origin along the view axis */

/* File mode: files given on the command line, played at their pace. */
static int filemode = 0;
static ViewerRequest files;
static double duration = NAN;     /* seconds the frames last; NAN when not known */
static double speed = 1.0;        /* playback speed */
static int playing = 0;           /* a paced playback is under way (paused or not) */
static int paused = 0;
static double playorigin = 0.0;   /* clock time at which frame 0 showed, at the present speed */
static int playgeneration = 0;    /* timers of an earlier playback do nothing */
static int windowWidth = default_view_width; /* pixels, as the last reshape gave it */
static const int caption_margin = 4;      /* pixels kept free at the right of a caption with files */

static void PrintString(void *font, const char *str)
{
    for (; *str != '\0'; str++)
        glutBitmapCharacter(font, *str);
}

static double FrameSeconds(void)
{
    return frame_period(duration);
}

/* With files the caption starts at the middle of the top edge, as the
 * exhibits' does, unless it would then run past the right edge: it starts
 * further left, so that it ends inside the window. */
static void ShowFilesTitle(void)
{
    std::string text = playing_caption(files.files, iframe, duration, speed);
    int width = glutBitmapLength(GLUT_BITMAP_HELVETICA_18, (const unsigned char *)text.c_str());
    int start = windowWidth / 2 + width + caption_margin <= windowWidth ? windowWidth / 2
                                                                        : windowWidth - width - caption_margin;
    caption_begin_at(start < 0 ? -1.0f : 2.0f * start / windowWidth - 1.0f);
    PrintString(GLUT_BITMAP_HELVETICA_18, text.c_str());
    caption_end();
}

/* The caption, drawn with the depth test off so that the faces drawn
 * afterwards cover it. */
static void ShowTitle(void)
{
    char buf[100];
    if (filemode) {
        ShowFilesTitle();
        return;
    }
    snprintf(buf, sizeof buf, "Exhibit %d", exhibitno);
    caption_begin();
    PrintString(GLUT_BITMAP_HELVETICA_18, buf);
    caption_end();
}

static void Animate(void)
{
    FrameView view = {face, face2, {whichface[0], whichface[1]}, iframe, rotateX, rotateY, zoomZ};
    draw_clear();
    ShowTitle();
    draw_faces(&view);
    glFlush();
    glutSwapBuffers();
}

static void ResizeWindow(int w, int h)
{
    windowWidth = w > 0 ? w : 1;
    draw_projection(w, h);
}

/* Loads a face from its marker file and frees the record it replaces. */
static void ReplaceFace(FACE **slot, const char *marker_file)
{
    FACE *old = *slot;
    *slot = new_face(line_file, marker_file);
    free(old);
}

/* second_file NULL keeps the second face as it is. */
static void ShowExhibit(int number, const char *first_file, const char *second_file)
{
    exhibitno = number;
    ReplaceFace(&face, first_file);
    if (second_file)
        ReplaceFace(&face2, second_file);
}

static void ExhibitKey(int key)
{
    switch (key) {
    case GLUT_KEY_F1: ShowExhibit(1, "face-data/sm1.dat", "face-data/sm2.dat"); break;
    case GLUT_KEY_F2: ShowExhibit(2, "face-data/smaa.dat", NULL); break;
    case GLUT_KEY_F3: ShowExhibit(3, "face-data/smnn.dat", "face-data/smll.dat"); break;
    case GLUT_KEY_F4: ShowExhibit(4, "face-data/smnn.dat", "face-data/smnl.dat"); break;
    case GLUT_KEY_F5: ShowExhibit(5, "face-data/smpcu.dat", "face-data/smpcd.dat"); break;
    default: break;
    }
}

/* The files read (and recordings converted) afresh; with one file both
 * faces are the same record. A file that can't be used ends the process
 * with its message, as a missing exhibit file does. */
static void LoadFiles(void)
{
    FACE *loaded[2] = {NULL, NULL};
    double seconds[2] = {NAN, NAN};
    track_file_videos_ahead(files.files, files.faces);
    for (size_t i = 0; i < files.files.size(); i++) {
        std::string usage;
        int status = load_file_face(files.files[i], files.faces, &loaded[i], &seconds[i], &usage);
        if (status == EXIT_USAGE)
            viewer_usage_error(usage);
        if (status != EXIT_DONE)
            exit(status);
    }
    if (face2 != face)
        free(face2);
    free(face);
    face = loaded[0];
    face2 = loaded[1] ? loaded[1] : loaded[0];
    duration = !isnan(seconds[0]) ? seconds[0] : seconds[1];
}

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static void PlaybackTick(int generation);

/* A timer for when the next frame is due; frames that came due while
 * drawing was slower are skipped, not shown late. */
static void ScheduleTick(void)
{
    double due = playorigin + (iframe + 1) * FrameSeconds() / speed - Now();
    glutTimerFunc(due > 0.0 ? (unsigned)ceil(due * 1000.0) : 0, PlaybackTick, playgeneration);
}

static void PlaybackTick(int generation)
{
    if (generation != playgeneration || !playing || paused)
        return;
    int due = (int)floor((Now() - playorigin) * speed / FrameSeconds());
    iframe = due < FACE_FRAMES - 1 ? due : FACE_FRAMES - 1;
    playing = iframe < FACE_FRAMES - 1;
    Animate();
    if (playing)
        ScheduleTick();
}

/* Plays on from iframe at the present speed. */
static void PlayFromFrame(void)
{
    playing = 1;
    paused = 0;
    playorigin = Now() - iframe * FrameSeconds() / speed;
    playgeneration++;
    Animate();
    ScheduleTick();
}

static void PacedPlay(int first_shown, int second_shown)
{
    whichface[0] = first_shown;
    whichface[1] = files.files.size() > 1 ? second_shown : 0;
    if (!whichface[0] && !whichface[1])
        whichface[0] = 1; /* one file: b plays it as a does */
    iframe = 0;
    PlayFromFrame();
}

/* Draws every frame back to back, then leaves the last one on screen. */
static void Play(int first_shown, int second_shown)
{
    if (filemode) {
        PacedPlay(first_shown, second_shown);
        return;
    }
    whichface[0] = first_shown;
    whichface[1] = second_shown;
    for (iframe = 0; iframe < face->nframes; iframe++)
        Animate();
    iframe = 0;
}

/* --play: both faces from frame 0 as soon as the event loop runs. */
static void PlayAtStart(int unused)
{
    (void)unused;
    PacedPlay(1, 1);
}

/* Space: a playback pauses or resumes; after one, the next starts. */
static void PauseOrResume(void)
{
    if (playing && !paused) {
        paused = 1;
        Animate();
    } else {
        if (!playing && iframe == FACE_FRAMES - 1)
            iframe = 0;
        PlayFromFrame();
    }
}

/* ',', '.', Home and End: a frame shown, the playback paused. */
static void ShowFrame(int frame)
{
    paused = playing;
    iframe = frame < 0 ? 0 : frame < FACE_FRAMES ? frame : FACE_FRAMES - 1;
    Animate();
}

static void ChangeSpeed(double factor)
{
    double wanted = speed * factor;
    speed = wanted < slowest_speed ? slowest_speed : wanted > fastest_speed ? fastest_speed : wanted;
    if (playing && !paused)
        PlayFromFrame();
    else
        Animate();
}

/* F1 to F5, Home and End with files. */
static void FileModeSpecialKey(int key)
{
    switch (key) {
    case GLUT_KEY_F1: LoadFiles(); break;
    case GLUT_KEY_HOME: ShowFrame(0); break;
    case GLUT_KEY_END: ShowFrame(FACE_FRAMES - 1); break;
    default: break;
    }
}

static void cbSpecialKeyPressed(int key, int x, int y)
{
    (void)x;
    (void)y;
    switch (key) {
    case GLUT_KEY_UP: rotateX -= rotation_step; break;
    case GLUT_KEY_DOWN: rotateX += rotation_step; break;
    case GLUT_KEY_LEFT: rotateY -= rotation_step; break;
    case GLUT_KEY_RIGHT: rotateY += rotation_step; break;
    default:
        if (filemode)
            FileModeSpecialKey(key);
        else
            ExhibitKey(key);
        break;
    }
    Animate();
}

/* Space, ',', '.', '[' and ']' with files. */
static void FileModeKey(unsigned char key)
{
    switch (key) {
    case ' ': PauseOrResume(); break;
    case ',': ShowFrame(iframe - 1); break;
    case '.': ShowFrame(iframe + 1); break;
    case '[': ChangeSpeed(0.5); break;
    case ']': ChangeSpeed(2.0); break;
    default: break;
    }
}

static void keyboard(unsigned char key, int x, int y)
{
    (void)x;
    (void)y;
    switch (key) {
    case '<': zoomZ = (float)(zoomZ * zoom_factor); Animate(); break;
    case '>': zoomZ = (float)(zoomZ / zoom_factor); Animate(); break;
    case 'a': Play(1, 0); break;
    case 'b': Play(0, 1); break;
    case 'c': Play(1, 1); break;
    default:
        if (filemode)
            FileModeKey(key);
        break;
    }
}

/* What the toolkit can't do, such as open a display that is not there, said in the program's own one
 * line; the toolkit leaves the ending to this handler. */
static void ToolkitFailed(const char *format, va_list arguments)
{
    char reason[512];
    vsnprintf(reason, sizeof reason, format, arguments);
    fprintf(stderr, "mienscope: can't open a window: %s%s\n", reason,
            getenv("DISPLAY") ? "" : " (DISPLAY is not set: run it from a graphical session)");
    exit(EXIT_UNUSABLE);
}

/* The window and its GL state. */
static void OpenWindow(int *argc, char **argv, const char *title)
{
    glutInitErrorFunc(ToolkitFailed);
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(default_view_width, default_view_height);
    glutCreateWindow(title);
    draw_gl_state();
}

/* Everything before the handlers and the event loop: the window, the GL
 * state and the two faces of exhibit 1. A missing data file ends the
 * process here, before any frame is drawn. */
static void StartViewer(int *argc, char **argv)
{
    OpenWindow(argc, argv, "Mienscope by Tarnwell - Average Smile");
    face = new_face(line_file, "face-data/sm1.dat");
    face2 = new_face(line_file, "face-data/sm2.dat");
}

/* With files: the command line read and every file loaded before the
 * window opens, so that an error comes first; both faces shown when two
 * are given. Returns -1 to go on, else the exit status. */
static int StartWithFiles(int argc, char **argv)
{
    std::string error;
    if (!parse_viewer_command(argc, argv, &files, &error))
        return viewer_usage_error(error);
    if (files.help || files.version) {
        if (files.help)
            printf("%s\n%s", viewer_usage, viewer_help);
        if (files.version)
            printf("mienscope %s\n", MIENSCOPE_VERSION);
        return EXIT_DONE;
    }
    filemode = 1;
    speed = files.speed;
    LoadFiles();
    whichface[1] = files.files.size() > 1;
    int toolkit_argc = (int)files.toolkit_args.size();
    files.toolkit_args.push_back(NULL);
    OpenWindow(&toolkit_argc, files.toolkit_args.data(), window_title(files.files).c_str());
    if (files.play)
        glutTimerFunc(0, PlayAtStart, 0);
    return -1;
}

int main(int argc, char **argv)
{
    if (is_file_command(argc, argv)) {
        int status = StartWithFiles(argc, argv);
        if (status >= 0)
            return status;
    } else {
        StartViewer(&argc, argv);
    }
    glutReshapeFunc(ResizeWindow);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(cbSpecialKeyPressed);
    glutDisplayFunc(Animate);
    glutMainLoop();
    return 0;
}
