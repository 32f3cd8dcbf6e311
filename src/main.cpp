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
 * below the working directory. */
#include "frame.h"
#include "head.h"

#include <GL/glut.h>
#include <stdio.h>
#include <stdlib.h>

static const char *const line_file = "face-data/line.dat";
static const float rotation_step = 2.0f; /* degrees per arrow key */
static const double zoom_factor = 1.1;   /* camera distance factor per '<' or '>' */

/* Viewer state, shared by the GLUT handlers. */
static FACE *face;                /* first face, drawn green */
static FACE *face2;               /* second face, drawn red */
static int whichface[2] = {1, 0}; /* non-zero: face / face2 is shown */
static int iframe = 0;            /* frame drawn; non-zero only while playing */
static int exhibitno = 1;         /* exhibit number in the caption */
static float rotateX = 0.0f;      /* rotation about x, degrees, applied after rotateY */
static float rotateY = 0.0f;      /* rotation about y, degrees, applied first */
static float zoomZ = 5.0f;        /* distance from the eye to the faces' origin along the view axis */

static void PrintString(void *font, const char *str)
{
    for (; *str != '\0'; str++)
        glutBitmapCharacter(font, *str);
}

/* The caption, drawn with the depth test off so that the faces drawn
 * afterwards cover it. */
static void ShowTitle(void)
{
    char buf[100];
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

/* Draws every frame back to back, then leaves the last one on screen. */
static void Play(int first_shown, int second_shown)
{
    whichface[0] = first_shown;
    whichface[1] = second_shown;
    for (iframe = 0; iframe < face->nframes; iframe++)
        Animate();
    iframe = 0;
}

static void cbSpecialKeyPressed(int key, int x, int y)
{
    (void)x;
    (void)y;
    switch (key) {
    case GLUT_KEY_F1: ShowExhibit(1, "face-data/sm1.dat", "face-data/sm2.dat"); break;
    case GLUT_KEY_F2: ShowExhibit(2, "face-data/smaa.dat", NULL); break;
    case GLUT_KEY_F3: ShowExhibit(3, "face-data/smnn.dat", "face-data/smll.dat"); break;
    case GLUT_KEY_F4: ShowExhibit(4, "face-data/smnn.dat", "face-data/smnl.dat"); break;
    case GLUT_KEY_F5: ShowExhibit(5, "face-data/smpcu.dat", "face-data/smpcd.dat"); break;
    case GLUT_KEY_UP: rotateX -= rotation_step; break;
    case GLUT_KEY_DOWN: rotateX += rotation_step; break;
    case GLUT_KEY_LEFT: rotateY -= rotation_step; break;
    case GLUT_KEY_RIGHT: rotateY += rotation_step; break;
    default: break;
    }
    Animate();
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
    default: break;
    }
}

/* Everything before the handlers and the event loop: the window, the GL
 * state and the two faces of exhibit 1. A missing data file ends the
 * process here, before any frame is drawn. */
static void StartViewer(int *argc, char **argv)
{
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(default_view_width, default_view_height);
    glutCreateWindow("Mienscope by Tarnwell - Average Smile");
    draw_gl_state();
    face = new_face(line_file, "face-data/sm1.dat");
    face2 = new_face(line_file, "face-data/sm2.dat");
}

int main(int argc, char **argv)
{
    StartViewer(&argc, argv);
    glutReshapeFunc(ResizeWindow);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(cbSpecialKeyPressed);
    glutDisplayFunc(Animate);
    glutMainLoop();
    return 0;
}
