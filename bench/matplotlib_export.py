"""The same export as `mienscope-render --exhibit 5 OUTPUT.mp4`, written with
matplotlib for comparison: exhibit 5's two recordings, normalised as the
viewer normalises them, as green and red spheres with the first face's
segments in blue, on 3D axes, 180 frames at 640 x 1024 and 30 frames a
second through matplotlib's FFmpeg writer (libx264).

    python3 bench/matplotlib_export.py FACE-DATA-FOLDER OUTPUT.mp4
"""
import sys

import matplotlib
matplotlib.use('Agg')
import matplotlib.pyplot as plt  # noqa: E402
import numpy  # noqa: E402
from matplotlib.animation import FFMpegWriter  # noqa: E402


def recording(path):
    """180 x 24 x 3 positions from a marker file's (-z, y, x) triples, centred on frame 0's centroid and
    divided by its largest coordinate, as the viewer does."""
    values = numpy.loadtxt(path).reshape(180, 24, 3)
    xyz = numpy.stack([values[..., 2], values[..., 1], -values[..., 0]], axis=-1)
    xyz -= xyz[0].mean(axis=0)
    return xyz / numpy.abs(xyz[0]).max()


def main():
    folder, output = sys.argv[1], sys.argv[2]
    first, second = recording(folder + '/smpcu.dat'), recording(folder + '/smpcd.dat')
    with open(folder + '/line.dat') as text:
        numbers = [int(n) for n in text.read().split()]
    segments = [(numbers[1 + 2 * i], numbers[2 + 2 * i]) for i in range(numbers[0])]
    figure = plt.figure(figsize=(6.4, 10.24), dpi=100, facecolor='black')
    axes = figure.add_subplot(projection='3d', facecolor='black')
    axes.set_axis_off()
    axes.set_xlim(-1.0, 1.0), axes.set_ylim(-1.0, 1.0), axes.set_zlim(-1.0, 1.0)
    axes.set_box_aspect((1, 1, 1), zoom=1.4)
    figure.subplots_adjust(0, 0, 1, 1)
    axes.view_init(elev=0, azim=0, roll=0, vertical_axis='y')
    green = axes.scatter(*first[0].T, color='#00ff00', s=60, depthshade=False)
    red = axes.scatter(*second[0].T, color='#ff0000', s=60, depthshade=False)
    lines = [axes.plot(*first[0][[a, b]].T, color='#0000ff', linewidth=2)[0] for a, b in segments]
    writer = FFMpegWriter(fps=30, codec='libx264')
    with writer.saving(figure, output, dpi=100):
        for frame in range(180):
            green._offsets3d = tuple(first[frame].T)
            red._offsets3d = tuple(second[frame].T)
            for line, (a, b) in zip(lines, segments):
                ends = first[frame][[a, b]]
                line.set_data_3d(ends[:, 0], ends[:, 1], ends[:, 2])
            writer.grab_frame(facecolor='black')


main()
